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
  const auto urls = sensorUrls(builtInSite(QStringLiteral("192.168.1.50")));
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    EXPECT_EQ(urls[slot], QStringLiteral("http://192.168.1.50/1Wire/ReadDS18B20.html"
                                         "?DS18B20Request=%7b") +
                              QLatin1String(kBuiltInRomCodes[slot].data(), 16) +
                              QStringLiteral(",12%7d"));
  }
}

}  // namespace
}  // namespace bw
