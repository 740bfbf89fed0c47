#include <gtest/gtest.h>

#include "frame/ClockText.h"

namespace bw {
namespace {

TEST(ClockText, ShortTimeKeepsTheLocaleFormButDropsSeconds) {
  const QTime time(14, 5, 37, 250);
  EXPECT_EQ(ClockText::time(QLocale::c(), time), QStringLiteral("14:05"));
  EXPECT_EQ(ClockText::time(QLocale(QStringLiteral("de_DE")), time), QStringLiteral("14:05"));
  EXPECT_EQ(ClockText::time(QLocale(QStringLiteral("en_US")), time).simplified(),
            QStringLiteral("2:05 PM"));
  for (const char* name : {"C", "de_DE", "en_US", "fr_FR", "ja_JP", "fi_FI"})
    EXPECT_FALSE(ClockText::time(QLocale(QLatin1String(name)), time).contains(QStringLiteral("37")))
        << name;
}

TEST(ClockText, ShortDateIsTheLocaleShortForm) {
  const QDate date(2026, 12, 8);
  const QLocale german(QStringLiteral("de_DE"));
  EXPECT_EQ(ClockText::date(german, date), german.toString(date, QLocale::ShortFormat));
  EXPECT_TRUE(ClockText::date(german, date).contains(QStringLiteral("12")));
}

}  // namespace
}  // namespace bw
