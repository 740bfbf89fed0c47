// Polls the adapter at argv[1] ("host:port") and logs every cycle to argv[2],
// printing "record N" once record N is on the disk. The durability test kills
// it with SIGKILL at an arbitrary moment. Pacing runs on the tests' instant
// steady clock, so records follow as fast as the simulator answers.
#include <QCoreApplication>
#include <cstdio>

#include "Fakes.h"
#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/LogFile.h"
#include "acquisition/PollingLoop.h"
#include "platform/Clock.h"
#include "platform/ProcessSignals.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/WebBrowser.h"

namespace {

struct PrintingDisplay final : bw::AcquisitionDisplay {
  void showAddress(const QString&) override {}
  void showWindow() override {}
  void showReading(int, float) override {}
  void showRecordNumber(int number) override {
    std::printf("record %d\n", number);
    std::fflush(stdout);
  }
  void showLoggingFailure(const QString& reason) override {
    std::printf("failed %s\n", qPrintable(reason));
    std::fflush(stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  bw::ignoreBrokenPipes();
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  bw::SystemClock clock;
  bw::LogFile log(clock);
  if (log.open(QString::fromLocal8Bit(argv[2]))) return 3;
  bw::WebBrowser browser(std::make_unique<bw::CurlHttpClient>());
  PrintingDisplay display;
  bw::test::InstantSteadyClock pace;
  bw::PollingLoop loop(browser, display, log, pace);
  loop.setSensorCount(bw::PollingLoop::kSixteenSensors);
  loop.run(bw::sensorUrls(QString::fromLatin1(argv[1])));
  return 0;
}
