#include "logformat/Stamp.h"

#include <cstring>

namespace bw {

namespace {

constexpr StampSeconds kSecondsPerDay = 86400;
constexpr std::size_t kDateLength = 10;  // yyyy-MM-dd

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

bool isLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(int y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Exactly `n` digits at `p`; -1 when any is not a digit.
int digits(const char* p, int n) {
  int value = 0;
  for (int i = 0; i < n; ++i) {
    const unsigned digit = static_cast<unsigned char>(p[i]) - '0';
    if (digit > 9) return -1;
    value = value * 10 + static_cast<int>(digit);
  }
  return value;
}

void put(char* out, int value, int n) {
  for (int i = n - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace

QString stampText(const QDateTime& stamp) {
  const QTime time = stamp.time();
  const QString date = stamp.date().toString(QStringLiteral("yyyy-MM-dd"));
  if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) return date;
  return date + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}

bool readStamp(std::string_view text, char separator, StampSeconds& out) {
  if (text.size() != 10 && text.size() != 19) return false;
  const char* p = text.data();
  // A log's lines mostly share their date with the line before: the last
  // date read is kept, per thread, and taken again without working it out.
  thread_local char lastDate[kDateLength + 1] = "1970-01-01";
  thread_local StampSeconds lastDay = 0;
  StampSeconds seconds = lastDay;
  if (std::memcmp(p, lastDate, kDateLength) != 0) {
    if (p[4] != '-' || p[7] != '-') return false;
    const int year = digits(p, 4);
    const int month = digits(p + 5, 2);
    const int day = digits(p + 8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1) return false;
    if (static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month))) return false;
    seconds = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) *
              kSecondsPerDay;
    std::memcpy(lastDate, p, kDateLength);
    lastDay = seconds;
  }
  if (text.size() == 19) {
    if (p[10] != separator || p[13] != ':' || p[16] != ':') return false;
    const int hour = digits(p + 11, 2);
    const int minute = digits(p + 14, 2);
    const int second = digits(p + 17, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
      return false;
    seconds += hour * 3600 + minute * 60 + second;
  }
  out = seconds;
  return true;
}

void writeCsvStamp(StampSeconds stamp, char* out) {
  std::int64_t days = stamp / kSecondsPerDay;
  std::int64_t rest = stamp % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  int y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(days, y, m, d);
  put(out, y, 4);
  out[4] = '-';
  put(out + 5, static_cast<int>(m), 2);
  out[7] = '-';
  put(out + 8, static_cast<int>(d), 2);
  out[10] = 'T';
  put(out + 11, static_cast<int>(rest / 3600), 2);
  out[13] = ':';
  put(out + 14, static_cast<int>(rest / 60 % 60), 2);
  out[16] = ':';
  put(out + 17, static_cast<int>(rest % 60), 2);
}

QDateTime stampDateTime(StampSeconds stamp) {
  return QDateTime::fromSecsSinceEpoch(stamp, Qt::UTC);
}

StampSeconds stampOf(const QDateTime& wallClock) {
  return QDateTime(wallClock.date(), wallClock.time(), Qt::UTC).toSecsSinceEpoch();
}

}  // namespace bw
