#include "trend/LineColumns.h"

#include <algorithm>

namespace bw {

static_assert(std::numeric_limits<float>::is_iec559);

void ReadingColumn::append(const ReadingColumn& other) {
  if (!wide_ && !other.wide_) {
    codes_.insert(codes_.end(), other.codes_.begin(), other.codes_.end());
    return;
  }
  if (!wide_) widen();
  const std::size_t at = floats_.size();
  floats_.resize(at + other.size());
  other.copy(0, other.size(), floats_.data() + at);
}

void ReadingColumn::widen() {
  floats_.reserve(codes_.capacity());
  floats_.resize(codes_.size());
  copy(0, codes_.size(), floats_.data());
  std::vector<std::int16_t>().swap(codes_);
  wide_ = true;
}

void ReadingColumn::resize(std::size_t count) {
  if (wide_)
    floats_.resize(count, std::numeric_limits<float>::quiet_NaN());
  else
    codes_.resize(count, kNone);
}

void ReadingColumn::clear() {
  if (wide_) {
    // Back to two bytes a reading, in the room the floats held.
    codes_.reserve(floats_.capacity());
    std::vector<float>().swap(floats_);
    wide_ = false;
  }
  codes_.clear();
}

void ReadingColumn::reserve(std::size_t count) {
  if (wide_)
    floats_.reserve(count);
  else
    codes_.reserve(count);
}

void ReadingColumn::copy(std::size_t from, std::size_t count, float* out) const {
  if (wide_) {
    std::copy_n(floats_.data() + from, count, out);
    return;
  }
  const std::int16_t* codes = codes_.data() + from;
  for (std::size_t i = 0; i < count; ++i)
    out[i] = codes[i] == kNone ? std::numeric_limits<float>::quiet_NaN()
                               : static_cast<float>(codes[i]) * (1.0f / 16.0f);
}

std::size_t ReadingColumn::bytesHeld() const {
  return codes_.capacity() * sizeof(std::int16_t) + floats_.capacity() * sizeof(float);
}

void LineColumns::add(const LogRecord& record) {
  while (sensors_ < record.count) {
    if (values_.size() == static_cast<std::size_t>(sensors_)) values_.emplace_back();
    values_[static_cast<std::size_t>(sensors_)].clear();
    values_[static_cast<std::size_t>(sensors_++)].resize(stamps_.size());
  }
  stamps_.push_back(record.stamp);
  for (int s = 0; s < sensors_; ++s)
    values_[static_cast<std::size_t>(s)].push_back(s < record.count
                                                       ? record.values[static_cast<std::size_t>(s)]
                                                       : std::numeric_limits<float>::quiet_NaN());
}

void LineColumns::clear() {
  stamps_.clear();
  for (ReadingColumn& column : values_) column.clear();
  sensors_ = 0;
}

void LineColumns::truncate(std::size_t lines) {
  if (lines >= size()) return;
  stamps_.resize(lines);
  for (int s = 0; s < sensors_; ++s) values_[static_cast<std::size_t>(s)].resize(lines);
}

}  // namespace bw
