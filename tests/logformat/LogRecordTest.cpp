#include <gtest/gtest.h>

#include <charconv>
#include <cstring>

#include "LogLines.h"
#include "logformat/LogRecord.h"
#include "logformat/Stamp.h"

namespace bw {
namespace {

std::string_view withoutLineEnd(const QByteArray& line) {
  return std::string_view(line.constData(), static_cast<std::size_t>(line.size() - 2));
}

float randomReading(QRandomGenerator& random) {
  switch (random.bounded(8)) {
    case 0:
      return -1.0f;
    case 1:
      return -2.0f;
    case 2:
      return 85.0f;
    case 3:
      return static_cast<float>(random.bounded(-800, 1200)) / 16.0f;  // DS18B20 steps
    case 4:
      return static_cast<float>(random.generateDouble() * 200.0 - 100.0);
    case 5:
      return static_cast<float>(random.generateDouble() * 1e-6);  // exponent form
    default:
      return static_cast<float>(random.bounded(-30, 30));
  }
}

TEST(LogRecord, RandomLinesOfTheRecordLineCode_EveryValueAndTextRoundTrips) {
  QRandomGenerator random(9);
  LogRecord record;
  for (int n = 0; n < 4000; ++n) {
    const int count = n % 2 ? 16 : 12;
    std::array<float, kMaxReadings> readings{};
    for (int s = 0; s < count; ++s) readings[static_cast<std::size_t>(s)] = randomReading(random);
    // Every tenth line at midnight, where the stamp is the date alone.
    const QDateTime stamp(QDate(2000, 1, 1).addDays(random.bounded(20000)),
                          n % 10 == 0 ? QTime(0, 0) : QTime(0, 0).addSecs(random.bounded(86400)),
                          Qt::UTC);
    const QByteArray line = recordLine(stamp, readings.data(), count);
    ASSERT_TRUE(parseLogLine(withoutLineEnd(line), record)) << line.constData();
    ASSERT_EQ(record.count, count);
    const QString form = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(stampDateTime(record.stamp).toString(form), stamp.toString(form));
    for (int s = 0; s < count; ++s) {
      const auto slot = static_cast<std::size_t>(s);
      EXPECT_EQ(record.values[slot], readings[slot]) << line.constData();
      EXPECT_EQ(
          QByteArray(record.texts[slot].data(), static_cast<qsizetype>(record.texts[slot].size())),
          readingText(readings[slot]).trimmed());
    }
  }
}

// Every number of up to five digits and dots, and random ones of six and
// seven, as the first reading and as one after it: taken exactly when
// from_chars takes it whole, as the float it gives, and with its text; the
// texts alone and the values alone as the whole reading takes them.
TEST(LogRecord, ShortNumbers_ReadAsFromCharsReadsThem) {
  QRandomGenerator random(5);
  LogRecord record;
  LogRecord texts;
  LogRecord values;
  const auto check = [&](const std::string& number) {
    float expected = 0;
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), expected);
    const bool valid = error == std::errc() && end == number.data() + number.size();
    for (const bool second : {false, true}) {
      std::string line = "2026-01-01 00:00:09, ";
      if (second) {
        line += " 1";
        line.resize(2 * kPrintZoneWidth, ' ');
        line += " , ";
      }
      line += ' ' + number;
      if (second) line.resize(std::max<std::size_t>(line.size() + 1, 3 * kPrintZoneWidth), ' ');
      line += second ? " ,  2 " : " ";
      const auto slot = static_cast<std::size_t>(second);
      ASSERT_EQ(parseLogLine(line, record), valid) << line;
      ASSERT_EQ(parseLogLineTexts(line, texts), valid) << line;
      ASSERT_EQ(parseLogLineValues(line, values), valid) << line;
      if (!valid) continue;
      ASSERT_EQ(std::memcmp(&record.values[slot], &expected, sizeof expected), 0) << line;
      ASSERT_EQ(std::memcmp(&values.values[slot], &expected, sizeof expected), 0) << line;
      ASSERT_EQ(values.count, record.count);
      ASSERT_EQ(record.texts[slot], number);
      ASSERT_EQ(texts.texts[slot], number);
      ASSERT_EQ(texts.count, record.count);
    }
  };
  const std::string digitsAndDot = "0123456789.";
  for (std::size_t length = 1; length <= 5; ++length) {
    std::string number(length, '0');
    std::size_t forms = 1;
    for (std::size_t i = 0; i < length; ++i) forms *= digitsAndDot.size();
    for (std::size_t form = 0; form < forms; ++form) {
      for (std::size_t i = 0, rest = form; i < length; ++i, rest /= digitsAndDot.size())
        number[i] = digitsAndDot[rest % digitsAndDot.size()];
      check(number);
    }
  }
  for (int n = 0; n < 100000; ++n) {
    std::string number(static_cast<std::size_t>(6 + random.bounded(2)), '0');
    for (char& c : number) c = static_cast<char>('0' + random.bounded(10));
    if (random.bounded(8) != 0) number[random.bounded(static_cast<int>(number.size()))] = '.';
    check(number);
  }
}

