// Resident memory of the real main window, page view included, while it
// polls the in-process simulator at 0 ms conversion: VmRSS after 1,000
// queries (the address history is full by then) and at points up to the
// last, with the heap in use beside it, which tells a leak (both grow) from
// a heap that only keeps its freed pages (RSS grows, heap in use does not).
// The browser engine's helper processes are shown apart; they are not part
// of VmRSS.
//
//   bench_memory [--queries N] [--time-limit-s N]

#include "AdapterSimulator.h"
#include "BenchOptions.h"
#include "BenchSupport.h"
#include "BenchWindow.h"
#include "platform/pageview/PageViewSetup.h"
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include "platform/pageview/WebEnginePageView.h"
#endif

#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <malloc.h>

namespace {

using namespace std::chrono_literals;

constexpr int kBaselineQueries = 1000;
constexpr int kProgressEvery = 10'000;
// Past the time limit the loop is ended even if no query completes any more.
constexpr std::chrono::seconds kStallGrace{30};

struct Options {
  int queries = 100'000;
  std::chrono::seconds timeLimit{900};
};

struct Point {
  int queries = 0;
  double seconds = 0;
  qint64 rssKiB = 0;
  qint64 heapKiB = 0;
  qint64 helpersKiB = 0;
};

qint64 heapInUseKiB() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<qint64>((info.uordblks + info.hblkhd) / 1024);
}

std::vector<int> checkpoints(int last) {
  std::vector<int> points;
  for (int p : {kBaselineQueries, 2'000, 5'000, 10'000, 20'000, 50'000, 100'000})
    if (p < last) points.push_back(p);
  points.push_back(last);
  return points;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bw::CommandLine line = bw::bench::numberOptions(
      {{"queries", "queries in all, at least the baseline's"}, {"time-limit-s", "seconds in all"}});
  line.parse(argc, argv);
  options.queries = bw::bench::number(line, "queries", kBaselineQueries, INT_MAX, options.queries);
  options.timeLimit = bw::bench::duration(line, "time-limit-s", 1, options.timeLimit);
  if (!line.ok()) return bw::bench::usageError(line, "bench_memory");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  // The end sequence keeps the window placement; not in the user's settings.
  QStandardPaths::setTestModeEnabled(true);

  bw::sim::AdapterSimulator::Options simOptions;
  simOptions.requestLogCapacity = 0;  // its log would grow this very process
  bw::sim::AdapterSimulator sim(simOptions);
  QString error;
  if (!sim.start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
    return 1;
  }

  bw::bench::BenchWindow window(sim.host());
  bw::FrmMain& form = *window.form;
  const std::vector<int> points = checkpoints(options.queries);
  std::vector<Point> measured;
  size_t next = 0;
  int polled = 0;
  bool overTime = false;
  bw::bench::Stopwatch clock;

  std::printf(
      "resident memory of the main window polling at 0 ms, platform %s, up to %d queries "
      "or %lld s\n",
      qPrintable(bw::bench::platformName()), options.queries,
      static_cast<long long>(options.timeLimit.count()));
  std::fflush(stdout);
  QObject::connect(&form.pollingLoop(), &bw::PollingLoop::slotPolled, &form, [&] {
    ++polled;
    if (next < points.size() && polled == points[next]) {
      measured.push_back({polled, clock.seconds(), bw::bench::selfRssKiB(), heapInUseKiB(),
                          bw::bench::descendantsRssKiB()});
      ++next;
    }
    if (polled % kProgressEvery == 0) {
      std::printf("  %d queries, %.0f s, VmRSS %lld KiB\n", polled, clock.seconds(),
                  static_cast<long long>(bw::bench::selfRssKiB()));
      std::fflush(stdout);
    }
    if (next == points.size()) {
      form.endProgram();
    } else if (polled % 100 == 0 && clock.elapsed() > options.timeLimit) {
      overTime = true;
      measured.push_back({polled, clock.seconds(), bw::bench::selfRssKiB(), heapInUseKiB(),
                          bw::bench::descendantsRssKiB()});
      form.endProgram();
    }
  });
  QTimer stall;
  stall.setSingleShot(true);
  QObject::connect(&stall, &QTimer::timeout, &form, [&] {
    overTime = true;
    form.endProgram();
  });
  stall.start(options.timeLimit + kStallGrace);
  form.Form_Load();

  std::printf("%9s %9s %12s %14s %16s\n", "queries", "seconds", "VmRSS KiB", "heap in use KiB",
              "engine procs KiB");
  for (const Point& p : measured)
    std::printf("%9d %9.1f %12lld %14lld %16lld\n", p.queries, p.seconds,
                static_cast<long long>(p.rssKiB), static_cast<long long>(p.heapKiB),
                static_cast<long long>(p.helpersKiB));
  std::printf("address history entries: %d, simulator requests: %d, message boxes: %d\n",
              form.cboAddress->count(), sim.requestCount(),
              static_cast<int>(window.s.messages.texts.size()));
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  if (auto* engine = dynamic_cast<bw::WebEnginePageView*>(form.brwWebBrowser)) {
    const auto& c = engine->counts();
    std::printf("page view: loads %d, patches %d, unchanged %d, superseded %d, refused %d\n",
                c.loads, c.patches, c.unchanged, c.superseded, c.refusedPatches);
  }
#endif
  if (overTime) std::printf("stopped at the time limit after %d queries\n", polled);
  if (measured.size() >= 2) {
    const Point& first = measured.front();
    const Point& last = measured.back();
    const double growthMiB = static_cast<double>(last.rssKiB - first.rssKiB) / 1024.0;
    std::printf(
        "VmRSS from %d to %d queries: %+.2f MiB (heap in use %+.2f MiB, engine "
        "processes %+.2f MiB)\n",
        first.queries, last.queries, growthMiB,
        static_cast<double>(last.heapKiB - first.heapKiB) / 1024.0,
        static_cast<double>(last.helpersKiB - first.helpersKiB) / 1024.0);
    const std::string what =
        "VmRSS growth over polling, " + bw::bench::platformName().toStdString();
    bw::bench::printSummary(what.c_str(), growthMiB, "MiB", 2.0, "< 2 MiB");
  }
  std::fflush(stdout);
  return 0;
}
