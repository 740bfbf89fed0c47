#include <gtest/gtest.h>

#include "FrameFakes.h"
#include "frame/PlacementWriter.h"

namespace bw {
namespace {

TEST(PlacementWriter, WritesLeftTopWidthHeightInTwipsAsWholeNumbersInOrder) {
  test::Steps steps;
  test::RecordingSettings store(steps);
  EXPECT_EQ(PlacementWriter::write(store, QRect(80, -4, 1016, 598)), std::nullopt);
  EXPECT_EQ(steps, (QStringList{QStringLiteral("save Brinewatch/Settings/MainLeft=1200"),
                                QStringLiteral("save Brinewatch/Settings/MainTop=-60"),
                                QStringLiteral("save Brinewatch/Settings/MainWidth=15240"),
                                QStringLiteral("save Brinewatch/Settings/MainHeight=8970")}));
}

TEST(PlacementWriter, StopsAtARefusedWriteAndGivesItsReason) {
  test::Steps steps;
  test::RecordingSettings store(steps);
  store.refusedKey = QStringLiteral("MainTop");
  EXPECT_EQ(PlacementWriter::write(store, QRect(1, 2, 3, 4)),
            QStringLiteral("the settings are read-only"));
  EXPECT_EQ(steps, QStringList{QStringLiteral("save Brinewatch/Settings/MainLeft=15")});
}

}  // namespace
}  // namespace bw
