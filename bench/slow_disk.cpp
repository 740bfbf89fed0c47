// The real main window logging to a disk on which every sync takes seconds
// (a slow stick, a network share): the longest time the window does not
// answer (the lateness of a 10 ms timer on its thread), the spacing of the
// queries against the 750 ms conversion time, and the records handed to the
// log, counted and in the file. The simulated adapter answers each query
// after its 750 ms conversion, as a real one does.
//
//   bench_slow_disk [--cycles N] [--sync-ms N]

#include "AdapterSimulator.h"
#include "BenchOptions.h"
#include "BenchSupport.h"
#include "Fakes.h"
#include "acquisition/ui/FrmMain.h"
#include "platform/Clock.h"
#include "platform/SteadyClock.h"
#include "platform/pageview/PageViewSetup.h"
#include "platform/web/CurlHttpClient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kTick{10};

struct Options {
  int cycles = 3;
  int syncMs = 4000;
};

// Every sync takes `delay` before it goes to the disk.
class SlowSync final : public bw::LogCalls {
 public:
  explicit SlowSync(std::chrono::milliseconds delay) : delay_(delay) {}
  int sync(int fd) override {
    std::this_thread::sleep_for(delay_);
    return LogCalls::sync(fd);
  }

 private:
  std::chrono::milliseconds delay_;
};

double percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
  return values[index];
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bw::CommandLine line = bw::bench::numberOptions(
      {{"cycles", "polling cycles measured"}, {"sync-ms", "how long each sync takes"}});
  line.parse(argc, argv);
  options.cycles = bw::bench::number(line, "cycles", 1, INT_MAX, options.cycles);
  options.syncMs = bw::bench::number(line, "sync-ms", 0, INT_MAX, options.syncMs);
  if (!line.ok()) return bw::bench::usageError(line, "bench_slow_disk");
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  bw::sim::AdapterSimulator::Options simOptions;
  simOptions.conversionTime = 750ms;
  bw::sim::AdapterSimulator adapter(simOptions);
  if (!adapter.start()) return 1;
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("slow.log"));

  bw::SystemClock clock;
  bw::SystemSteadyClock pace;
  bw::test::FakeServices s;
  SlowSync calls(std::chrono::milliseconds(options.syncMs));
  s.dialog.answers = {log};
  bw::Acquisition acquisition(bw::builtInSite(adapter.host()),
                              std::make_unique<bw::CurlHttpClient>(), clock, pace, bw::noDisplay(),
                              calls);
  bw::FrmMain form(acquisition, bw::FrmMainServices{clock, s.messages, s.dialog, s.settings, s.help,
                                                    s.sysInfo, QString()});

  // The window's answer time: how late a 10 ms timer on its thread comes.
  std::vector<double> lateMs;
  double longestAt = 0;
  QElapsedTimer run;
  QElapsedTimer sinceTick;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, &form, [&] {
    if (sinceTick.isValid()) {
      const double late =
          static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - static_cast<double>(kTick.count());
      if (lateMs.empty() || late > *std::max_element(lateMs.begin(), lateMs.end()))
        longestAt = static_cast<double>(run.nsecsElapsed()) / 1e9;
      lateMs.push_back(late);
    }
    sinceTick.restart();
  });

  std::vector<double> beganMs;
  bool started = false;
  QObject::connect(
      &form.pollingLoop(), &bw::PollingLoop::queryEnded, &form,
      [&](int, bw::ReadingOutcome, float, double seconds) {
        beganMs.push_back(static_cast<double>(run.nsecsElapsed()) / 1e6 - seconds * 1000);
        if (started) return;
        started = true;
        form.btnFileWrite_Click();
        ticker.start(kTick);
      });
  int handed = 0;
  int written = 0;
  int failed = 0;
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::cycleEnded, &form, [&] {
    ++handed;
    std::printf("  cycle %d ended at %.1f s, %d records counted\n", handed,
                static_cast<double>(run.nsecsElapsed()) / 1e9, written);
    std::fflush(stdout);
    if (handed == options.cycles) form.endProgram();
  });
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::recordLogged, &form,
                   [&](bool ok) { ++(ok ? written : failed); });

  std::printf("12 sensors at 750 ms, each sync of the log taking %d ms, %d cycles\n",
              options.syncMs, options.cycles);
  run.start();
  QTimer::singleShot(0, &form, [&] {
    form.Form_Load();
    QCoreApplication::exit(0);
  });
  QApplication::exec();
  const double closed = static_cast<double>(run.nsecsElapsed()) / 1e9;

  std::vector<double> apart;
  for (std::size_t i = 1; i < beganMs.size(); ++i) apart.push_back(beganMs[i] - beganMs[i - 1]);
  QFile file(log);
  const int lines =
      file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : -1;
  const double longest = lateMs.empty() ? 0 : *std::max_element(lateMs.begin(), lateMs.end());
  std::printf("window: %zu ticks, longest %.1f ms late (at %.1f s), 99th percentile %.1f ms\n",
              lateMs.size(), longest, longestAt, percentile(lateMs, 0.99));
  std::printf("queries: %zu, apart median %.0f ms, longest %.0f ms (conversion 750 ms)\n",
              beganMs.size(), bw::bench::median(apart),
              apart.empty() ? 0.0 : *std::max_element(apart.begin(), apart.end()));
  std::printf("records: %d handed, %d counted, %d failed, %d lines in the file; ended at %.1f s\n",
              handed, written, failed, lines, closed);
  bw::bench::printSummary("slow disk: longest window pause", longest, "ms", 100, "< 100 ms");
  return 0;
}