TEST(LogRecord, LinesTheLoggerDoesNotWrite_AreRefused) {
  const QByteArray good = test::logLine(test::at(8, 14, 3, 9), {4.5f, -1.0f, 4.625f});
  const std::string g(withoutLineEnd(good));
  LogRecord record;
  ASSERT_TRUE(parseLogLine(g, record));
  const std::vector<std::string> bad = {
      "",
      g.substr(0, g.size() - 1),    // last blank cut off
      g.substr(0, 30),              // cut inside the padding
      "2026-02-30" + g.substr(19),  // no such day
      "2026-12-08 24:00:00" + g.substr(19),
      "2026-12-08T14:03:09" + g.substr(19),
      std::string(g).replace(g.find(" , "), 3, "  ,"),  // separator off its zone
      std::string(g).replace(g.find("4.5"), 3, "nan"),
      std::string(g).replace(g.find("4.5"), 3, "4,5"),
      std::string(g).replace(g.find("  "), 2, "\t "),
      "\x7f"
      "ELF\x02\x01\x01",
  };
  for (const std::string& line : bad) EXPECT_FALSE(parseLogLine(line, record)) << line;
  // Every byte of a reading after the first counts, up to the separator on
  // its zone boundary: a stray byte anywhere there is no log line.
  const std::size_t second = g.find(" , ") + 3;
  for (std::size_t at = second; at < g.find(" , ", second) + 3; ++at)
    EXPECT_FALSE(parseLogLine(std::string(g).replace(at, 1, "x"), record)) << at;

  std::array<float, kMaxReadings + 1> many{};
  const QByteArray seventeen = recordLine(test::at(8, 1), many.data(), 17);
  EXPECT_FALSE(parseLogLine(withoutLineEnd(seventeen), record));
}

// The values the viewer flags are the marks the logger writes, and only those.
TEST(LogRecord, TheFlaggedValuesAreTheWritersMarks) {
  const std::array<float, 5> readings = {kNoPage, kNoTemperature, kPowerOnValue, -0.9375f,
                                         84.9375f};
  LogRecord record;
  ASSERT_TRUE(
      parseLogLine(withoutLineEnd(recordLine(test::at(8, 10), readings.data(), 5)), record));
  EXPECT_EQ(record.values[0], kNoPage);
  EXPECT_EQ(record.texts[0], "-1");
  EXPECT_EQ(record.texts[1], "-2");
  EXPECT_EQ(record.texts[2], "85");
  for (std::size_t s = 0; s < readings.size(); ++s)
    EXPECT_EQ(isFlagged(record.values[s]), s < 3) << s;
}

}  // namespace
}  // namespace bw
