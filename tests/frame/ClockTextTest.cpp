#include <gtest/gtest.h>

#include "frame/ClockText.h"

namespace bw {
namespace {

TEST(ClockText, ShortTimeKeepsTheLocaleFormButDropsSeconds) {
  const QTime time(14, 5, 37, 250);
  EXPECT_EQ(clockTimeText(QLocale::c(), time), QStringLiteral("14:05"));
  EXPECT_EQ(clockTimeText(QLocale(QStringLiteral("de_DE")), time), QStringLiteral("14:05"));
  EXPECT_EQ(clockTimeText(QLocale(QStringLiteral("en_US")), time).simplified(),
            QStringLiteral("2:05 PM"));
  for (const char* name : {"C", "de_DE", "en_US", "fr_FR", "ja_JP", "fi_FI"})
    EXPECT_FALSE(clockTimeText(QLocale(QLatin1String(name)), time).contains(QStringLiteral("37")))
        << name;
}

}  // namespace
}  // namespace bw
