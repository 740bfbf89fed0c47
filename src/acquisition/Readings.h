#pragma once

#include <array>

#include "acquisition/SensorTable.h"
#include "logformat/Sentinels.h"

namespace bw {

// Latest value per slot, single precision.
using Readings = std::array<float, kMaxReadings>;

// The readings at the start of a run: a slot not read yet holds the mark of
// "no page was had", so a record never logs an invented 0 °C for a sensor
// that was not read (the slots 13 to 16 just after Sixteen Sensors is ticked).
constexpr Readings unreadSlots() {
  Readings readings{};
  for (float& value : readings) value = kNoPage;
  return readings;
}

}  // namespace bw
