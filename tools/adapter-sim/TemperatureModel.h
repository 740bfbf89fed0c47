#pragma once

#include "AdapterSimulator.h"

#include <QtGlobal>
#include <array>

namespace bw::sim {

// Brine temperatures per sensor: a sensor's own base level, two slow
// swings and a little noise, on the 0.0625 degree grid of a 12-bit
// reading, within kMinimum..kMaximum. Time is counted in readings of that
// sensor, so the same seed and the same queries give the same values.
class TemperatureModel {
 public:
  static constexpr double kMinimum = -5.0;
  static constexpr double kMaximum = 15.0;
  static constexpr double kStep = 0.0625;

  explicit TemperatureModel(quint32 seed);

  // The reading number `reading` of sensor `slot`.
  double at(int slot, quint64 reading) const;
  // The next reading of `slot`.
  double next(int slot);

 private:
  struct Sensor {
    double base;
    double slowAmplitude, slowPeriod, slowPhase;
    double fastAmplitude, fastPeriod, fastPhase;
    double noise;
  };

  quint64 seed_;
  std::array<Sensor, kMaxReadings> sensors_;
  std::array<quint64, kMaxReadings> readings_{};
};

}  // namespace bw::sim
