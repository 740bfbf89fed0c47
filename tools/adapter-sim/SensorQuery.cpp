#include "SensorQuery.h"

#include "AdapterSimulator.h"

#include <QByteArray>
#include <cstring>
#include <string_view>

namespace bw::sim {

namespace {

constexpr QByteArrayView kPath = "/1Wire/ReadDS18B20.html";
constexpr QByteArrayView kKey = "DS18B20Request";

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b) {
  return a.size() == b.size() && qstrnicmp(a.data(), b.data(), static_cast<size_t>(a.size())) == 0;
}

}  // namespace

std::optional<SensorQuery> parseSensorQuery(QByteArrayView target, const RomCodes& roms) {
  const qsizetype question = target.indexOf('?');
  if (question < 0 || !equalsIgnoringCase(target.first(question), kPath)) return std::nullopt;

  QByteArrayView rest = target.sliced(question + 1);
  while (!rest.isEmpty()) {
    qsizetype amp = rest.indexOf('&');
    if (amp < 0) amp = rest.size();
    const QByteArrayView pair = rest.first(amp);
    rest = amp < rest.size() ? rest.sliced(amp + 1) : QByteArrayView();

    const qsizetype equals = pair.indexOf('=');
    if (equals < 0 || !equalsIgnoringCase(pair.first(equals), kKey)) continue;

    QByteArray value = QByteArray::fromPercentEncoding(pair.sliced(equals + 1).toByteArray());
    value = value.trimmed();
    if (value.startsWith('{')) value.remove(0, 1);
    if (value.endsWith('}')) value.chop(1);

    SensorQuery query;
    const qsizetype comma = value.indexOf(',');
    const QByteArray rom = (comma < 0 ? value : value.first(comma)).trimmed();
    if (comma >= 0) {
      bool ok = false;
      query.resolution = value.sliced(comma + 1).trimmed().toInt(&ok);
      if (!ok || query.resolution < 9 || query.resolution > 12) return std::nullopt;
    }
    if (rom.isEmpty()) return std::nullopt;
    query.romCode = rom.toUpper();
    query.slot = slotOf(roms, rom);
    return query;
  }
  return std::nullopt;
}

}  // namespace bw::sim
