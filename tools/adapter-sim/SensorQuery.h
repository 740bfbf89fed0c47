#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include "RomCodes.h"

namespace bw::sim {

// A decoded sensor query: which sensor and at what resolution.
struct SensorQuery {
  int slot = -1;  // -1: a ROM code not among the sensors
  QByteArray romCode;
  int resolution = 12;
};

// Decodes "/1Wire/ReadDS18B20.html?DS18B20Request=%7b<ROM>,12%7d". Lenient:
// escapes in either case or none, path and ROM in any case, resolution 9-12
// (12 when left out). Nullopt for another path or no ROM code.
std::optional<SensorQuery> parseSensorQuery(QByteArrayView target, const RomCodes& roms);

}  // namespace bw::sim
