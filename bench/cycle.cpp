// Polling cycle time against the simulated adapter with a 750 ms conversion,
// twelve sensors, over real HTTP: once with the whole answer in one write
// and once with the headers and the body in two writes, as many small HTTP
// servers answer. Prints each cycle and the ratio of the cycle to the
// sensors' conversion time (1.00 would be no overhead at all).
//
//   bench_cycle [--cycles N] [--conversion-ms N]

#include "AcquisitionFakes.h"
#include "AdapterSimulator.h"
#include "BenchOptions.h"
#include "BenchSupport.h"
#include "acquisition/PollingLoop.h"
#include "acquisition/SensorTable.h"
#include "platform/SteadyClock.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/WebBrowser.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSensors = 12;

struct Options {
  int cycles = 4;
  int conversionMs = 750;
};

// Median cycle in ms over `cycles` cycles after one to warm up.
double medianCycleMs(bool twoWrites, const Options& options) {
  bw::sim::AdapterSimulator::Options simOptions;
  simOptions.conversionTime = std::chrono::milliseconds(options.conversionMs);
  simOptions.twoWrites = twoWrites;
  bw::sim::AdapterSimulator adapter(simOptions);
  if (!adapter.start()) return -1;
  bw::WebBrowser browser(std::make_unique<bw::CurlHttpClient>());
  bw::test::RecordingDisplay display;
  bw::test::RecordingLog log;
  log.on = false;
  bw::SystemSteadyClock pace;
  bw::PollingLoop loop(browser, display, log, pace);
  loop.setSensorCount(kSensors);
  std::vector<double> cycles;
  QElapsedTimer clock;
  clock.start();
  int ended = 0;
  QObject::connect(&loop, &bw::PollingLoop::cycleEnded, &loop, [&] {
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    if (ended++ > 0) {
      cycles.push_back(ms);
      std::printf("  %s cycle %zu: %.1f ms\n", twoWrites ? "two writes" : "one write ",
                  cycles.size(), ms);
      std::fflush(stdout);
    }
    if (static_cast<int>(cycles.size()) >= options.cycles) loop.stop();
  });
  loop.run(bw::sensorUrls(bw::builtInSite(adapter.host())));
  return bw::bench::median(cycles);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bw::CommandLine line = bw::bench::numberOptions(
      {{"cycles", "cycles measured"}, {"conversion-ms", "the simulator's conversion time"}});
  line.parse(argc, argv);
  options.cycles = bw::bench::number(line, "cycles", 1, INT_MAX, options.cycles);
  options.conversionMs = bw::bench::number(line, "conversion-ms", 1, 60'000, options.conversionMs);
  if (!line.ok()) return bw::bench::usageError(line, "bench_cycle");
  QCoreApplication app(argc, argv);
  const double conversion = static_cast<double>(kSensors * options.conversionMs);
  std::printf("%d sensors at %d ms conversion: %.0f ms of conversion per cycle\n", kSensors,
              options.conversionMs, conversion);
  const double one = medianCycleMs(false, options);
  const double two = medianCycleMs(true, options);
  std::printf("%-12s %12s %8s\n", "server", "cycle ms", "ratio");
  std::printf("%-12s %12.1f %8.4f\n", "one write", one, one / conversion);
  std::printf("%-12s %12.1f %8.4f\n", "two writes", two, two / conversion);
  std::printf("summary: cycle one_write_ratio=%.4f two_writes_ratio=%.4f (target <= 1.01)\n",
              one / conversion, two / conversion);
  return 0;
}
