#include "trend/TrendSeries.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace bw {

namespace {

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Summed up once a block is full: only full blocks are ever read.
ReadingBlock summary(const float* values) {
  ReadingBlock block;
  // Most blocks hold ordinary readings only: told from the bits, which the
  // compiler checks several at a time, and then summed without a branch
  // per reading.
  std::uint32_t unusual = 0;
  for (std::size_t i = 0; i < kBlockLines; ++i) {
    const std::uint32_t bits = bitsOf(values[i]);
    unusual |= static_cast<std::uint32_t>((bits & 0x7fffffffu) > 0x7f800000u) |  // NaN
               static_cast<std::uint32_t>(bits == bitsOf(kNoPage)) |
               static_cast<std::uint32_t>(bits == bitsOf(kNoTemperature)) |
               static_cast<std::uint32_t>(bits == bitsOf(kPowerOnValue));
  }
  const bool ordinary = unusual == 0;
  if (ordinary) {
    for (std::size_t i = 0; i < kBlockLines; ++i) {
      block.min = std::min(block.min, values[i]);
      block.max = std::max(block.max, values[i]);
      block.sum += static_cast<double>(values[i]);
    }
    block.count = static_cast<std::uint16_t>(kBlockLines);
    return block;
  }
  for (std::size_t i = 0; i < kBlockLines; ++i) {
    const float value = values[i];
    if (std::isnan(value)) continue;
    if (isFlagged(value)) {
      block.minusOne += value == kNoPage;
      block.minusTwo += value == kNoTemperature;
      block.eightyFive += value == kPowerOnValue;
      continue;
    }
    block.min = std::min(block.min, value);
    block.max = std::max(block.max, value);
    block.sum += static_cast<double>(value);
    ++block.count;
  }
  return block;
}

// The same for a block held in sixteenths, without making floats of them:
// a sum of sixteenths this small is exact in a double, so the sum of the
// codes over 16 is the very sum of the floats. Null when it holds a mark
// or no reading, which the floats' way sums up.
std::optional<ReadingBlock> summary(const std::int16_t* codes) {
  // In codes' own width throughout, so that the compiler takes eight at a
  // time: this runs for every reading of a year.
  constexpr auto code = [](float v) { return static_cast<std::int16_t>(v * 16.0f); };
  std::int16_t lo = std::numeric_limits<std::int16_t>::max();
  std::int16_t hi = std::numeric_limits<std::int16_t>::min();
  int sum = 0;
  std::int16_t unusual = 0;
  for (std::size_t i = 0; i < kBlockLines; ++i) {
    const std::int16_t c = codes[i];
    unusual |= static_cast<std::int16_t>((c == ReadingColumn::kNone) | (c == code(kNoPage)) |
                                         (c == code(kNoTemperature)) | (c == code(kPowerOnValue)));
    lo = std::min(lo, c);
    hi = std::max(hi, c);
    sum += c;
  }
  if (unusual != 0) return std::nullopt;
  ReadingBlock block;
  block.min = static_cast<float>(lo) * (1.0f / 16.0f);
  block.max = static_cast<float>(hi) * (1.0f / 16.0f);
  block.sum = static_cast<double>(sum) / 16.0;
  block.count = static_cast<std::uint16_t>(kBlockLines);
  return block;
}

}  // namespace

void TrendSeries::addSensor() {
  ReadingColumn column;
  column.reserve(std::max(reserved_, stamps_.capacity()));
  column.resize(stamps_.size());
  values_.push_back(std::move(column));
  std::vector<ReadingBlock> blocks;
  blocks.reserve(std::max(reserved_, stamps_.capacity()) / kBlockLines + 1);
  blocks.resize(stamps_.size() / kBlockLines);
  blocks_.push_back(std::move(blocks));
}

void TrendSeries::append(const LogRecord& record) {
  while (sensorCount() < record.count) addSensor();
  stamps_.push_back(record.stamp);
  const int sensors = sensorCount();
  for (int s = 0; s < sensors; ++s) {
    values_[static_cast<std::size_t>(s)].push_back(s < record.count
                                                       ? record.values[static_cast<std::size_t>(s)]
                                                       : std::numeric_limits<float>::quiet_NaN());
  }
  placeLine(stamps_.size() - 1);
  if (stamps_.size() % kBlockLines == 0) sumUpFullBlocks();
}

void TrendSeries::append(const LineColumns& lines) {
  if (lines.size() == 0) return;
  while (sensorCount() < lines.sensorCount()) addSensor();
  const std::size_t begin = stamps_.size();
  stamps_.insert(stamps_.end(), lines.stamps().begin(), lines.stamps().end());
  for (int s = 0; s < sensorCount(); ++s) {
    ReadingColumn& column = values_[static_cast<std::size_t>(s)];
    if (s < lines.sensorCount())
      column.append(lines.values(s));
    else
      column.resize(stamps_.size());
  }
  for (std::size_t index = begin; index < stamps_.size(); ++index) placeLine(index);
  sumUpFullBlocks();
}

