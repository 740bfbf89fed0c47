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

// Exit statuses of brinewatchd.
enum class LoggerExit : int { kStopped = 0, kFailed = 1, kUsage = 2 };

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
// closed. A log that cannot be opened or metrics that cannot be served end
// it at the start with kFailed.
int runLogger(const Site& site, LoggerServices services);

// The whole of brinewatchd: the command line, the site file, the services,
// then runLogger.
int runLoggerProgram(int argc, char** argv);

}  // namespace bw
