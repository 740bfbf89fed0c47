#include <gtest/gtest.h>

#include "logformat/RecordLine.h"

namespace bw {
namespace {

const QDateTime kStamp(QDate(2026, 12, 8), QTime(14, 3, 9));

std::array<float, kMaxReadings> sample() {
  std::array<float, kMaxReadings> r{};
  for (int i = 0; i < kMaxReadings; ++i) r[i] = 10.0f + 0.0625f * static_cast<float>(i);
  return r;
}

TEST(RecordLine, TwelveSensors_StampTwelveReadingsElevenSeparatorsCrLf) {
  const QByteArray line = recordLine(kStamp, sample().data(), 12);
  EXPECT_TRUE(line.startsWith("2026-12-08 14:03:09,  10 "));
  EXPECT_TRUE(line.endsWith(" 10.6875 \r\n"));
  EXPECT_EQ(line.count(" , "), 11);
  EXPECT_EQ(line.count('\n'), 1);
  EXPECT_EQ(line.count("\r\n"), 1);
  EXPECT_EQ(line.split(',').size(), 13);  // ", " after the stamp plus 11 " , "
}

TEST(RecordLine, SixteenSensors_FifteenSeparatorsAndLastReadingOfSlot15) {
  const QByteArray line = recordLine(kStamp, sample().data(), 16);
  EXPECT_EQ(line.count(" , "), 15);
  EXPECT_TRUE(line.endsWith(" 10.9375 \r\n"));
}

TEST(RecordLine, ReadingsArePaddedToPrintZonesBeforeEachSeparator) {
  std::array<float, kMaxReadings> r{};
  r[0] = 23.5f;
  r[1] = -2.0f;
  r[2] = -1.0f;
  const QByteArray line = recordLine(kStamp, r.data(), 4);
  // Stamp and ", " take 21 columns; " 23.5 " ends at 27, padded to zone 28.
  EXPECT_EQ(line, QByteArray("2026-12-08 14:03:09,  23.5   , -2          , -1          ,  0 \r\n"));
  qsizetype from = 0;
  while ((from = line.indexOf(" , ", from)) >= 0) {
    EXPECT_EQ(from % kPrintZoneWidth, 0) << from;
    from += 3;
  }
}

TEST(RecordLine, ReadingThatEndsOnAZoneBoundaryStillGetsABlank) {
  std::array<float, kMaxReadings> r{};
  r[0] = 1.125f;  // 21 columns of stamp and ", ", then " 1.125 " ends at column 28
  const QByteArray line = recordLine(kStamp, r.data(), 2);
  EXPECT_EQ(line.indexOf(" , "), 42);
  EXPECT_EQ(line, QByteArray("2026-12-08 14:03:09,  1.125") + QByteArray(16, ' ') +
                      QByteArray(",  0 \r\n"));
}

TEST(RecordLine, MidnightStampIsTheDateAlone) {
  const QByteArray line =
      recordLine(QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0)), sample().data(), 12);
  EXPECT_TRUE(line.startsWith("2026-12-08,  10 "));
}

TEST(ReadingText, BlankOrMinusThenNumberThenBlank) {
  EXPECT_EQ(readingText(23.5f), QByteArray(" 23.5 "));
  EXPECT_EQ(readingText(-2.0f), QByteArray("-2 "));
  EXPECT_EQ(readingText(-0.5f), QByteArray("-0.5 "));
  EXPECT_EQ(readingText(0.0f), QByteArray(" 0 "));
}

}  // namespace
}  // namespace bw
