#pragma once

#include <QByteArrayView>
#include <optional>

namespace bw::sim {

// A decoded sensor query: which sensor and at what resolution.
struct SensorQuery {
  int slot = -1;
  int resolution = 12;
};

// Decodes "/1Wire/ReadDS18B20.html?DS18B20Request=%7b<ROM>,12%7d". Lenient:
// escapes in either case or none, path and ROM in any case, resolution 9-12
// (12 when left out). Nullopt for another path or an unknown ROM code.
std::optional<SensorQuery> parseSensorQuery(QByteArrayView target);

}  // namespace bw::sim
