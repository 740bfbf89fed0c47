#pragma once

#include <memory>

#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/LogFile.h"
#include "acquisition/PollingLoop.h"
#include "platform/ProcessSignals.h"
#include "platform/web/HttpClient.h"
#include "platform/web/WebBrowser.h"
#include "site/Site.h"

namespace bw {

class Clock;
class SteadyClock;

// What both loggers poll and log with, made once by each program: the
// browser over its HTTP client, the log, and the polling loop that reads the
// site's sensors through the one into the other and shows what it does on a
// display.
class Acquisition {
 public:
  Acquisition(Site site, std::unique_ptr<HttpClient> http, const Clock& clock, SteadyClock& pace,
              AcquisitionDisplay& display, LogCalls& logCalls = systemLogCalls())
      : site_(std::move(site)),
        browser_(std::move(http)),
        log_(clock, logCalls),
        loop_(browser_, display, log_, pace) {
    // A log on a pipe whose reader has gone fails its record, not the program.
    ignoreBrokenPipes();
  }
  Acquisition(const Acquisition&) = delete;
  Acquisition& operator=(const Acquisition&) = delete;

  // Polls the site's sensors until the loop is stopped.
  void run() { loop_.run(sensorUrls(site_)); }
  // What the loop shows from now on; a window made after the acquisition
  // takes it over.
  void showOn(AcquisitionDisplay& display) { loop_.setDisplay(display); }

  const Site& site() const { return site_; }
  WebBrowser& browser() { return browser_; }
  LogFile& log() { return log_; }
  PollingLoop& loop() { return loop_; }

 private:
  const Site site_;
  WebBrowser browser_;
  LogFile log_;
  PollingLoop loop_;
};

}  // namespace bw
