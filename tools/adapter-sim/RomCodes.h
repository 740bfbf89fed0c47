#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>

namespace bw::sim {

// Sensors behind the simulated adapter: slots 0-15, ROM codes as in
// bw::kBuiltInRomCodes (site/Site.h) unless a site names others.
inline constexpr int kSimulatedSensors = 16;

// The ROM code of each slot, upper case; empty where no sensor sits.
using RomCodes = std::array<QByteArray, kSimulatedSensors>;
RomCodes builtInRomCodes();
// The slot of a ROM code (any letter case), -1 when it is none of them.
int slotOf(const RomCodes& roms, QByteArrayView romCode);

}  // namespace bw::sim
