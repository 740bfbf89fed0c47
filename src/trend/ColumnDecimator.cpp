#include "trend/ColumnDecimator.h"

#include <algorithm>
#include <cmath>

namespace bw {

namespace {

// Below this many lines in a column every reading is drawn as it is.
constexpr std::size_t kExactColumn = 8;

class SensorColumns {
 public:
  SensorColumns(const TrendSeries& series, int sensor, const ChartRange& range,
                DecimatedSensor& out)
      : stamps_(series.stamps()),
        values_(series.values(sensor)),
        blocks_(series.blocks(sensor)),
        ordinary_(range.flaggedAsOrdinary),
        out_(out) {}

  void exact(std::size_t i, std::size_t j) {
    for (std::size_t k = i; k < j; ++k) {
      const float v = values_[k];
      if (std::isnan(v)) continue;
      const double x = static_cast<double>(stamps_[k]);
      if (!ordinary_ && isFlagged(v)) {
        out_.flagX.push_back(x);
        out_.flagY.push_back(v);
      } else {
        out_.x.push_back(x);
        out_.y.push_back(v);
      }
    }
  }

  void summed(std::size_t i, std::size_t j, double columnX) {
    std::size_t first = i;
    while (first < j && !drawn(values_[first])) ++first;
    std::size_t last = j;
    while (last > first && !drawn(values_[last - 1])) --last;
    float lo = std::numeric_limits<float>::infinity();
    float hi = -lo;
    bool minusOne = false, minusTwo = false, eightyFive = false;
    for (std::size_t k = i; k < j;) {
      if (k % kBlockLines == 0 && k + kBlockLines <= j) {
        const ReadingBlock& b = blocks_[k / kBlockLines];
        lo = std::min(lo, b.min);
        hi = std::max(hi, b.max);
        minusOne |= b.minusOne > 0;
        minusTwo |= b.minusTwo > 0;
        eightyFive |= b.eightyFive > 0;
        k += kBlockLines;
        continue;
      }
      const float v = values_[k++];
      if (std::isnan(v)) continue;
      if (v == kNoPage)
        minusOne = true;
      else if (v == kNoTemperature)
        minusTwo = true;
      else if (v == kPowerOnValue)
        eightyFive = true;
      else {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    }
    if (ordinary_) {
      for (auto [present, v] : {std::pair{minusOne, kNoPage},
                                {minusTwo, kNoTemperature},
                                {eightyFive, kPowerOnValue}}) {
        if (!present) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    } else {
      for (auto [present, v] : {std::pair{minusOne, kNoPage},
                                {minusTwo, kNoTemperature},
                                {eightyFive, kPowerOnValue}}) {
        if (!present) continue;
        out_.flagX.push_back(columnX);
        out_.flagY.push_back(v);
      }
    }
    if (first == last) return;
    push(first);
    out_.x.push_back(columnX);
    out_.y.push_back(lo);
    out_.x.push_back(columnX);
    out_.y.push_back(hi);
    push(last - 1);
  }

  void beginPiece() { pieceStart_ = out_.x.size(); }

  void endPiece() {
    if (out_.x.size() == pieceStart_ + 1) {
      out_.loneX.push_back(out_.x.back());
      out_.loneY.push_back(out_.y.back());
      out_.x.pop_back();
      out_.y.pop_back();
      return;
    }
    if (out_.y.empty() || std::isnan(out_.y.back())) return;
    out_.x.push_back(out_.x.back());
    out_.y.push_back(std::numeric_limits<double>::quiet_NaN());
  }

 private:
  bool drawn(float v) const { return !std::isnan(v) && (ordinary_ || !isFlagged(v)); }
  void push(std::size_t k) {
    out_.x.push_back(static_cast<double>(stamps_[k]));
    out_.y.push_back(values_[k]);
  }

  const std::vector<StampSeconds>& stamps_;
  const ReadingColumn& values_;
  const std::vector<ReadingBlock>& blocks_;
  const bool ordinary_;
  DecimatedSensor& out_;
  std::size_t pieceStart_ = 0;
};

}  // namespace

DecimatedSensor decimate(const TrendSeries& series, int sensor, const ChartRange& range) {
  DecimatedSensor out;
  if (sensor >= series.sensorCount() || range.to <= range.from || range.columns < 1) return out;
  const auto& stamps = series.stamps();
  const double width = (range.to - range.from) / range.columns;
  SensorColumns columns(series, sensor, range, out);
  for (const TrendSeries::Piece& piece : series.pieces()) {
    TrendSeries::Piece span = series.span(piece, static_cast<StampSeconds>(std::ceil(range.from)),
                                          static_cast<StampSeconds>(std::floor(range.to)));
    // One line either side, so the line runs on to the edge of the chart.
    if (span.begin > piece.begin) --span.begin;
    if (span.end < piece.end) ++span.end;
    if (span.begin >= span.end) continue;
    columns.beginPiece();
    std::size_t i = span.begin;
    while (i < span.end) {
      const double column = std::floor((static_cast<double>(stamps[i]) - range.from) / width);
      const double columnEnd = range.from + (column + 1) * width;
      const auto next =
          std::lower_bound(stamps.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           stamps.begin() + static_cast<std::ptrdiff_t>(span.end), columnEnd,
                           [](StampSeconds s, double v) { return static_cast<double>(s) < v; });
      const auto j = static_cast<std::size_t>(next - stamps.begin());
      if (j - i <= kExactColumn)
        columns.exact(i, j);
      else
        columns.summed(i, j, range.from + (column + 0.5) * width);
      i = j;
    }
    columns.endPiece();
  }
  return out;
}

}  // namespace bw
