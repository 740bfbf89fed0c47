#pragma once

// The real main window for the benchmarks: real HTTP client, real clock and
// page view, and the tests' silent stand-ins for the boxes and dialogs,
// which nobody is there to answer. Pacing runs on the tests' instant steady
// clock, so that queries follow as fast as the simulator answers: 100,000
// of them would take 21 hours at the conversion time.

#include <QString>
#include <memory>

#include "Fakes.h"
#include "acquisition/ui/FrmMain.h"
#include "platform/Clock.h"
#include "platform/web/CurlHttpClient.h"

namespace bw::bench {

struct BenchWindow {
  explicit BenchWindow(const QString& adapterHost)
      : acquisition(builtInSite(adapterHost), std::make_unique<CurlHttpClient>(), clock, s.pace,
                    noDisplay()),
        form(std::make_unique<FrmMain>(
            acquisition, FrmMainServices{clock, s.messages, s.dialog, s.settings, s.help, s.sysInfo,
                                         QString()})) {}

  SystemClock clock;
  test::FakeServices s;
  Acquisition acquisition;
  std::unique_ptr<FrmMain> form;
};

}  // namespace bw::bench
