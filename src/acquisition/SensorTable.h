#pragma once

#include <QString>
#include <array>
#include <string_view>

namespace bw {

// Slots of the sensor and reading tables: 0 to 15 carry a sensor, slot 16
// stays empty.
inline constexpr int kSlotCount = 17;
inline constexpr int kSensorCount = 16;

// The sensors on the bus, by slot: 64-bit ROM codes, CRC byte first, family
// code 0x28 last.
inline constexpr std::array<std::string_view, kSensorCount> kRomCodes = {
    "9C000000B4A89828", "06000000A4EC7428", "B900000027CA8F28", "E6000000B4E6AC28",
    "6E00000027CD1E28", "40000000B491CF28", "A1000000180B0528", "47000000A4F3AD28",
    "88000000B4A59328", "EC00000027A23328", "EE000000B4913B28", "A1000000A4D34C28",
    "84000000B4D33B28", "92000000A4F27928", "F9000000A4DF6628", "42000000B49D7028",
};

// The part of a query URL after the host, for one ROM code. The braces stay
// percent-encoded in lower case; the adapter gets the text exactly as built.
QString queryPath(std::string_view romCode);

// "http://" + host + queryPath(romCode).
QString queryUrl(const QString& host, std::string_view romCode);

// The 17 query URLs of the table on `host`: slots 0 to 15 filled, slot 16 empty.
std::array<QString, kSlotCount> sensorUrls(const QString& host);

}  // namespace bw
