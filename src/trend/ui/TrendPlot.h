#pragma once

#include <qcustomplot.h>
#include <optional>
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
  // The temperatures in view, bottom and top.
  double viewLow() const { return yAxis->range().lower; }
  double viewHigh() const { return yAxis->range().upper; }

  // The chart drawn at `size` as a PNG or an SVG file's bytes; empty when it
  // could not be drawn.
  QByteArray picture(QSize size, bool svg);

 signals:
  void viewChanged();
  void cursorAt(double t);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void ensureSensors();
  void fitValues();
  // Widens the temperatures in view, never narrows them, to take in every
  // reading drawn in the time range in view.
  void widenValuesToShow();
  // The drawn temperatures of the visible sensors in the time range in view.
  std::optional<QCPRange> drawnValues(bool inViewOnly) const;
  void updateTicks();
  void markSetBacks();

  const TrendSeries* series_ = nullptr;
  bool ordinary_ = false;
  bool refreshing_ = false;
  std::vector<QCPCurve*> lines_;
  std::vector<QCPGraph*> flags_;
  std::vector<QCPGraph*> lone_;  // readings with no neighbour to join
  std::vector<bool> hidden_;
  QCPGraph* flagKey_ = nullptr;
  QSharedPointer<QCPAxisTickerDateTime> ticker_;
  std::vector<QCPItemStraightLine*> setBackLines_;
};

}  // namespace bw
