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

// Readings of [begin, end) outside the band; a full block that lies within
// it is passed over whole.
std::int64_t outsideBand(const ReadingColumn& values, const std::vector<ReadingBlock>& blocks,
                         const TrendSeries::Piece& span, const SensorKey& key,
                         bool flaggedAsOrdinary) {
  std::int64_t outside = 0;
  for (std::size_t k = span.begin; k < span.end;) {
    if (k % kBlockLines == 0 && k + kBlockLines <= span.end) {
      const ReadingBlock& b = blocks[k / kBlockLines];
      const bool flagsInside =
          !flaggedAsOrdinary || ((b.minusOne == 0 || !key.outsideBand(kNoPage)) &&
                                 (b.minusTwo == 0 || !key.outsideBand(kNoTemperature)) &&
                                 (b.eightyFive == 0 || !key.outsideBand(kPowerOnValue)));
      const bool inside = b.count == 0 || (!key.outsideBand(b.min) && !key.outsideBand(b.max));
      if (inside && flagsInside) {
        k += kBlockLines;
        continue;
      }
    }
    const float v = values[k++];
    if (std::isnan(v) || (!flaggedAsOrdinary && isFlagged(v))) continue;
    outside += key.outsideBand(v);
  }
  return outside;
}

}  // namespace

std::vector<SensorStatistics> rangeStatistics(const TrendSeries& series, StampSeconds from,
                                              StampSeconds to, bool flaggedAsOrdinary,
                                              const SensorKeys& keys) {
  std::vector<SensorStatistics> result(static_cast<std::size_t>(series.sensorCount()));
  for (int s = 0; s < series.sensorCount(); ++s) {
    const auto& values = series.values(s);
    const auto& blocks = series.blocks(s);
    Sums sums;
    const SensorKey* key =
        static_cast<std::size_t>(s) < keys.size() && keys[static_cast<std::size_t>(s)].hasBand()
            ? &keys[static_cast<std::size_t>(s)]
            : nullptr;
    std::int64_t outside = 0;
    for (const TrendSeries::Piece& piece : series.pieces()) {
      const TrendSeries::Piece span = series.span(piece, from, to);
      if (key) outside += outsideBand(values, blocks, span, *key, flaggedAsOrdinary);
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
            sums.add(kNoPage, b.minusOne);
            sums.add(kNoTemperature, b.minusTwo);
            sums.add(kPowerOnValue, b.eightyFive);
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
    out.outsideBand = outside;
    if (sums.count > 0) {
      out.min = sums.min;
      out.max = sums.max;
      out.mean = sums.sum / static_cast<double>(sums.count);
    }
  }
  return result;
}

}  // namespace bw
