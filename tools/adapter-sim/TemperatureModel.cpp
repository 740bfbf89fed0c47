#include "TemperatureModel.h"

#include <algorithm>
#include <cmath>

namespace bw::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// splitmix64: cheap, well mixed, and the same on every platform.
quint64 mix(quint64 value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

// Uniform in [0, 1) from a key.
double unit(quint64 key) {
  return static_cast<double>(mix(key) >> 11) * 0x1.0p-53;
}

}  // namespace

TemperatureModel::TemperatureModel(quint32 seed) : seed_(mix(seed)) {
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    const quint64 key = seed_ ^ (static_cast<quint64>(slot + 1) << 40);
    Sensor& sensor = sensors_[slot];
    sensor.base = 1.0 + 9.0 * unit(key + 1);
    sensor.slowAmplitude = 0.8 + 2.2 * unit(key + 2);
    sensor.slowPeriod = 600.0 + 1400.0 * unit(key + 3);
    sensor.slowPhase = kTwoPi * unit(key + 4);
    sensor.fastAmplitude = 0.1 + 0.3 * unit(key + 5);
    sensor.fastPeriod = 40.0 + 80.0 * unit(key + 6);
    sensor.fastPhase = kTwoPi * unit(key + 7);
    sensor.noise = 0.05 + 0.1 * unit(key + 8);
  }
}

double TemperatureModel::at(int slot, quint64 reading) const {
  const Sensor& sensor = sensors_[slot];
  const double n = static_cast<double>(reading);
  const double noiseKey = unit(seed_ ^ mix((static_cast<quint64>(slot) << 56) ^ reading));
  double value =
      sensor.base +
      sensor.slowAmplitude * std::sin(kTwoPi * n / sensor.slowPeriod + sensor.slowPhase) +
      sensor.fastAmplitude * std::sin(kTwoPi * n / sensor.fastPeriod + sensor.fastPhase) +
      sensor.noise * (2.0 * noiseKey - 1.0);
  value = std::clamp(value, kMinimum, kMaximum);
  // Adding 0.0 turns a rounded -0 into 0, so the page never shows "-0.0000".
  return std::round(value / kStep) * kStep + 0.0;
}

double TemperatureModel::next(int slot) {
  return at(slot, readings_[slot]++);
}

}  // namespace bw::sim
