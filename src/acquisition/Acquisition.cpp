#include "acquisition/Acquisition.h"

#include "acquisition/AcquisitionDisplay.h"
#include "platform/ProcessSignals.h"

namespace bw {

Acquisition::Acquisition(Site site, std::unique_ptr<HttpClient> http, const Clock& clock,
                         SteadyClock& pace, AcquisitionDisplay& display, LogCalls& logCalls)
    : site_(std::move(site)),
      browser_(std::move(http)),
      log_(clock, logCalls),
      loop_(browser_, display, log_, pace) {
  // A log on a pipe whose reader has gone fails its record, not the program.
  ignoreBrokenPipes();
}

AcquisitionDisplay& noDisplay() {
  struct None final : AcquisitionDisplay {
    void showAddress(const QString&) override {}
    void showWindow() override {}
    void showReading(int, float) override {}
    void showRecordNumber(int) override {}
    void showLoggingFailure(const QString&) override {}
  };
  static None none;
  return none;
}

}  // namespace bw
