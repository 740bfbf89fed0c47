#include <gtest/gtest.h>

#include "TrendLogs.h"
#include "trend/LineSplitter.h"
#include "trend/LogRecord.h"
#include "trend/StampSeconds.h"

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
    Readings readings{};
    for (int s = 0; s < count; ++s) readings[static_cast<std::size_t>(s)] = randomReading(random);
    // Every tenth line at midnight, where the stamp is the date alone.
    const QDateTime stamp(QDate(2000, 1, 1).addDays(random.bounded(20000)),
                          n % 10 == 0 ? QTime(0, 0) : QTime(0, 0).addSecs(random.bounded(86400)),
                          Qt::UTC);
    const QByteArray line = recordLine(stamp, readings, count);
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

  Readings many{};
  const QByteArray seventeen = recordLine(test::at(8, 1), many, 17);
  EXPECT_FALSE(parseLogLine(withoutLineEnd(seventeen), record));
}

TEST(StampSeconds, EveryDayFrom1900To2100_ParsesAndWritesBack) {
  char text[20] = {};
  for (QDate d(1900, 1, 1); d.year() < 2100; d = d.addDays(1)) {
    const QByteArray stamp = d.toString(QStringLiteral("yyyy-MM-dd 23:59:58")).toLatin1();
    const auto seconds = parseStamp(stamp.toStdString(), ' ');
    ASSERT_TRUE(seconds) << stamp.constData();
    writeCsvStamp(*seconds, text);
    ASSERT_EQ(QByteArray(text), d.toString(QStringLiteral("yyyy-MM-ddT23:59:58")).toLatin1());
  }
  EXPECT_FALSE(parseStamp("2027-02-29", ' '));
  EXPECT_FALSE(parseStamp("1900-02-29", ' '));
  EXPECT_TRUE(parseStamp("2000-02-29", ' '));
}

class Lines : public LineSplitter::Sink {
 public:
  void line(std::string_view line, std::int64_t number) override {
    got.push_back(std::to_string(number) + ":" + std::string(line));
  }
  void overlong(std::int64_t number) override { got.push_back(std::to_string(number) + ":long"); }
  std::vector<std::string> got;
};

TEST(LineSplitter, PiecesOfAnySize_GiveTheSameLinesAndHoldTheUnfinishedOne) {
  const std::string text = "a\r\nbb\n\r\n" + std::string(kMaxLineBytes + 10, 'x') + "\r\nccc\r\ndd";
  Lines whole;
  LineSplitter one;
  one.feed(text.data(), text.size(), whole);
  EXPECT_EQ(whole.got, (std::vector<std::string>{"1:a", "2:bb", "3:", "4:long", "5:ccc"}));
  EXPECT_TRUE(one.holding());
  EXPECT_EQ(one.heldBytes(), 2u);
  for (std::size_t piece : {1u, 7u, 4096u}) {
    Lines pieces;
    LineSplitter splitter;
    for (std::size_t at = 0; at < text.size(); at += piece)
      splitter.feed(text.data() + at, std::min(piece, text.size() - at), pieces);
    EXPECT_EQ(pieces.got, whole.got) << piece;
    splitter.feed("d\r\n", 3, pieces);
    EXPECT_EQ(pieces.got.back(), "6:ddd");
  }
}

}  // namespace
}  // namespace bw
