#include "acquisition/SensorTable.h"

namespace bw {

std::array<QString, kMaxReadings> sensorUrls(const Site& site) {
  std::array<QString, kMaxReadings> urls;
  for (const SiteSensor& sensor : site.sensors)
    urls[static_cast<std::size_t>(sensor.slot - 1)] = queryUrl(site.adapter, sensor.rom);
  return urls;
}

}  // namespace bw
