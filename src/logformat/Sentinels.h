#pragma once

namespace bw {

// Readings a log line may hold that are not temperatures, or may not be:
// the logger's marks, written like any reading, and the value a DS18B20
// reports after a power glitch, before its first conversion. Brine runs below
// 0 °C, so -1 and -2 may be real readings as well.
inline constexpr float kNoPage = -1.0f;         // the adapter gave no page for the sensor
inline constexpr float kNoTemperature = -2.0f;  // a page without the temperature
inline constexpr float kPowerOnValue = 85.0f;

inline bool isFlagged(float value) {
  return value == kNoPage || value == kNoTemperature || value == kPowerOnValue;
}

}  // namespace bw
