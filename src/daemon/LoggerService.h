#pragma once

#include <memory>

#include "daemon/JournalDisplay.h"
#include "platform/web/HttpClient.h"
#include "site/Site.h"

namespace bw {

class Clock;
class ServiceManager;
class SteadyClock;
class TerminationNotifier;

// Where the metrics are served when the site file says nothing.
inline constexpr char kDefaultMetricsAddress[] = "127.0.0.1:9816";

// Exit statuses of brinewatchd. A failure that may pass (the metrics port is
// taken by another program) is worth a restart; the others stay until the operator mends the
// site file or the log's folder, so the unit does not restart on them
// (RestartPreventExitStatus=2 4 6). Their numbers are the ones systemd names
// INVALIDARGUMENT, NOPERMISSION and NOTCONFIGURED.
enum class LoggerExit : int {
  kStopped = 0,
  kFailed = 1,           // passing: the metrics port is taken by another program
  kUsage = 2,            // a usage error, no site file, one with errors or without a log
  kLogUnusable = 4,      // the log cannot be opened for writing, or another logger holds it
  kMetricsUnusable = 6,  // the metrics address is not this host's, not allowed, or another
                         // brinewatchd's
};
inline int status(LoggerExit exit) {
  return static_cast<int>(exit);
}

// What the unattended logger works with; its start routine makes each one
// once, tests give their own.
struct LoggerServices {
  std::unique_ptr<HttpClient> http;
  const Clock& clock;
  SteadyClock& pace;
  ServiceManager& service;
  TerminationNotifier& termination;
  JournalDisplay::Print print;
};

// Polls `site` and logs as brinewatch does, one line per cycle to the site's
// log, serves the metrics, and ends on SIGTERM or SIGINT once the log is
// closed; SIGHUP (the notifier's reloadRequested) opens the log again. A log
// that cannot be opened or metrics that cannot be served end it at the start
// with the status that says which.
// `name`, when given, is the label site="NAME" on every series.
int runLogger(const Site& site, const QString& name, LoggerServices services);

// A relative log path is kept in the service's state folder when systemd
// gives one, else taken from the working folder; said as an absolute one.
QString logPath(const QString& log);

}  // namespace bw
