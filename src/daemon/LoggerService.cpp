#include "daemon/LoggerService.h"

#include <QCoreApplication>
#include <QDir>
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

namespace bw {

namespace {

int status(LoggerExit exit) {
  return static_cast<int>(exit);
}

// A relative log path is kept in the service's state folder when systemd
// gives one, else taken from the working folder.
QString logPath(const QString& log) {
  const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
  return QDir::isAbsolutePath(log) || state.isEmpty() ? log : QDir(state).filePath(log);
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
             "default). Ends on SIGTERM or SIGINT.\n"
             "\n"
             "  --site FILE          the site file; without it $XDG_CONFIG_HOME or\n"
             "                       ~/.config/brinewatch/site.toml, /etc/brinewatch/site.toml\n"
             "  --check-site [FILE]  print the sensors that would be polled and end; status 2\n"
             "                       when the file has errors\n"
             "  --help               this text\n"
             "\n"
             "Exit status: 0 ended on a signal, 1 the log or the metrics address cannot\n"
             "be used, 2 a usage error or a site file that cannot be used.\n")
      .arg(QString::fromLatin1(kDefaultMetricsAddress));
}

}  // namespace

int runLogger(const Site& site, LoggerServices services) {
  const QString path = logPath(site.log);
  LogFile log(services.clock);
  if (const auto reason = log.open(path)) {
    services.print(JournalDisplay::kError,
                   QStringLiteral("the log %1 cannot be opened: %2").arg(path, *reason));
    return status(LoggerExit::kFailed);
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
    return status(LoggerExit::kFailed);
  }
  address = address.left(address.lastIndexOf(u':') + 1) + QString::number(metrics.port());

  QObject::connect(&loop, &PollingLoop::queryEnded, &loop,
                   [&](int slot, ReadingOutcome outcome, float, double) {
                     display.queryEnded(slot, outcome, browser.noAnswerReason());
                     services.service.alive();
                   });
  QObject::connect(&services.termination, &TerminationNotifier::terminationRequested, &loop,
                   [&loop] { loop.stop(); });
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
  QCoreApplication app(argc, argv);
  const SiteCommandLine line = parseSiteCommandLine(app.arguments().mid(1));
  if (!line.error.isEmpty()) {
    printToJournal(JournalDisplay::kError,
                   QStringLiteral("%1; try brinewatchd --help").arg(line.error));
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
    std::fputs(siteTable(*reading.site).toLocal8Bit().constData(), stdout);
    return status(LoggerExit::kStopped);
  }
  SystemClock clock;
  SystemSteadyClock pace;
  SystemdServiceManager service;
  TerminationNotifier termination;
  if (!termination.listening()) {
    printToJournal(JournalDisplay::kError, QStringLiteral("cannot take SIGTERM and SIGINT"));
    return status(LoggerExit::kFailed);
  }
  return runLogger(*reading.site, LoggerServices{std::make_unique<CurlHttpClient>(), clock, pace,
                                                 service, termination, printToJournal});
}

}  // namespace bw
