#include "site/SiteCommandLine.h"

namespace bw {

namespace {

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

SiteCommandLine parseSiteCommandLine(const QStringList& arguments) {
  SiteCommandLine line;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-');
    if (a == u"--site") {
      if (!hasValue) {
        line.error = QStringLiteral("--site needs a FILE");
        return line;
      }
      line.siteFile = arguments[++i];
    } else if (a == u"--check-site") {
      line.check = true;
      if (hasValue) line.checkFile = arguments[++i];
    } else if (a == u"--help" || a == u"-h") {
      line.help = true;
    } else if (a.startsWith(QStringLiteral("--"))) {
      line.error = QStringLiteral("unknown option %1").arg(a);
      return line;
    } else if (!a.startsWith(u'-')) {
      line.error = QStringLiteral("unexpected argument %1").arg(a);
      return line;
    } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-')) {
      ++i;  // a Qt option of one dash and its value, such as -platform offscreen
    }
  }
  return line;
}

QString siteTable(const Site& site) {
  QString text = site.file.isEmpty() ? QStringLiteral("No site file: the sensors built in.\n")
                                     : QStringLiteral("Site file %1\n").arg(site.file);
  text += QStringLiteral("Adapter %1\n").arg(site.adapter);
  int nameWidth = 4;
  for (const SiteSensor& sensor : site.sensors)
    nameWidth = std::max<int>(nameWidth, static_cast<int>(sensor.name.size()));
  const auto row = [nameWidth](const QString& slot, const QString& rom, const QString& name,
                               const QString& band, const QString& url) {
    return QStringLiteral("%1  %2  %3  %4  %5\n")
        .arg(slot, 4)
        .arg(rom, -16)
        .arg(name, -nameWidth)
        .arg(band, -14)
        .arg(url);
  };
  text += row(QStringLiteral("Slot"), QStringLiteral("ROM"), QStringLiteral("Name"),
              QStringLiteral("Band (°C)"), QStringLiteral("URL"));
  for (const SiteSensor& sensor : site.sensors)
    text += row(QString::number(sensor.slot), sensor.rom,
                sensor.name.isEmpty() ? QStringLiteral("-") : sensor.name, band(sensor),
                queryUrl(site.adapter, sensor.rom));
  return text;
}

}  // namespace bw
