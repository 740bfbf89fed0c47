#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "logformat/RecordLine.h"
#include "logformat/Sentinels.h"
#include "logformat/Stamp.h"

namespace bw {

// Longer lines are not log lines; the cap keeps memory bounded on a file
// that holds no line ends at all.
inline constexpr std::size_t kMaxLineBytes = 4096;

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
// The same, but the values are not all set: for those that want the texts
// alone, as a CSV row does, at less cost.
bool parseLogLineTexts(std::string_view line, LogRecord& record);
// The same, but the texts are not set: for those that want the values
// alone, as the series and the pictures do.
bool parseLogLineValues(std::string_view line, LogRecord& record);

}  // namespace bw
