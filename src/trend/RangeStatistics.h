#pragma once

#include <cstdint>
#include <vector>

#include "trend/SensorKeys.h"
#include "trend/TrendSeries.h"

namespace bw {

struct SensorStatistics {
  double min = 0;
  double max = 0;
  double mean = 0;
  std::int64_t count = 0;
  std::int64_t outsideBand = 0;  // readings outside the sensor's alarm band
};

// Per sensor, over the lines stamped within [from, to]. Flagged readings are
// left out unless they count as ordinary. `keys` give the bands to count
// readings outside of, by column.
std::vector<SensorStatistics> rangeStatistics(const TrendSeries& series, StampSeconds from,
                                              StampSeconds to, bool flaggedAsOrdinary,
                                              const SensorKeys& keys = {});

}  // namespace bw
