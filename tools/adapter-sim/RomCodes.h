#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>

#include "logformat/RecordLine.h"

namespace bw::sim {

// Sensors behind the simulated adapter: slots 0 to kMaxReadings - 1, ROM
// codes as in bw::kBuiltInRomCodes (site/Site.h) unless a site names others.

// The ROM code of each slot, upper case; empty where no sensor sits.
using RomCodes = std::array<QByteArray, kMaxReadings>;
RomCodes builtInRomCodes();
// The slot of a ROM code (any letter case), -1 when it is none of them.
int slotOf(const RomCodes& roms, QByteArrayView romCode);

}  // namespace bw::sim
