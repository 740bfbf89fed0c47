#pragma once

#include <vector>

#include "trend/TrendSeries.h"

namespace bw {

// What the chart draws for one sensor over a time range on so many pixel
// columns: per column the first, lowest, highest and last reading, which
// draws the same line as every reading would. A NaN y ends a piece, so the
// line is not joined across it. Flagged readings come apart as points
// unless they count as ordinary. A piece of one reading (a line between two
// long gaps) would draw no stroke: it comes apart as a point of its own.
struct DecimatedSensor {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<double> flagX;
  std::vector<double> flagY;
  std::vector<double> loneX;
  std::vector<double> loneY;
};

struct ChartRange {
  double from = 0;
  double to = 0;
  int columns = 1;
  bool flaggedAsOrdinary = false;
};

DecimatedSensor decimate(const TrendSeries& series, int sensor, const ChartRange& range);

}  // namespace bw
