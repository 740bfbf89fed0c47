#include "trend/LogRecord.h"

#include <charconv>
#include <cmath>

namespace bw {

namespace {

constexpr std::size_t kPrintZone = 14;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits with an optional '.' fraction and an optional exponent, from `pos`;
// returns the end, or npos when there is no number there.
std::size_t numberEnd(std::string_view line, std::size_t pos) {
  const std::size_t n = line.size();
  std::size_t digits = 0;
  while (pos < n && isDigit(line[pos])) ++pos, ++digits;
  if (pos < n && line[pos] == '.') {
    ++pos;
    while (pos < n && isDigit(line[pos])) ++pos, ++digits;
  }
  if (digits == 0) return std::string_view::npos;
  if (pos < n && (line[pos] == 'e' || line[pos] == 'E')) {
    ++pos;
    if (pos < n && (line[pos] == '-' || line[pos] == '+')) ++pos;
    const std::size_t start = pos;
    while (pos < n && isDigit(line[pos])) ++pos;
    if (pos == start) return std::string_view::npos;
  }
  return pos;
}

}  // namespace

bool parseLogLine(std::string_view line, LogRecord& record) {
  if (line.size() < 10) return false;
  const std::size_t stampLength = line.size() > 10 && line[10] == ' ' ? 19 : 10;
  if (line.size() < stampLength + 2) return false;
  const auto stamp = parseStamp(line.substr(0, stampLength), ' ');
  if (!stamp) return false;
  std::size_t pos = stampLength;
  if (line[pos] != ',' || line[pos + 1] != ' ') return false;
  pos += 2;

  record.stamp = *stamp;
  int count = 0;
  const std::size_t n = line.size();
  while (true) {
    if (count == kMaxReadings || pos >= n) return false;
    const char sign = line[pos];
    if (sign != ' ' && sign != '-') return false;
    const std::size_t textStart = sign == '-' ? pos : pos + 1;
    const std::size_t end = numberEnd(line, pos + 1);
    if (end == std::string_view::npos || end >= n || line[end] != ' ') return false;
    float value = 0.0f;
    // from_chars reads no plus sign and no blanks; the grammar above has
    // already shut out "inf", "nan" and hex forms it would take.
    const auto [ptr, ec] = std::from_chars(line.data() + textStart, line.data() + end, value);
    if (ec != std::errc() || ptr != line.data() + end || !std::isfinite(value)) return false;
    record.values[static_cast<std::size_t>(count)] = value;
    record.texts[static_cast<std::size_t>(count)] = line.substr(textStart, end - textStart);
    ++count;
    pos = end + 1;
    if (pos == n) break;
    const std::size_t zone = (pos / kPrintZone + 1) * kPrintZone;
    if (zone + 3 > n) return false;
    for (std::size_t i = pos; i < zone; ++i)
      if (line[i] != ' ') return false;
    if (line[zone] != ' ' || line[zone + 1] != ',' || line[zone + 2] != ' ') return false;
    pos = zone + 3;
  }
  record.count = count;
  return true;
}

}  // namespace bw
