#include <gtest/gtest.h>

#include "acquisition/SensorTable.h"

namespace bw {
namespace {

// 1-Wire CRC-8 (x^8 + x^5 + x^4 + 1, reflected 0x8C) over bytes in bus order.
quint8 crc8(const quint8* bytes, int count) {
  quint8 crc = 0;
  for (int i = 0; i < count; ++i) {
    quint8 byte = bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool mix = (crc ^ byte) & 1;
      crc >>= 1;
      if (mix) crc ^= 0x8C;
      byte >>= 1;
    }
  }
  return crc;
}

TEST(SensorTable, EveryRomCodeIsADs18b20WithAValidCrc) {
  for (std::string_view code : kBuiltInRomCodes) {
    ASSERT_EQ(code.size(), 16u);
    quint8 bytes[8];
    for (int i = 0; i < 8; ++i) {
      const QByteArray pair(code.data() + 2 * i, 2);
      ASSERT_EQ(pair, pair.toUpper()) << code;
      bool ok = false;
      bytes[i] = static_cast<quint8>(pair.toUInt(&ok, 16));
      ASSERT_TRUE(ok) << code;
    }
    EXPECT_EQ(bytes[7], 0x28) << code;
    // Written most significant byte first: the bus sends family code first.
    quint8 busOrder[7];
    for (int i = 0; i < 7; ++i) busOrder[i] = bytes[7 - i];
    EXPECT_EQ(crc8(busOrder, 7), bytes[0]) << code;
  }
}

TEST(SensorTable, UrlsAreSpelledExactlyWithLowerCaseBraceEscapes) {
  const auto urls = sensorUrls(QStringLiteral("192.168.1.50"));
  const char* expected[kSensorCount] = {
      "9C000000B4A89828", "06000000A4EC7428", "B900000027CA8F28", "E6000000B4E6AC28",
      "6E00000027CD1E28", "40000000B491CF28", "A1000000180B0528", "47000000A4F3AD28",
      "88000000B4A59328", "EC00000027A23328", "EE000000B4913B28", "A1000000A4D34C28",
      "84000000B4D33B28", "92000000A4F27928", "F9000000A4DF6628", "42000000B49D7028"};
  for (int slot = 0; slot < kSensorCount; ++slot) {
    EXPECT_EQ(urls[slot], QStringLiteral("http://192.168.1.50/1Wire/ReadDS18B20.html"
                                         "?DS18B20Request=%7b") +
                              QLatin1String(expected[slot]) + QStringLiteral(",12%7d"));
  }
  EXPECT_TRUE(urls[16].isEmpty());
}

}  // namespace
}  // namespace bw
