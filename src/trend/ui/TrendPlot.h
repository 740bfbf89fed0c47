#pragma once

#include <QWidget>
#include <memory>

#include "trend/ColumnDecimator.h"
#include "trend/SensorKeys.h"
#include "trend/TrendSeries.h"

namespace bw {

// The chart: one line per sensor against local time, flagged readings as
// their own points, a legend whose entries switch a sensor on and off.
// Whatever the range, it draws a few points per pixel column from the
// series' summaries, so a year draws as fast as an hour. The chart library
// stays behind this class.
class TrendPlot : public QWidget {
  Q_OBJECT

 public:
  explicit TrendPlot(QWidget* parent = nullptr);
  ~TrendPlot() override;

  // Not owned; refresh() after it changes.
  void setSeries(const TrendSeries* series);
  void setFlaggedAsOrdinary(bool ordinary);
  bool flaggedAsOrdinary() const { return ordinary_; }
  void setSensorVisible(int sensor, bool visible);
  bool sensorVisible(int sensor) const;
  // The legend's labels, and each band drawn as two dashed lines in its
  // sensor's colour.
  void setSensorKeys(const SensorKeys& keys);
  // The temperatures the band lines of `sensor` are drawn at, low first.
  std::vector<double> bandLines(int sensor) const;

  // The whole time range and every reading in view.
  void resetView();
  // The time range from `from` to `to` in view, in stamp seconds.
  void setView(double from, double to);
  // Draws the series anew for the range in view.
  void refresh();
  // After lines were appended: moves the range on so that the latest line
  // stays in view when the one before them, `previousLast`, was in view.
  void followEnd(StampSeconds previousLast);
  // Draws the chart now rather than on the next pass of the event loop.
  void redraw();

  StampSeconds viewFrom() const;
  StampSeconds viewTo() const;
  // The temperatures in view, bottom and top.
  double viewLow() const;
  double viewHigh() const;
  // The pixel columns of the drawing area, which the series is thinned to.
  int chartWidth() const;
  // The columns the lines in the chart were last decimated for.
  int decimatedColumns() const { return decimated_.range.columns; }
  // Where the set-back marks are drawn, in time order.
  std::vector<double> setBackMarkTimes() const;
  // Where the legend entry of `sensor` is drawn, in this widget's
  // coordinates; empty when it has none.
  QRect legendEntry(int sensor) const;

  // The chart drawn at `size` as a PNG or an SVG file's bytes; empty when it
  // could not be drawn.
  QByteArray picture(QSize size, bool svg);

 signals:
  void viewChanged();
  void cursorAt(double t);

 private:
  struct Chart;

  void ensureSensors();
  void fitValues();
  // Widens the temperatures in view, never narrows them, to take in every
  // reading drawn in the time range in view.
  void widenValuesToShow();
  void updateTicks();
  void markSetBacks();
  void drawBand(int sensor);

  // Lays the plot out at its viewport without drawing it.
  void layOut() const;

  // What the chart's lines were last decimated from, and for.
  struct Decimated {
    const TrendSeries* series = nullptr;
    std::size_t lines = 0;
    ChartRange range;
    bool operator==(const Decimated& o) const {
      return series == o.series && lines == o.lines && range.from == o.range.from &&
             range.to == o.range.to && range.columns == o.range.columns &&
             range.flaggedAsOrdinary == o.range.flaggedAsOrdinary;
    }
  };

  const TrendSeries* series_ = nullptr;
  Decimated decimated_;
  SensorKeys keys_ = sensorKeys(nullptr);
  bool ordinary_ = false;
  bool refreshing_ = false;
  std::unique_ptr<Chart> chart_;
};

}  // namespace bw
