// Polls the adapter at argv[1] ("host:port") and logs every cycle to argv[2],
// printing "handed N" once N records have been handed to the log and
// "record N" once record N is on the disk. The durability test kills
// it with SIGKILL at an arbitrary moment. Pacing runs on the tests' instant
// steady clock, so records follow as fast as the simulator answers.
#include <QCoreApplication>
#include <cstdio>

#include "AcquisitionFakes.h"
#include "Fakes.h"
#include "acquisition/Acquisition.h"
#include "platform/Clock.h"
#include "platform/web/CurlHttpClient.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  bw::SystemClock clock;
  bw::test::RecordingDisplay display;
  display.onRecord = [](int number) {
    std::printf("record %d\n", number);
    std::fflush(stdout);
  };
  display.onFailure = [](const QString& reason) {
    std::printf("failed %s\n", qPrintable(reason));
    std::fflush(stdout);
  };
  bw::test::InstantSteadyClock pace;
  bw::Acquisition acquisition(bw::builtInSite(QString::fromLatin1(argv[1])),
                              std::make_unique<bw::CurlHttpClient>(), clock, pace, display);
  if (acquisition.log().open(QString::fromLocal8Bit(argv[2]))) return 3;
  bw::PollingLoop& loop = acquisition.loop();
  loop.setSensorCount(bw::kMaxReadings);
  int handed = 0;
  QObject::connect(&loop, &bw::PollingLoop::cycleEnded, &loop, [&handed] {
    std::printf("handed %d\n", ++handed);
    std::fflush(stdout);
  });
  acquisition.run();
  return 0;
}
