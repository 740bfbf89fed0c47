// Stand-alone simulated 1-Wire adapter for manual runs and benchmarks.

#include "AdapterSimulator.h"
#include "Fault.h"
#include "platform/TerminationNotifier.h"
#include "site/LoadSite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kUsageError = 2;
constexpr int kRuntimeError = 1;
constexpr quint16 kDefaultPort = 8080;
constexpr std::chrono::milliseconds kDefaultConversionTime{750};

void printLine(std::FILE* stream, const QString& text) {
  const QByteArray line = text.toLocal8Bit() + '\n';
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
  std::fflush(stream);
}

// The reason, then the options.
int usageError(const QCommandLineParser& parser, const QString& message) {
  printLine(stderr, QStringLiteral("brinewatch-adapter-sim: %1\n").arg(message));
  std::fputs(parser.helpText().toLocal8Bit().constData(), stderr);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  // The words as given: the application takes some options of its own out
  // of argv, which would pass them by unchecked.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("brinewatch-adapter-sim"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Simulated network 1-Wire adapter with 16 DS18B20 sensors. Answers\n"
                     "GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b<ROM>,12%7d with a page whose\n"
                     "element Temperature_0 carries the reading."));
  parser.addHelpOption();
  const QCommandLineOption listenOption(QStringLiteral("listen"),
                                        QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                        QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
  const QCommandLineOption portOption(
      QStringLiteral("port"), QStringLiteral("TCP port, 0 for any free one (default 8080)."),
      QStringLiteral("N"), QString::number(kDefaultPort));
  const QCommandLineOption conversionOption(
      QStringLiteral("conversion-ms"),
      QStringLiteral("Delay before each sensor answer in ms (default 750)."), QStringLiteral("N"),
      QString::number(kDefaultConversionTime.count()));
  const QCommandLineOption seedOption(QStringLiteral("seed"),
                                      QStringLiteral("Seed of the temperature model (default 1)."),
                                      QStringLiteral("N"), QStringLiteral("1"));
  const QCommandLineOption faultOption(
      QStringLiteral("fault"),
      QStringLiteral(
          "Fault of one sensor, by slot 1-16 or ROM code; repeatable. KIND is one of: ") +
          bw::sim::faultNames().join(QStringLiteral(", ")) + QLatin1Char('.'),
      QStringLiteral("SLOT_OR_ROM=KIND"));
  const QCommandLineOption logOption(QStringLiteral("log-requests"),
                                     QStringLiteral("Print each request line to stdout."));
  const QCommandLineOption twoWritesOption(
      QStringLiteral("two-writes"),
      QStringLiteral("Send each answer's headers and body in two writes, as many small HTTP "
                     "servers do."));
  const QCommandLineOption siteOption(
      QStringLiteral("site"),
      QStringLiteral("Answer exactly the sensors of this site file, by their slots; a query for "
                     "any other ROM code gets a page without the temperature."),
      QStringLiteral("FILE"));
  parser.addOptions({listenOption, portOption, conversionOption, seedOption, faultOption, logOption,
                     twoWritesOption, siteOption});
  const auto usageError = [&parser](const QString& message) {
    return ::usageError(parser, message);
  };

  if (!parser.parse(arguments)) return usageError(parser.errorText());
  if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
    parser.showHelp(0);
  if (!parser.positionalArguments().isEmpty())
    return usageError(
        QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

  bw::sim::AdapterSimulator::Options options;
  bool ok = false;
  options.address = QHostAddress(parser.value(listenOption));
  if (options.address.isNull())
    return usageError(
        QStringLiteral("--listen: '%1' is not an IP address").arg(parser.value(listenOption)));
  const uint port = parser.value(portOption).toUInt(&ok);
  if (!ok || port > 65535)
    return usageError(
        QStringLiteral("--port: '%1' is not a port 0-65535").arg(parser.value(portOption)));
  options.port = static_cast<quint16>(port);
  const uint conversionMs = parser.value(conversionOption).toUInt(&ok);
  if (!ok || conversionMs > 60'000)
    return usageError(QStringLiteral("--conversion-ms: '%1' is not a delay 0-60000")
                          .arg(parser.value(conversionOption)));
  options.conversionTime = std::chrono::milliseconds(conversionMs);
  options.seed = parser.value(seedOption).toUInt(&ok);
  if (!ok)
    return usageError(QStringLiteral("--seed: '%1' is not a number").arg(parser.value(seedOption)));
  options.twoWrites = parser.isSet(twoWritesOption);
  options.requestLogCapacity = 0;  // nobody reads the in-process log here
  if (parser.isSet(logOption)) {
    options.onRequest = [](const QByteArray& line) {
      std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    };
  }

  if (parser.isSet(siteOption)) {
    const bw::LoadedSite reading = bw::loadSite(bw::SiteLookup{parser.value(siteOption)});
    if (!reading.site) {
      for (const QString& line : reading.errors) printLine(stderr, line);
      return kUsageError;
    }
    options.romCodes = {};
    for (const bw::SiteSensor& sensor : reading.site->sensors)
      options.romCodes[static_cast<std::size_t>(sensor.slot - 1)] = sensor.rom.toLatin1();
    options.othersWithoutTemperature = true;
  }

  QList<bw::sim::FaultAssignment> faults;
  for (const QString& text : parser.values(faultOption)) {
    QString error;
    const std::optional<bw::sim::FaultAssignment> fault =
        bw::sim::parseFaultAssignment(text, &error, options.romCodes);
    if (!fault) return usageError(QStringLiteral("--fault: ") + error);
    faults.append(*fault);
  }

  // SIGTERM and SIGINT end the event loop, so the server closes its sockets.
  bw::TerminationNotifier termination;
  if (!termination.listening()) {
    printLine(stderr, QStringLiteral("brinewatch-adapter-sim: cannot set up signal handling"));
    return kRuntimeError;
  }
  QObject::connect(&termination, &bw::TerminationNotifier::terminationRequested, &app,
                   &QCoreApplication::quit);

  bw::sim::AdapterSimulator simulator(options);
  for (const bw::sim::FaultAssignment& fault : faults) simulator.setFault(fault.slot, fault.fault);
  QString error;
  if (!simulator.start(&error)) {
    printLine(stderr, QStringLiteral("brinewatch-adapter-sim: ") + error);
    return kRuntimeError;
  }
  // host() maps a wildcard to loopback; the line shows what was really bound.
  QString where = simulator.host();
  if (options.address == QHostAddress::Any || options.address == QHostAddress::AnyIPv4 ||
      options.address == QHostAddress::AnyIPv6)
    where = parser.value(listenOption) + QLatin1Char(':') + QString::number(simulator.port());
  printLine(stdout, QStringLiteral("brinewatch-adapter-sim: listening on ") + where);
  return app.exec();
}
