#include "TemperatureModel.h"

#include <gtest/gtest.h>
#include <cmath>
#include <set>

namespace bw::sim {
namespace {

constexpr quint64 kReadings = 3000;

TEST(TemperatureModel, StaysOnTheGridAndInTheBrineRangeAndDriftsSlowly) {
  const TemperatureModel model(42);
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    double lowest = 100.0, highest = -100.0, previous = model.at(slot, 0);
    for (quint64 n = 0; n < kReadings; ++n) {
      const double value = model.at(slot, n);
      ASSERT_EQ(std::fmod(value * 16.0, 1.0), 0.0) << slot << ' ' << n;
      ASSERT_GE(value, TemperatureModel::kMinimum);
      ASSERT_LE(value, TemperatureModel::kMaximum);
      ASSERT_LT(std::abs(value - previous), 0.75) << "jump at " << n;
      lowest = std::min(lowest, value);
      highest = std::max(highest, value);
      previous = value;
    }
    EXPECT_GT(highest - lowest, 1.0) << "sensor " << slot << " barely moves";
  }
}

TEST(TemperatureModel, SameSeedRepeatsAndSensorsHaveTheirOwnLevel) {
  TemperatureModel a(7), b(7), other(8);
  bool seedMatters = false;
  for (int i = 0; i < 50; ++i) {
    const double value = a.next(3);
    EXPECT_EQ(value, b.next(3));
    seedMatters = seedMatters || value != other.next(3);
  }
  EXPECT_TRUE(seedMatters);

  std::set<long> levels;
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    double sum = 0;
    for (quint64 n = 0; n < kReadings; ++n) sum += a.at(slot, n);
    levels.insert(std::lround(sum / kReadings * 4));  // quarter-degree buckets
  }
  EXPECT_GE(levels.size(), 10u);
}

}  // namespace
}  // namespace bw::sim
