#include <QCoreApplication>
#include <cstdio>

#include "daemon/JournalDisplay.h"
#include "daemon/LoggerService.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/SteadyClock.h"
#include "platform/TerminationNotifier.h"
#include "platform/web/CurlHttpClient.h"
#include "site/LoadSite.h"
#include "site/SiteCommandLine.h"
#include "site/SiteTable.h"
#include "site/SiteTargets.h"

// brinewatchd's composition root: the command line, the site file, the
// system's services, then runLogger; each failure a journal line and a
// status.

namespace bw {

namespace {

// The options, declared once for reading and for the usage.
CommandLine commandLine() {
  CommandLine line;
  addSiteOptions(line,
                 QStringLiteral("the site file; without it $XDG_CONFIG_HOME or\n"
                                "~/.config/brinewatch/site.toml, /etc/brinewatch/site.toml"),
                 QStringLiteral("print the sensors that would be polled and end; status 2\n"
                                "when the file has errors"),
                 QStringLiteral("the site's name, the label site=\"NAME\" on every metric;\n"
                                "brinewatchd@NAME.service gives its instance name"));
  return line;
}

QString usage(const CommandLine& line) {
  return line.usage(
      QStringLiteral("Usage: brinewatchd [--site FILE] [--name NAME]\n"
                     "       brinewatchd --check-site [FILE]\n"
                     "       brinewatchd --help\n"),
      QStringLiteral("Polls the adapter and the sensors of a site file and logs one line per\n"
                     "polling cycle to its log = \"PATH\", as brinewatch does, without a window;\n"
                     "serves the metrics for Prometheus on its metrics = \"HOST:PORT\" (%1 by\n"
                     "default). Ends on SIGTERM or SIGINT; SIGHUP opens the log again.\n")
          .arg(QString::fromLatin1(kDefaultMetricsAddress)),
      QStringLiteral("Exit status: 0 ended on a signal; 1 the metrics port is taken by another\n"
                     "program (it may pass: worth a restart); 2 a usage error, or a site file\n"
                     "that cannot be used; 4 the log cannot be opened for writing, or another\n"
                     "logger writes it; 6 the metrics address is not one of this host's, its port\n"
                     "is not allowed, or another brinewatchd serves its metrics there. The unit\n"
                     "restarts the logger on 1 only.\n"));
}

}  // namespace

}  // namespace bw

int main(int argc, char** argv) {
  using namespace bw;
  sendQtMessagesToJournal();
  // The words as given, before the application takes any of its own out.
  CommandLine options = commandLine();
  options.parse(argc, argv);
  const SiteCommandLine line = readSiteOptions(options);
  QCoreApplication app(argc, argv);
  if (!line.error.isEmpty()) {
    printToJournal(JournalDisplay::kError, line.error);
    std::fputs((u'\n' + usage(options)).toLocal8Bit().constData(), stderr);
    return status(LoggerExit::kUsage);
  }
  if (line.help) {
    std::fputs(usage(options).toLocal8Bit().constData(), stdout);
    return status(LoggerExit::kStopped);
  }
  LoadedSite reading = loadSite(SiteLookup::fromEnvironment(
      line.check && !line.checkFile.isEmpty() ? line.checkFile : line.siteFile));
  const QString file = reading.file;
  if (file.isEmpty()) {
    printToJournal(JournalDisplay::kError,
                   QStringLiteral("no site file: brinewatchd polls the sensors of one, and logs "
                                  "to its log = \"PATH\" (--site FILE, or "
                                  "/etc/brinewatch/site.toml)"));
    return status(LoggerExit::kUsage);
  }
  if (reading.site && reading.site->log.isEmpty()) {
    reading.site.reset();
    reading.errors = {
        QStringLiteral("%1: no log = \"PATH\": brinewatchd needs a file to log to").arg(file)};
  }
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
