#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "trend/StampSeconds.h"

namespace bw {

// The most readings a log line holds: one per sensor on the bus.
inline constexpr int kMaxReadings = 16;

// Longer lines are not log lines; the cap keeps memory bounded on a file
// that holds no line ends at all.
inline constexpr std::size_t kMaxLineBytes = 4096;

// Readings the logger writes as marks, and the DS18B20's value after a power
// glitch. Brine runs below 0 °C, so -1 and -2 may be real as well.
inline bool isFlagged(float value) {
  return value == -1.0f || value == -2.0f || value == 85.0f;
}

// One log line taken apart. `texts` are the readings exactly as they stand
// in the line, minus sign included, blanks left out.
struct LogRecord {
  StampSeconds stamp = 0;
  int count = 0;
  std::array<float, kMaxReadings> values{};
  std::array<std::string_view, kMaxReadings> texts{};
};

// Reads one line, its line end already taken off, in the form the logger
// writes: the stamp, ", ", then readings (' ' or '-', the number, ' ') each
// padded to the next 14-column print zone before " , ", the last one unpadded.
bool parseLogLine(std::string_view line, LogRecord& record);

}  // namespace bw
