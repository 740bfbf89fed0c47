#include <gtest/gtest.h>

#include "Fakes.h"
#include "frame/Placement.h"

namespace bw {
namespace {

TEST(WritePlacement, WritesLeftTopWidthHeightInTwipsAsWholeNumbersInOrder) {
  test::RecordingSettings store;
  EXPECT_EQ(writePlacement(store, QRect(80, -4, 1016, 598)), std::nullopt);
  EXPECT_EQ(store.writes, (QStringList{QStringLiteral("Brinewatch/Settings/MainLeft=1200"),
                                       QStringLiteral("Brinewatch/Settings/MainTop=-60"),
                                       QStringLiteral("Brinewatch/Settings/MainWidth=15240"),
                                       QStringLiteral("Brinewatch/Settings/MainHeight=8970")}));
}

TEST(WritePlacement, StopsAtARefusedWriteAndGivesItsReason) {
  test::RecordingSettings store;
  store.refusedKey = QStringLiteral("MainTop");
  EXPECT_EQ(writePlacement(store, QRect(1, 2, 3, 4)), QStringLiteral("the settings are read-only"));
  EXPECT_EQ(store.writes, QStringList{QStringLiteral("Brinewatch/Settings/MainLeft=15")});
}

}  // namespace
}  // namespace bw
