#include "logformat/LogRecord.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace bw {

namespace {

constexpr auto kPrintZone = static_cast<std::size_t>(kPrintZoneWidth);

// True when [p, p + n) holds blanks only, eight at a time where it can.
inline bool allBlanks(const char* p, std::size_t n) {
  constexpr std::uint64_t kEightBlanks = 0x2020202020202020ull;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (word != kEightBlanks) return false;
  }
  for (; n > 0; ++p, --n)
    if (*p != ' ') return false;
  return true;
}

// Powers of ten that a float holds exactly.
constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                  1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number at `pos`: digits with an optional '.' fraction and an optional
// exponent. Short ones (a DS18B20 reading has at most four decimals) are
// read as digits and a count of decimals: when both fit a float exactly, one
// float division rounds correctly, as from_chars would. Returns the end, or
// npos when there is no number there.
std::size_t readNumber(std::string_view line, std::size_t pos, bool negative, float& value) {
  const std::size_t n = line.size();
  const std::size_t start = pos;
  std::uint32_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  while (pos < n && isDigit(line[pos])) {
    mantissa = mantissa * 10 + static_cast<std::uint32_t>(line[pos++] - '0');
    ++digits;
  }
  if (pos < n && line[pos] == '.') {
    ++pos;
    while (pos < n && isDigit(line[pos])) {
      mantissa = mantissa * 10 + static_cast<std::uint32_t>(line[pos++] - '0');
      ++digits;
      ++decimals;
    }
  }
  if (digits == 0) return std::string_view::npos;
  bool exponent = false;
  if (pos < n && (line[pos] == 'e' || line[pos] == 'E')) {
    exponent = true;
    ++pos;
    if (pos < n && (line[pos] == '-' || line[pos] == '+')) ++pos;
    const std::size_t exponentStart = pos;
    while (pos < n && isDigit(line[pos])) ++pos;
    if (pos == exponentStart) return std::string_view::npos;
  }
  if (!exponent && digits <= 7) {
    const float magnitude = static_cast<float>(mantissa) / kPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return pos;
  }
  // from_chars reads no plus sign and no blanks; the grammar above has
  // already shut out "inf", "nan" and hex forms it would take.
  const char* first = line.data() + start - (negative ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(first, line.data() + pos, value);
  if (ec != std::errc() || ptr != line.data() + pos || !std::isfinite(value))
    return std::string_view::npos;
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
    float value = 0.0f;
    const std::size_t end = readNumber(line, pos + 1, sign == '-', value);
    if (end == std::string_view::npos || end >= n || line[end] != ' ') return false;
    const std::string_view text = line.substr(textStart, end - textStart);
    record.values[static_cast<std::size_t>(count)] = value;
    record.texts[static_cast<std::size_t>(count)] = text;
    ++count;
    pos = end + 1;
    if (pos == n) break;
    const std::size_t zone = (pos / kPrintZone + 1) * kPrintZone;
    if (zone + 3 > n) return false;
    if (!allBlanks(line.data() + pos, zone - pos)) return false;
    if (line[zone] != ' ' || line[zone + 1] != ',' || line[zone + 2] != ' ') return false;
    pos = zone + 3;
  }
  record.count = count;
  return true;
}

}  // namespace bw
