#include <gtest/gtest.h>
#include <QSignalSpy>

#include "FrameFakes.h"
#include "frame/MinuteTimer.h"

namespace bw {
namespace {

using std::chrono::milliseconds;

TEST(MinuteTimer, TimeToTheNextMinuteBoundary) {
  const QDate day(2026, 12, 8);
  EXPECT_EQ(MinuteTimer::untilNextMinute({day, QTime(10, 15, 30, 250)}), milliseconds(29750));
  EXPECT_EQ(MinuteTimer::untilNextMinute({day, QTime(10, 15, 0, 0)}), milliseconds(60000));
  EXPECT_EQ(MinuteTimer::untilNextMinute({day, QTime(23, 59, 59, 999)}), milliseconds(1));
}

TEST(MinuteTimer, WakesOnceAtTheBoundaryAndReArmsForTheNextMinuteNotTheNextSecond) {
  test::FixedClock clock;
  clock.stamp.setTime(QTime(10, 15, 59, 950));
  MinuteTimer timer(clock);
  QSignalSpy spy(&timer, &MinuteTimer::minuteBegan);
  timer.start();
  EXPECT_LE(timer.remaining(), milliseconds(50));
  clock.stamp.setTime(QTime(10, 16, 0, 5));
  ASSERT_TRUE(spy.wait(2000));
  EXPECT_EQ(spy.size(), 1);
  EXPECT_TRUE(timer.isActive());
  EXPECT_GT(timer.remaining(), milliseconds(59000));
  timer.stop();
  EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace bw