void TrendSeries::placeLine(std::size_t index) {
  const StampSeconds stamp = stamps_[index];
  const bool goesBack = index > 0 && stamp < stamps_[index - 1];
  if (goesBack && !breakNext_) setBacks_.push_back(index);
  if (breakNext_ || goesBack ||
      (index > 0 && stamp - stamps_[index - 1] > kLongestJoinedGap.count())) {
    pieces_.push_back({index, index});
    breakNext_ = false;
  }
  ++pieces_.back().end;
}

void TrendSeries::sumUpFullBlocks() {
  std::array<float, kBlockLines> values{};
  for (std::size_t s = 0; s < values_.size(); ++s)
    for (std::size_t block = blocks_[s].size(); block < stamps_.size() / kBlockLines; ++block) {
      const std::int16_t* codes = values_[s].sixteenths();
      if (const auto summed = codes ? summary(codes + block * kBlockLines) : std::nullopt) {
        blocks_[s].push_back(*summed);
        continue;
      }
      values_[s].copy(block * kBlockLines, kBlockLines, values.data());
      blocks_[s].push_back(summary(values.data()));
    }
}

void TrendSeries::clear() {
  *this = TrendSeries();
}

// The columns stay in ordinary pages. With huge pages (madvise) a year's
// reading was slower and less steady on a virtual machine, where a huge
// page first written can take ten times as long to come in: 0.59 to 0.85 s
// against 0.53 to 0.58 s.
void TrendSeries::reserve(std::size_t lines) {
  reserved_ = lines;
  stamps_.reserve(lines);
  for (auto& column : values_) column.reserve(lines);
  for (auto& blocks : blocks_) blocks.reserve(lines / kBlockLines + 1);
}

StampSeconds TrendSeries::first() const {
  StampSeconds t = std::numeric_limits<StampSeconds>::max();
  for (const Piece& p : pieces_) t = std::min(t, stamps_[p.begin]);
  return t;
}

StampSeconds TrendSeries::last() const {
  StampSeconds t = std::numeric_limits<StampSeconds>::min();
  for (const Piece& p : pieces_) t = std::max(t, stamps_[p.end - 1]);
  return t;
}

TrendSeries::Piece TrendSeries::span(const Piece& piece, StampSeconds from, StampSeconds to) const {
  const auto begin = stamps_.begin() + static_cast<std::ptrdiff_t>(piece.begin);
  const auto end = stamps_.begin() + static_cast<std::ptrdiff_t>(piece.end);
  const auto lo = std::lower_bound(begin, end, from);
  const auto hi = std::upper_bound(lo, end, to);
  return {static_cast<std::size_t>(lo - stamps_.begin()),
          static_cast<std::size_t>(hi - stamps_.begin())};
}

std::size_t TrendSeries::nearest(double t) const {
  std::size_t best = size();
  double bestDistance = std::numeric_limits<double>::infinity();
  for (const Piece& p : pieces_) {
    const auto begin = stamps_.begin() + static_cast<std::ptrdiff_t>(p.begin);
    const auto end = stamps_.begin() + static_cast<std::ptrdiff_t>(p.end);
    const auto at = std::lower_bound(
        begin, end, t, [](StampSeconds s, double v) { return static_cast<double>(s) < v; });
    for (auto it : {at - (at != begin ? 1 : 0), at}) {
      if (it == end) continue;
      const double distance = std::fabs(static_cast<double>(*it) - t);
      // On a tie the later line wins: after a clock set back, what was
      // logged last.
      if (distance <= bestDistance) {
        bestDistance = distance;
        best = static_cast<std::size_t>(it - stamps_.begin());
      }
    }
  }
  return best;
}

std::size_t TrendSeries::bytesHeld() const {
  std::size_t bytes = stamps_.capacity() * sizeof(StampSeconds);
  for (const auto& column : values_) bytes += column.bytesHeld();
  for (const auto& blocks : blocks_) bytes += blocks.capacity() * sizeof(ReadingBlock);
  bytes += pieces_.capacity() * sizeof(Piece) + setBacks_.capacity() * sizeof(std::size_t);
  return bytes;
}

std::vector<StampSeconds> setBackMarks(const TrendSeries& series, double from, double to,
                                       int most) {
  std::vector<StampSeconds> marks;
  const auto& stamps = series.stamps();
  for (std::size_t index : series.setBacks()) {
    const auto x = static_cast<double>(stamps[index - 1]);
    if (x >= from && x <= to) marks.push_back(stamps[index - 1]);
  }
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  if (most <= 0 || marks.size() <= static_cast<std::size_t>(most) || to <= from) return marks;
  std::vector<StampSeconds> kept;
  long long lastStretch = -1;
  for (StampSeconds t : marks) {
    const auto stretch = std::min<long long>(
        most - 1, static_cast<long long>((static_cast<double>(t) - from) / (to - from) * most));
    if (stretch == lastStretch) continue;
    kept.push_back(t);
    lastStretch = stretch;
  }
  return kept;
}

}  // namespace bw
