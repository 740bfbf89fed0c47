#include "daemon/LoggerService.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include "acquisition/Acquisition.h"
#include "daemon/PortHolder.h"
#include "metrics/MetricsEndpoint.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/TerminationNotifier.h"
#include "site/LoadSite.h"

namespace bw {

namespace {

// Why listening on `address` failed, and so whether the unit should try
// again: a port taken by another program may pass, when it ends; one taken
// by another brinewatchd is two site files that give one port, and an
// address that is not one of this host's, or a port the logger may not take,
// stays so until a site file changes. Tried once more to learn the system's
// reason.
std::pair<LoggerExit, QString> listenFailure(const ListenAddress& address) {
  const QHostAddress where(address.host);
  const quint16 port = address.port;
  {
    QTcpServer probe;
    if (!probe.listen(where, port) && probe.serverError() != QAbstractSocket::AddressInUseError)
      return {LoggerExit::kMetricsUnusable, {}};
  }
  const std::optional<PortHolder> holder = findPortHolder(address.host, port);
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

}  // namespace

QString logPath(const QString& log) {
  const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
  return QDir::cleanPath(QDir(state.isEmpty() ? QDir::currentPath() : state).absoluteFilePath(log));
}

int runLogger(const Site& site, const QString& name, LoggerServices services) {
  const QString path = logPath(site.log);
  Site logged = site;
  logged.log = path;
  JournalDisplay display(logged, services.service, services.print);
  Acquisition acquisition(logged, std::move(services.http), services.clock, services.pace, display);
  LogFile& log = acquisition.log();
  PollingLoop& loop = acquisition.loop();
  WebBrowser& browser = acquisition.browser();
  if (const auto reason = log.open(path)) {
    services.print(JournalDisplay::kError,
                   siteError(site, site.lines.log,
                             QStringLiteral("the log %1 cannot be opened: %2").arg(path, *reason)));
    return status(LoggerExit::kLogUnusable);
  }
  loop.setSensorCount(site.sensorCount());

  MetricsEndpoint metrics(site, QStringLiteral("brinewatchd"), services.clock, log, loop);
  const ListenAddress address =
      site.metrics ? *site.metrics
                   : *parseListenAddress(QString::fromLatin1(kDefaultMetricsAddress));
  metrics.metrics().setSiteName(name);
  if (const auto reason = metrics.listen(address)) {
    const auto [exit, taken] = listenFailure(address);
    const QString why = taken.isEmpty() ? QStringLiteral("the metrics: %1").arg(*reason)
                                        : QStringLiteral("the metrics: %1: %2").arg(*reason, taken);
    services.print(JournalDisplay::kError, siteError(site, site.lines.metrics, why));
    return status(exit);
  }
  const QString served = address.withPort(metrics.port());

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
          .arg(path, served,
               name.isEmpty() ? QString() : QStringLiteral(" as site \"%1\"").arg(name)));
  QTimer::singleShot(0, &loop, [&] {
    acquisition.run();
    QCoreApplication::exit(0);
  });
  QCoreApplication::exec();
  log.close();
  services.service.stopping();
  services.print(JournalDisplay::kInfo, QStringLiteral("stopped; the log is closed"));
  return status(LoggerExit::kStopped);
}

}  // namespace bw
