#pragma once

#include <array>

#include "acquisition/SensorTable.h"

namespace bw {

// Latest value per slot, single precision, all 0 at start.
using Readings = std::array<float, kSlotCount>;

// Sentinels stored when a page has no document, or no temperature element.
inline constexpr float kNoDocument = -1.0f;
inline constexpr float kNoElement = -2.0f;

}  // namespace bw
