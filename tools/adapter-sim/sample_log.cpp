// Writes a log of simulated readings, as brinewatch would have written it over
// a span of time, for pictures and trials of the trend viewer. Not installed.

#include "TemperatureModel.h"
#include "logformat/RecordLine.h"
#include "logformat/Sentinels.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <cstdio>

namespace {

constexpr int kUsageError = 2;
constexpr int kWriteError = 1;

int fail(int status, const QString& message) {
  std::fprintf(stderr, "brinewatch-sample-log: %s\n", qPrintable(message));
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Writes a log of simulated readings to OUT."));
  parser.addHelpOption();
  const QCommandLineOption startOption(QStringLiteral("start"),
                                       QStringLiteral("First stamp, yyyy-MM-ddTHH:mm:ss."),
                                       QStringLiteral("T"), QStringLiteral("2026-12-07T00:00:00"));
  const QCommandLineOption hoursOption(QStringLiteral("hours"),
                                       QStringLiteral("Span in hours (default 24)."),
                                       QStringLiteral("N"), QStringLiteral("24"));
  const QCommandLineOption cycleOption(QStringLiteral("cycle-ms"),
                                       QStringLiteral("Time per cycle in ms (default 9100)."),
                                       QStringLiteral("N"), QStringLiteral("9100"));
  const QCommandLineOption sensorsOption(QStringLiteral("sensors"),
                                         QStringLiteral("12 or 16 (default 12)."),
                                         QStringLiteral("N"), QStringLiteral("12"));
  const QCommandLineOption outageOption(
      QStringLiteral("outage"),
      QStringLiteral("Sensor slot that gives no answer for ten minutes a third into the span."),
      QStringLiteral("SLOT"));
  parser.addOptions({startOption, hoursOption, cycleOption, sensorsOption, outageOption});
  parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The log to write."));
  parser.process(app);

  const QDateTime start = QDateTime::fromString(parser.value(startOption), Qt::ISODate);
  bool hoursOk = false, cycleOk = false, sensorsOk = false, outageOk = true;
  const double hours = parser.value(hoursOption).toDouble(&hoursOk);
  const qint64 cycleMs = parser.value(cycleOption).toLongLong(&cycleOk);
  const int sensors = parser.value(sensorsOption).toInt(&sensorsOk);
  const int outage = parser.isSet(outageOption) ? parser.value(outageOption).toInt(&outageOk) : -1;
  if (parser.positionalArguments().size() != 1 || !start.isValid() || !hoursOk || hours <= 0 ||
      !cycleOk || cycleMs <= 0 || !sensorsOk || (sensors != 12 && sensors != 16) || !outageOk ||
      outage >= sensors)
    return fail(kUsageError, QStringLiteral("bad arguments; see --help"));

  QFile out(parser.positionalArguments().first());
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return fail(kWriteError, out.errorString());

  const qint64 spanMs = static_cast<qint64>(hours * 3600'000.0);
  const qint64 outageFrom = spanMs / 3, outageTo = outageFrom + 600'000;
  bw::sim::TemperatureModel model(1);
  std::array<float, bw::kMaxReadings> readings{};
  for (qint64 at = 0; at < spanMs; at += cycleMs) {
    for (int slot = 0; slot < sensors; ++slot) {
      const float value = static_cast<float>(model.next(slot));
      readings[static_cast<size_t>(slot)] =
          slot == outage && at >= outageFrom && at < outageTo ? bw::kNoPage : value;
    }
    if (out.write(bw::recordLine(start.addMSecs(at), readings.data(), sensors)) < 0)
      return fail(kWriteError, out.errorString());
  }
  return out.flush() ? 0 : fail(kWriteError, out.errorString());
}
