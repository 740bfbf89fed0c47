#include "acquisition/SensorTable.h"

namespace bw {

QString queryPath(std::string_view romCode) {
  return QStringLiteral("/1Wire/ReadDS18B20.html?DS18B20Request=%7b") +
         QString::fromLatin1(romCode.data(), static_cast<qsizetype>(romCode.size())) +
         QStringLiteral(",12%7d");
}

QString queryUrl(const QString& host, std::string_view romCode) {
  return QStringLiteral("http://") + host + queryPath(romCode);
}

std::array<QString, kSlotCount> sensorUrls(const QString& host) {
  std::array<QString, kSlotCount> urls;
  for (int slot = 0; slot < kSensorCount; ++slot) urls[slot] = queryUrl(host, kRomCodes[slot]);
  return urls;
}

}  // namespace bw
