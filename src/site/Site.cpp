#include "site/Site.h"

namespace bw {

namespace {

int hexDigit(QChar c) {
  if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
  if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
  return -1;
}

// The 1-Wire CRC-8: polynomial x^8 + x^5 + x^4 + 1, bits taken low first.
quint8 crc8(const quint8* bytes, int count) {
  quint8 crc = 0;
  for (int i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<quint8>((crc >> 1) ^ 0x8C) : crc >> 1;
  }
  return crc;
}

}  // namespace

QString SiteSensor::label() const {
  return name.isEmpty() ? QStringLiteral("Sensor %1").arg(slot)
                        : QStringLiteral("%1 %2").arg(slot).arg(name);
}

int Site::sensorCount() const {
  for (const SiteSensor& sensor : sensors)
    if (sensor.slot > kTwelveSensors) return kMaxReadings;
  return kTwelveSensors;
}

const SiteSensor* Site::inSlot(int slot) const {
  for (const SiteSensor& sensor : sensors)
    if (sensor.slot == slot) return &sensor;
  return nullptr;
}

Site builtInSite(const QString& adapter) {
  Site site;
  site.adapter = adapter;
  for (int slot = 1; slot <= kMaxReadings; ++slot) {
    const std::string_view rom = kBuiltInRomCodes[static_cast<std::size_t>(slot - 1)];
    site.sensors.push_back(
        {slot, QString::fromLatin1(rom.data(), static_cast<qsizetype>(rom.size())), {}, {}, {}});
  }
  return site;
}

QString queryPath(QStringView romCode) {
  return QStringLiteral("/1Wire/ReadDS18B20.html?DS18B20Request=%7b") + romCode.toString() +
         QStringLiteral(",12%7d");
}

QString queryUrl(const QString& adapter, QStringView romCode) {
  return QStringLiteral("http://") + adapter + queryPath(romCode);
}

std::optional<QString> romCodeProblem(QStringView romCode) {
  constexpr int kDigits = 16;
  if (romCode.size() != kDigits)
    return QStringLiteral("a ROM code has 16 hex digits, not %1").arg(romCode.size());
  quint8 bytes[kDigits / 2];
  for (int i = 0; i < kDigits; i += 2) {
    const int high = hexDigit(romCode[i]);
    const int low = hexDigit(romCode[i + 1]);
    if (high < 0 || low < 0) return QStringLiteral("a ROM code has hex digits only (0-9, A-F)");
    bytes[i / 2] = static_cast<quint8>(high * 16 + low);
  }
  constexpr quint8 kDs18b20 = 0x28;
  const auto hex = [](quint8 byte) {
    return QStringLiteral("%1").arg(static_cast<uint>(byte), 2, 16, QChar(u'0')).toUpper();
  };
  if (bytes[7] != kDs18b20)
    return QStringLiteral("its family code (the last byte) is %1, not 28 (a DS18B20)")
        .arg(hex(bytes[7]));
  // The bus sends the family code first and the CRC byte last.
  const quint8 onTheBus[7] = {bytes[7], bytes[6], bytes[5], bytes[4], bytes[3], bytes[2], bytes[1]};
  const quint8 expected = crc8(onTheBus, 7);
  if (bytes[0] != expected)
    return QStringLiteral(
               "its CRC byte (the first) is %1, expected %2 from the other digits: a digit is "
               "mistyped")
        .arg(hex(bytes[0]), hex(expected));
  return std::nullopt;
}

}  // namespace bw
