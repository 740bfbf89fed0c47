#include "trend/LineColumns.h"

#include <limits>

namespace bw {

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

}  // namespace

void LineColumns::add(const LogRecord& record) {
  while (sensors_ < record.count) {
    if (values_.size() == static_cast<std::size_t>(sensors_)) values_.emplace_back();
    values_[static_cast<std::size_t>(sensors_++)].assign(stamps_.size(), kNone);
  }
  stamps_.push_back(record.stamp);
  for (int s = 0; s < sensors_; ++s)
    values_[static_cast<std::size_t>(s)].push_back(
        s < record.count ? record.values[static_cast<std::size_t>(s)] : kNone);
}

void LineColumns::clear() {
  stamps_.clear();
  for (std::vector<float>& column : values_) column.clear();
  sensors_ = 0;
}

void LineColumns::truncate(std::size_t lines) {
  if (lines >= size()) return;
  stamps_.resize(lines);
  for (int s = 0; s < sensors_; ++s) values_[static_cast<std::size_t>(s)].resize(lines);
}

}  // namespace bw
