#pragma once

#include <cstdint>
#include <vector>

#include "logformat/LogRecord.h"

namespace bw {

// Log lines as the series keeps them: the stamps, and a column of readings
// per sensor, NaN where a line holds fewer readings. The reading hands
// lines over in these, a chunk of a file at a time; cleared, it keeps its
// memory for the next chunk.
class LineColumns {
 public:
  void add(const LogRecord& record);
  void clear();
  // Keeps the first `lines` lines only.
  void truncate(std::size_t lines);

  std::size_t size() const { return stamps_.size(); }
  int sensorCount() const { return sensors_; }
  const std::vector<StampSeconds>& stamps() const { return stamps_; }
  const std::vector<float>& values(int sensor) const {
    return values_[static_cast<std::size_t>(sensor)];
  }

 private:
  std::vector<StampSeconds> stamps_;
  std::vector<std::vector<float>> values_;  // the first sensors_ are in use
  int sensors_ = 0;
};

}  // namespace bw
