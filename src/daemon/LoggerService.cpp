#include "daemon/LoggerService.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>
#include <cstdio>

#include "acquisition/LogFile.h"
#include "acquisition/PollingLoop.h"
#include "acquisition/SensorTable.h"
#include "daemon/PortHolder.h"
#include "metrics/MetricsEndpoint.h"
#include "platform/Clock.h"
#include "platform/ProcessSignals.h"
#include "platform/ServiceManager.h"
#include "platform/SteadyClock.h"
#include "platform/TerminationNotifier.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/WebBrowser.h"
#include "site/SiteCommandLine.h"
#include "site/SiteFile.h"
#include "site/SiteLookup.h"
#include "site/SiteTable.h"
#include "site/SiteTargets.h"

namespace bw {

namespace {

int status(LoggerExit exit) {
  return static_cast<int>(exit);
}

// A relative log path is kept in the service's state folder when systemd
// gives one, else taken from the working folder; said as an absolute one.
QString logPath(const QString& log) {
  const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
  return QDir::cleanPath(QDir(state.isEmpty() ? QDir::currentPath() : state).absoluteFilePath(log));
}

// Why listening on `address` failed, and so whether the unit should try
// again: a port taken by another program may pass, when it ends; one taken
// by another brinewatchd is two site files that give one port, and an
// address that is not one of this host's, or a port the logger may not take,
// stays so until a site file changes. Tried once more to learn the system's
// reason.
std::pair<LoggerExit, QString> listenFailure(const QString& address) {
  const qsizetype colon = address.lastIndexOf(u':');
  const QString given = address.left(colon);
  QString host = given;
  if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
  const QHostAddress where = host.isEmpty() || host == u"localhost"
                                 ? QHostAddress(QHostAddress::LocalHost)
                                 : QHostAddress(host);
  if (where.isNull()) return {LoggerExit::kMetricsUnusable, {}};
  const auto port = static_cast<quint16>(address.mid(colon + 1).toUInt());
  {
    QTcpServer probe;
    if (!probe.listen(where, port) && probe.serverError() != QAbstractSocket::AddressInUseError)
      return {LoggerExit::kMetricsUnusable, {}};
  }
  const std::optional<PortHolder> holder = findPortHolder(given, port);
  if (!holder) return {LoggerExit::kFailed, {}};
  const QString taken = QStringLiteral("port %1 is taken by %2").arg(port).arg(holder->who);
  if (!holder->logger) return {LoggerExit::kFailed, taken};
  return {LoggerExit::kMetricsUnusable,
          taken + QStringLiteral(": another logger serves its metrics there; give each site file "
                                 "a port of its own")};
}

// SIGHUP: the log is closed and opened again now, as a rotation asks. A path
// that cannot be opened leaves the log as it was: it follows its path by
// itself at the next record, and says why it cannot. False when the log was
// closed and could not be opened again (the path went away in between).
bool reopenLog(LogFile& log, const QString& path, const Clock& clock,
               const JournalDisplay::Print& print) {
  LogFile probe(clock);
  std::optional<QString> reason = probe.open(path);
  if (!reason) {
    probe.close();
    log.close();
    reason = log.open(path);
    if (!reason) {
      print(JournalDisplay::kInfo, QStringLiteral("SIGHUP: the log %1 is opened again").arg(path));
      return true;
    }
  }
  print(JournalDisplay::kError,
        QStringLiteral("SIGHUP: the log %1 cannot be opened again: %2; %3")
            .arg(path, *reason,
                 log.isOpen() ? QStringLiteral("the log is left as it was")
                              : QStringLiteral("it is tried again each cycle")));
  return log.isOpen();
}

QString usage() {
  return QStringLiteral(
             "Usage: brinewatchd [--site FILE] [--name NAME]\n"
             "       brinewatchd --check-site [FILE]\n"
             "       brinewatchd --help\n"
             "\n"
             "Polls the adapter and the sensors of a site file and logs one line per\n"
             "polling cycle to its log = \"PATH\", as brinewatch does, without a window;\n"
             "serves the metrics for Prometheus on its metrics = \"HOST:PORT\" (%1 by\n"
             "default). Ends on SIGTERM or SIGINT; SIGHUP opens the log again.\n"
             "\n"
             "  --site FILE          the site file; without it $XDG_CONFIG_HOME or\n"
             "                       ~/.config/brinewatch/site.toml, /etc/brinewatch/site.toml\n"
             "  --name NAME          the site's name, the label site=\"NAME\" on every metric;\n"
             "                       brinewatchd@NAME.service gives its instance name\n"
             "  --check-site [FILE]  print the sensors that would be polled and end; status 2\n"
             "                       when the file has errors\n"
             "  --help               this text\n"
             "\n"
             "Exit status: 0 ended on a signal; 1 the metrics port is taken by another\n"
             "program (it may pass: worth a restart); 2 a usage error, or a site file\n"
             "that cannot be used; 4 the log cannot be opened for writing, or another\n"
             "logger writes it; 6 the metrics address is not one of this host's, its port\n"
             "is not allowed, or another brinewatchd serves its metrics there. The unit\n"
             "restarts the logger on 1 only.\n")
      .arg(QString::fromLatin1(kDefaultMetricsAddress));
}

}  // namespace

int runLogger(const Site& site, const QString& name, LoggerServices services) {
  const QString path = logPath(site.log);
  LogFile log(services.clock);
  if (const auto reason = log.open(path)) {
    services.print(JournalDisplay::kError,
                   QStringLiteral("the log %1 cannot be opened: %2").arg(path, *reason));
    return status(LoggerExit::kLogUnusable);
  }
  Site logged = site;
  logged.log = path;
  WebBrowser browser(std::move(services.http));
  JournalDisplay display(logged, services.service, services.print);
  PollingLoop loop(browser, display, log, services.pace);
  loop.setSensorCount(site.sensorCount());

  MetricsEndpoint metrics(site, QStringLiteral("brinewatchd"), services.clock, log, loop);
  QString address =
      site.metrics.isEmpty() ? QString::fromLatin1(kDefaultMetricsAddress) : site.metrics;
  metrics.metrics().setSiteName(name);
  if (const auto reason = metrics.listen(address)) {
    const auto [exit, taken] = listenFailure(address);
    services.print(JournalDisplay::kError,
                   taken.isEmpty() ? QStringLiteral("the metrics: %1").arg(*reason)
                                   : QStringLiteral("the metrics: %1: %2").arg(*reason, taken));
    return status(exit);
  }
  address = address.left(address.lastIndexOf(u':') + 1) + QString::number(metrics.port());

  QObject::connect(&loop, &PollingLoop::queryEnded, &loop,
                   [&](int slot, ReadingOutcome outcome, float, double) {
                     display.queryEnded(slot, outcome, browser.noAnswerReason());
                     services.service.alive();
                   });
  QObject::connect(&services.termination, &TerminationNotifier::terminationRequested, &loop,
                   [&loop] { loop.stop(); });
  bool reopenPending = false;
  QObject::connect(&services.termination, &TerminationNotifier::reloadRequested, &loop,
                   [&] { reopenPending = !reopenLog(log, path, services.clock, services.print); });
  QObject::connect(&loop, &PollingLoop::cycleEnded, &loop, [&] {
    if (!reopenPending) return;
    if (const auto stillFails = log.open(path)) return;  // said once already
    reopenPending = false;
    services.print(JournalDisplay::kInfo, QStringLiteral("the log %1 is open again").arg(path));
  });
  services.print(
      JournalDisplay::kInfo,
      QStringLiteral("polling %1 sensors of %2 (%3 per line), logging to %4, metrics "
                     "on %5%6")
          .arg(site.sensors.size())
          .arg(site.adapter)
          .arg(site.sensorCount())
          .arg(path, address,
               name.isEmpty() ? QString() : QStringLiteral(" as site \"%1\"").arg(name)));
  QTimer::singleShot(0, &loop, [&] {
    loop.run(sensorUrls(site));
    QCoreApplication::exit(0);
  });
  QCoreApplication::exec();
  log.close();
  services.service.stopping();
  services.print(JournalDisplay::kInfo, QStringLiteral("stopped; the log is closed"));
  return status(LoggerExit::kStopped);
}

int runLoggerProgram(int argc, char** argv) {
  ignoreBrokenPipes();
  sendQtMessagesToJournal();
  // The words as given, before the application takes any of its own out.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const SiteCommandLine line = parseSiteCommandLine(arguments, true);
  QCoreApplication app(argc, argv);
  if (!line.error.isEmpty()) {
    printToJournal(JournalDisplay::kError, line.error);
    std::fputs((u'\n' + usage()).toLocal8Bit().constData(), stderr);
    return status(LoggerExit::kUsage);
  }
  if (line.help) {
    std::fputs(usage().toLocal8Bit().constData(), stdout);
    return status(LoggerExit::kStopped);
  }
  const QString file = SiteLookup::fromEnvironment(
                           line.check && !line.checkFile.isEmpty() ? line.checkFile : line.siteFile)
                           .find();
  if (file.isEmpty()) {
    printToJournal(JournalDisplay::kError,
                   QStringLiteral("no site file: brinewatchd polls the sensors of one, and logs "
                                  "to its log = \"PATH\" (--site FILE, or "
                                  "/etc/brinewatch/site.toml)"));
    return status(LoggerExit::kUsage);
  }
  SiteReading reading = readSiteFile(file);
  if (reading.site && reading.site->log.isEmpty())
    reading = {std::nullopt,
               {QStringLiteral("%1: no log = \"PATH\": brinewatchd needs a file to "
                               "log to")
                    .arg(file)}};
  if (!reading.site) {
    for (const QString& error : reading.errors) printToJournal(JournalDisplay::kError, error);
    return status(LoggerExit::kUsage);
  }
  if (line.check) {
    // The log as the service would open it.
    Site checked = *reading.site;
    checked.log = logPath(checked.log);
    std::fputs(siteTable(checked).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    const QStringList errors = checkSiteTargets(checked);
    for (const QString& error : errors) printToJournal(JournalDisplay::kError, error);
    return status(errors.isEmpty() ? LoggerExit::kStopped : LoggerExit::kUsage);
  }
  SystemClock clock;
  SystemSteadyClock pace;
  SystemdServiceManager service;
  TerminationNotifier termination(TerminationNotifier::Hangup::kReloads);
  if (!termination.listening()) {
    printToJournal(JournalDisplay::kError,
                   QStringLiteral("cannot take SIGTERM, SIGINT and SIGHUP"));
    return status(LoggerExit::kFailed);
  }
  return runLogger(*reading.site, line.name,
                   LoggerServices{std::make_unique<CurlHttpClient>(), clock, pace, service,
                                  termination, printToJournal});
}

}  // namespace bw
