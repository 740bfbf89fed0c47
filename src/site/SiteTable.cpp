#include "site/SiteTable.h"

#include "site/TextColumns.h"

#include <algorithm>

namespace bw {

namespace {

// `text` filled with spaces to `width` columns, on the left when `right`.
QString padded(const QString& text, int width, bool right = false) {
  const QString fill(std::max(0, width - displayWidth(text)), u' ');
  return right ? fill + text : text + fill;
}

QString temperature(const std::optional<double>& celsius) {
  return celsius ? QString::number(*celsius, 'g', 10) : QString();
}

QString band(const SiteSensor& sensor) {
  if (!sensor.low && !sensor.high) return QStringLiteral("-");
  if (!sensor.high) return QStringLiteral("from %1").arg(temperature(sensor.low));
  if (!sensor.low) return QStringLiteral("up to %1").arg(temperature(sensor.high));
  return QStringLiteral("%1 to %2").arg(temperature(sensor.low), temperature(sensor.high));
}

}  // namespace

QString siteTable(const Site& site) {
  QString text = site.file.isEmpty() ? QStringLiteral("No site file: the sensors built in.\n")
                                     : QStringLiteral("Site file %1\n").arg(site.file);
  text += QStringLiteral("Adapter %1\n").arg(site.adapter);
  if (!site.log.isEmpty()) text += QStringLiteral("Log %1\n").arg(site.log);
  if (site.metrics) text += QStringLiteral("Metrics %1\n").arg(site.metrics->text);
  const auto shownName = [](const SiteSensor& sensor) {
    return sensor.name.isEmpty() ? QStringLiteral("-") : sensor.name;
  };
  int nameWidth = displayWidth(u"Name");
  for (const SiteSensor& sensor : site.sensors)
    nameWidth = std::max(nameWidth, displayWidth(shownName(sensor)));
  const auto row = [nameWidth](const QString& slot, const QString& rom, const QString& name,
                               const QString& band, const QString& url) {
    return QStringLiteral("%1  %2  %3  %4  %5\n")
        .arg(padded(slot, 4, true), padded(rom, 16), padded(name, nameWidth), padded(band, 14),
             url);
  };
  text += row(QStringLiteral("Slot"), QStringLiteral("ROM"), QStringLiteral("Name"),
              QStringLiteral("Band (°C)"), QStringLiteral("URL"));
  for (const SiteSensor& sensor : site.sensors)
    text += row(QString::number(sensor.slot), sensor.rom, shownName(sensor), band(sensor),
                queryUrl(site.adapter, sensor.rom));
  return text;
}

}  // namespace bw
