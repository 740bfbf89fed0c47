// Stand-alone simulated 1-Wire adapter for manual runs and benchmarks.

#include "AdapterSimulator.h"
#include "Fault.h"
#include "platform/CommandLine.h"
#include "platform/TerminationNotifier.h"
#include "site/LoadSite.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <limits>

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

// The options, declared once for reading and for the usage.
bw::CommandLine commandLine() {
  bw::CommandLine line;
  line.add("listen", "ADDR", "Address to listen on (default 127.0.0.1).");
  line.add("port", "N", "TCP port, 0 for any free one (default 8080).");
  line.add("conversion-ms", "N", "Delay before each sensor answer in ms (default 750).");
  line.add("seed", "N", "Seed of the temperature model (default 1).");
  line.add(QStringLiteral("fault"), QStringLiteral("SLOT_OR_ROM=KIND"),
           QStringLiteral("Fault of one sensor, by slot 1-16 or ROM code; repeatable. KIND is "
                          "one of: ") +
               bw::sim::faultNames().join(QStringLiteral(", ")) + u'.')
      .repeatable = true;
  line.add("log-requests", "", "Print each request line to stdout.");
  line.add("two-writes", "",
           "Send each answer's headers and body in two writes, as many small HTTP servers do.");
  line.add("site", "FILE",
           "Answer exactly the sensors of this site file, by their slots; a query for any other "
           "ROM code gets a page without the temperature.");
  line.add("help", "", "Displays this help.").aliases =
      QStringList{QStringLiteral("-h"), QStringLiteral("--help-all")};
  return line;
}

QString usage(const bw::CommandLine& line) {
  return line.usage(
      QStringLiteral("Usage: brinewatch-adapter-sim [OPTION...]\n"),
      QStringLiteral("Simulated network 1-Wire adapter with 16 DS18B20 sensors. Answers\n"
                     "GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b<ROM>,12%7d with a page whose\n"
                     "element Temperature_0 carries the reading.\n"));
}

}  // namespace

int main(int argc, char** argv) {
  // Read before the application exists: it takes some options of its own
  // out of argv, which would pass them by unchecked.
  bw::CommandLine line = commandLine();
  line.parse(argc, argv);
  const auto usageError = [&line](const QString& message) {
    printLine(stderr, QStringLiteral("brinewatch-adapter-sim: %1\n").arg(message));
    std::fputs(usage(line).toLocal8Bit().constData(), stderr);
    return kUsageError;
  };
  if (!line.ok()) return usageError(line.error());
  if (line.isSet(QStringLiteral("help"))) {
    std::fputs(usage(line).toLocal8Bit().constData(), stdout);
    return 0;
  }
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("brinewatch-adapter-sim"));

  bw::sim::AdapterSimulator::Options options;
  const QString listen = line.isSet(QStringLiteral("listen")) ? line.value(QStringLiteral("listen"))
                                                              : QStringLiteral("127.0.0.1");
  options.address = QHostAddress(listen);
  if (options.address.isNull())
    return usageError(QStringLiteral("--listen: '%1' is not an IP address").arg(listen));
  options.port = static_cast<quint16>(line.integer(QStringLiteral("port"), 0, 65535, kDefaultPort));
  options.conversionTime = std::chrono::milliseconds(
      line.integer(QStringLiteral("conversion-ms"), 0, 60'000, kDefaultConversionTime.count()));
  options.seed = static_cast<quint32>(
      line.integer(QStringLiteral("seed"), 0, std::numeric_limits<quint32>::max(), 1));
  if (!line.ok()) return usageError(line.error());
  options.twoWrites = line.isSet(QStringLiteral("two-writes"));
  options.requestLogCapacity = 0;  // nobody reads the in-process log here
  if (line.isSet(QStringLiteral("log-requests"))) {
    options.onRequest = [](const QByteArray& request) {
      std::fwrite(request.constData(), 1, static_cast<size_t>(request.size()), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    };
  }

  if (line.isSet(QStringLiteral("site"))) {
    const bw::LoadedSite reading = bw::loadSite(bw::SiteLookup{line.value(QStringLiteral("site")), {}, {}});
    if (!reading.site) {
      for (const QString& error : reading.errors) printLine(stderr, error);
      return kUsageError;
    }
    options.romCodes = {};
    for (const bw::SiteSensor& sensor : reading.site->sensors)
      options.romCodes[static_cast<std::size_t>(sensor.slot - 1)] = sensor.rom.toLatin1();
    options.othersWithoutTemperature = true;
  }

  QList<bw::sim::FaultAssignment> faults;
  for (const QString& text : line.values(QStringLiteral("fault"))) {
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
    where = listen + QLatin1Char(':') + QString::number(simulator.port());
  printLine(stdout, QStringLiteral("brinewatch-adapter-sim: listening on ") + where);
  return app.exec();
}
