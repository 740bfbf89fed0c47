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

// Whether listening on `address` failed for a reason that may pass: the port
// is taken by another process, which may end. An address that is not one of
// this host's, or a port the logger may not take, stays so until the site
// file changes. Tried once more to learn the system's reason.
bool listenFailurePasses(const QString& address) {
  const qsizetype colon = address.lastIndexOf(u':');
  QString host = address.left(colon);
  if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
  const QHostAddress where = host.isEmpty() || host == u"localhost"
                                 ? QHostAddress(QHostAddress::LocalHost)
                                 : QHostAddress(host);
  if (where.isNull()) return false;
  QTcpServer probe;
  return probe.listen(where, static_cast<quint16>(address.mid(colon + 1).toUInt())) ||
         probe.serverError() == QAbstractSocket::AddressInUseError;
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
             "Usage: brinewatchd [--site FILE]\n"
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
             "  --check-site [FILE]  print the sensors that would be polled and end; status 2\n"
             "                       when the file has errors\n"
             "  --help               this text\n"
             "\n"
             "Exit status: 0 ended on a signal; 1 the metrics port is taken (it may\n"
             "pass: worth a restart); 2 a usage error, or a site file that cannot be\n"
             "used; 4 the log cannot be opened for writing; 6 the metrics address is not\n"
             "one of this host's, or its port is not allowed. The unit restarts the\n"
             "logger on 1 only.\n")
      .arg(QString::fromLatin1(kDefaultMetricsAddress));
}

}  // namespace

int runLogger(const Site& site, LoggerServices services) {
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
  if (const auto reason = metrics.listen(address)) {
    services.print(JournalDisplay::kError, QStringLiteral("the metrics: %1").arg(*reason));
    return status(listenFailurePasses(address) ? LoggerExit::kFailed
                                               : LoggerExit::kMetricsUnusable);
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
  services.print(JournalDisplay::kInfo,
                 QStringLiteral("polling %1 sensors of %2 (%3 per line), logging to %4, metrics "
                                "on %5")
                     .arg(site.sensors.size())
                     .arg(site.adapter)
                     .arg(site.sensorCount())
                     .arg(path, address));
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
  const SiteCommandLine line = parseSiteCommandLine(arguments);
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
  return runLogger(*reading.site, LoggerServices{std::make_unique<CurlHttpClient>(), clock, pace,
                                                 service, termination, printToJournal});
}

}  // namespace bw
