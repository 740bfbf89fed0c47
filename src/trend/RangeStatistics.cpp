#include "trend/RangeStatistics.h"

#include <algorithm>
#include <cmath>

namespace bw {

namespace {

struct Sums {
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  double sum = 0;
  std::int64_t count = 0;

  void add(double v, std::int64_t n = 1) {
    if (n == 0) return;
    min = std::min(min, v);
    max = std::max(max, v);
    sum += v * static_cast<double>(n);
    count += n;
  }
};

}  // namespace

std::vector<SensorStatistics> rangeStatistics(const TrendSeries& series, StampSeconds from,
                                              StampSeconds to, bool flaggedAsOrdinary) {
  std::vector<SensorStatistics> result(static_cast<std::size_t>(series.sensorCount()));
  for (int s = 0; s < series.sensorCount(); ++s) {
    const auto& values = series.values(s);
    const auto& blocks = series.blocks(s);
    Sums sums;
    for (const TrendSeries::Piece& piece : series.pieces()) {
      const TrendSeries::Piece span = series.span(piece, from, to);
      for (std::size_t k = span.begin; k < span.end;) {
        if (k % kBlockLines == 0 && k + kBlockLines <= span.end) {
          const ReadingBlock& b = blocks[k / kBlockLines];
          if (b.count > 0) {
            sums.min = std::min(sums.min, static_cast<double>(b.min));
            sums.max = std::max(sums.max, static_cast<double>(b.max));
            sums.sum += b.sum;
            sums.count += b.count;
          }
          if (flaggedAsOrdinary) {
            sums.add(-1.0, b.minusOne);
            sums.add(-2.0, b.minusTwo);
            sums.add(85.0, b.eightyFive);
          }
          k += kBlockLines;
          continue;
        }
        const float v = values[k++];
        if (std::isnan(v) || (!flaggedAsOrdinary && isFlagged(v))) continue;
        sums.add(v);
      }
    }
    SensorStatistics& out = result[static_cast<std::size_t>(s)];
    out.count = sums.count;
    if (sums.count > 0) {
      out.min = sums.min;
      out.max = sums.max;
      out.mean = sums.sum / static_cast<double>(sums.count);
    }
  }
  return result;
}

}  // namespace bw
