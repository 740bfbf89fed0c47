#include <gtest/gtest.h>

#include "logformat/Stamp.h"

namespace bw {
namespace {

TEST(StampText, DateAndTimeThatSortAndHoldNoComma) {
  const QDateTime stamp(QDate(2026, 3, 7), QTime(9, 5, 3));
  EXPECT_EQ(stampText(stamp), QStringLiteral("2026-03-07 09:05:03"));
  EXPECT_FALSE(stampText(stamp).contains(u','));
  EXPECT_LT(stampText(stamp), stampText(stamp.addSecs(1)));
  EXPECT_LT(stampText(QDateTime(QDate(2026, 3, 7), QTime(23, 59, 59))),
            stampText(QDateTime(QDate(2026, 3, 8), QTime(0, 0, 1))));
}

TEST(StampText, MidnightIsTheDateAlone) {
  EXPECT_EQ(stampText(QDateTime(QDate(2026, 12, 31), QTime(0, 0, 0))),
            QStringLiteral("2026-12-31"));
  EXPECT_EQ(stampText(QDateTime(QDate(2026, 12, 31), QTime(0, 0, 1))),
            QStringLiteral("2026-12-31 00:00:01"));
  // Milliseconds past midnight still print as midnight: the stamp has whole seconds.
  EXPECT_EQ(stampText(QDateTime(QDate(2026, 12, 31), QTime(0, 0, 0, 400))),
            QStringLiteral("2026-12-31"));
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

}  // namespace
}  // namespace bw
