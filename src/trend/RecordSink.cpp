#include "trend/RecordSink.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace bw {

QString leftOutBefore(std::int64_t bytes) {
  return QStringLiteral("%1 bytes up to a zero byte before a log line (a hole?), left out")
      .arg(bytes);
}

void RecordSink::take() {
  if (!filter_.accepts(record_.stamp)) {
    ++report_.outOfRange;
    return;
  }
  ++report_.lines;
  take_(record_);
}

void RecordSink::line(std::string_view line, std::int64_t number) {
  if (parse_(line, record_)) return take();
  // Only a line that is no log line is looked through for zeros: a log line
  // pays nothing for it.
  const std::string_view after = afterLastZero(line);
  if (after.size() < line.size() && parse_(after, record_)) {
    report_.bad.add(file_, number,
                    leftOutBefore(static_cast<std::int64_t>(line.size() - after.size())));
    return take();
  }
  report_.bad.add(file_, number,
                  line.empty() ? QStringLiteral("empty line") : QStringLiteral("not a log line"));
}

void RecordSink::overlong(std::int64_t number, std::int64_t bytes, std::string_view afterZeros) {
  if (!afterZeros.empty() && parse_(afterZeros, record_)) {
    report_.bad.add(file_, number,
                    leftOutBefore(bytes - static_cast<std::int64_t>(afterZeros.size())));
    return take();
  }
  report_.bad.add(file_, number, overlongReason(bytes));
}

namespace {

// The commas of a line, eight bytes at a time: this runs for every line of
// a CSV export before its first row. Each byte of `counts` counts the
// commas in its place of up to 31 words, so none carries into the next.
int commasIn(std::string_view line) {
  constexpr std::uint64_t kEachByte = 0x0101010101010101ull;
  constexpr std::uint64_t kLowBits = 0x7f7f7f7f7f7f7f7full;
  const char* p = line.data();
  std::size_t n = line.size();
  int total = 0;
  while (n >= 8) {
    std::uint64_t counts = 0;
    for (int words = 0; words < 31 && n >= 8; ++words, p += 8, n -= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t x = word ^ (kEachByte * ',');
      counts += (~(((x & kLowBits) + kLowBits) | x) >> 7) & kEachByte;
    }
    total += static_cast<int>((counts * kEachByte) >> 56);
  }
  for (; n > 0; ++p, --n) total += *p == ',';
  return total;
}

// Whether `line` is long enough to hold more than `readings` (one or more)
// readings, told from its length and its second comma, which ends the
// first reading's zone: each reading after it starts 3 bytes into a print
// zone of its own and is a sign, a digit and a blank at least. Most lines
// of a log are as wide as the widest so far and are passed over here
// without their commas being counted.
bool mayHoldMore(std::string_view line, int readings) {
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  const auto* first = static_cast<const char*>(std::memchr(begin, ',', line.size()));
  if (first == nullptr) return false;
  const auto* second = static_cast<const char*>(
      std::memchr(first + 1, ',', static_cast<std::size_t>(end - first - 1)));
  if (second == nullptr) return false;
  return end - second >= kPrintZoneWidth * (readings - 1) + 5;
}

}  // namespace

void WidestLineSink::line(std::string_view line, std::int64_t) {
  if (widest > 0 && !mayHoldMore(line, widest)) return;
  if (commasIn(line) <= widest) return;
  if (!widen(line)) widen(afterLastZero(line));
}

void WidestLineSink::overlong(std::int64_t, std::int64_t, std::string_view afterZeros) {
  if (!afterZeros.empty()) widen(afterZeros);
}

bool WidestLineSink::widen(std::string_view line) {
  if (!parseLogLineTexts(line, record_)) return false;
  if (filter_.accepts(record_.stamp)) widest = std::max(widest, record_.count);
  return true;
}

QString overlongReason(std::int64_t bytes) {
  return QStringLiteral("a line of %1 bytes, longer than a log line (%2 at most)")
      .arg(bytes)
      .arg(kMaxLineBytes);
}

}  // namespace bw
