#include <gtest/gtest.h>
#include <QSignalSpy>

#include "Fakes.h"
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

TEST(MinuteTimer, WakesAtTheBoundaryAndReArmsForTheNextMinuteNotTheNextSecond) {
  test::FixedClock clock;
  clock.stamp.setTime(QTime(10, 15, 59, 950));
  MinuteTimer timer(clock);
  QSignalSpy spy(&timer, &MinuteTimer::minuteBegan);
  timer.start();
  EXPECT_EQ(timer.interval(), milliseconds(50));
  clock.stamp.setTime(QTime(10, 16, 0, 5));
  ASSERT_TRUE(spy.wait(10000));
  EXPECT_EQ(spy.size(), 1);
  EXPECT_TRUE(timer.isActive());
  EXPECT_EQ(timer.interval(), milliseconds(59995));
  timer.stop();
  EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace bw
