#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "logformat/RecordLine.h"
#include "site/ListenAddress.h"

namespace bw {

// The sensors polled while Sixteen Sensors is not ticked; slots 1 to
// kMaxReadings are a site's.
inline constexpr int kTwelveSensors = 12;

// The sensors built into the program, by slot: 64-bit ROM codes, CRC byte
// first, family code 0x28 last.
inline constexpr std::array<std::string_view, kMaxReadings> kBuiltInRomCodes = {
    "9C000000B4A89828", "06000000A4EC7428", "B900000027CA8F28", "E6000000B4E6AC28",
    "6E00000027CD1E28", "40000000B491CF28", "A1000000180B0528", "47000000A4F3AD28",
    "88000000B4A59328", "EC00000027A23328", "EE000000B4913B28", "A1000000A4D34C28",
    "84000000B4D33B28", "92000000A4F27928", "F9000000A4DF6628", "42000000B49D7028",
};

// One sensor of a site.
struct SiteSensor {
  int slot = 0;               // 1 to 16
  QString rom;                // 16 upper-case hex digits, as the query sends them
  QString name;               // empty when the site gives none
  std::optional<double> low;  // the alarm band in °C, either end optional
  std::optional<double> high;

  bool outsideBand(double celsius) const {
    return (low && celsius < *low) || (high && celsius > *high);
  }
  // "N name", or "Sensor N" without a name.
  QString label() const;
};

// The adapter and the sensors the programs talk to.
struct Site {
  QString file;                     // the site file read; empty for the table built in
  QString adapter;                  // HOST[:PORT], as it goes after "http://"
  std::vector<SiteSensor> sensors;  // in slot order; a slot not named has no sensor
  QString log;                      // the log the unattended logger writes; empty when not given
  std::optional<ListenAddress> metrics;  // where the metrics are served; none: not given
  // The web configuration file of the metrics (TLS, users); empty: plain HTTP.
  QString webConfig;
  // The lines of the file they were given on, for the errors found later.
  struct Lines {
    int adapter = 0;
    int log = 0;
    int metrics = 0;
    int webConfig = 0;
  } lines;

  // kMaxReadings when a sensor sits in a slot above 12, else 12.
  int sensorCount() const;
  const SiteSensor* inSlot(int slot) const;
};

// The sensors built in, on `adapter`.
Site builtInSite(const QString& adapter);

// The part of a query URL after the host, for one ROM code. The braces stay
// percent-encoded in lower case; the adapter gets the text exactly as built.
QString queryPath(QStringView romCode);
inline QString queryPath(std::string_view romCode) {
  return queryPath(QString::fromLatin1(romCode.data(), static_cast<qsizetype>(romCode.size())));
}
// "http://" + adapter + queryPath(romCode).
QString queryUrl(const QString& adapter, QStringView romCode);
inline QString queryUrl(const QString& adapter, std::string_view romCode) {
  return QStringLiteral("http://") + adapter + queryPath(romCode);
}

// Why a ROM code is not a DS18B20's, or nothing when it is: 16 hex digits,
// family code 28 last, and first the Dallas/Maxim CRC-8 of the seven bytes
// after it, taken family code first.
std::optional<QString> romCodeProblem(QStringView romCode);

}  // namespace bw
