#pragma once

#include <qcustomplot.h>
#include <vector>

#include "trend/ColumnDecimator.h"
#include "trend/TrendSeries.h"

namespace bw {

// The chart: one line per sensor against local time, flagged readings as
// their own points, a legend whose entries switch a sensor on and off.
// Whatever the range, it draws a few points per pixel column from the
// series' summaries, so a year draws as fast as an hour.
class TrendPlot : public QCustomPlot {
  Q_OBJECT

 public:
  explicit TrendPlot(QWidget* parent = nullptr);

  // Not owned; refresh() after it changes.
  void setSeries(const TrendSeries* series);
  void setFlaggedAsOrdinary(bool ordinary);
  bool flaggedAsOrdinary() const { return ordinary_; }
  void setSensorVisible(int sensor, bool visible);
  bool sensorVisible(int sensor) const;

  // The whole time range and every reading in view.
  void resetView();
  // Draws the series anew for the range in view.
  void refresh();
  // After lines were appended: moves the range on so that the latest line
  // stays in view when the one before them, `previousLast`, was in view.
  void followEnd(StampSeconds previousLast);

  StampSeconds viewFrom() const;
  StampSeconds viewTo() const;

  // Draws at `size` into a PNG or an SVG file; false when it cannot be written.
  bool savePicture(const QString& path, QSize size, bool svg);

 signals:
  void viewChanged();
  void cursorAt(double t);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void ensureSensors();
  void fitValues();
  void updateTicks();
  void markSetBacks();

  const TrendSeries* series_ = nullptr;
  bool ordinary_ = false;
  bool refreshing_ = false;
  std::vector<QCPCurve*> lines_;
  std::vector<QCPGraph*> flags_;
  std::vector<bool> hidden_;
  QCPGraph* flagKey_ = nullptr;
  QSharedPointer<QCPAxisTickerDateTime> ticker_;
  std::vector<QCPItemStraightLine*> setBackLines_;
};

}  // namespace bw
