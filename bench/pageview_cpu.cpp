// CPU use of the visible page view while answers arrive every 750 ms, as a
// percentage of one core, for the whole process tree: the browser engine
// renders in child processes, and getrusage(RUSAGE_CHILDREN) counts only
// children that have ended, so /proc is summed instead.
//
//   bench_pageview_cpu [--seconds N] [--warmup N] [--period-ms N] [--variant NAME]
//
// Without --variant every variant runs in a process of its own, one after
// the other, so that one's renderer cannot weigh on the next.

#include "platform/pageview/PageViewSetup.h"
#include "platform/pageview/PlainPageView.h"
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include "platform/pageview/WebEnginePageView.h"
#endif

#include "BenchOptions.h"
#include "SamplePage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;

struct Options {
  std::chrono::seconds measured{60};
  std::chrono::seconds warmup{5};
  std::chrono::milliseconds period{750};
  std::string variant;
};

const char* const kVariants[] = {"none", "plain", "engine-reload", "engine-cheap"};

constexpr int kViewWidth = 777;
constexpr int kViewHeight = 305;

// CPU seconds used so far by this process and all its descendants.
double treeCpuSeconds() {
  std::map<long, long> parentOf;
  std::map<long, double> cpuOf;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (const QString& entry : entries) {
    bool isPid = false;
    const long pid = entry.toLong(&isPid);
    if (!isPid) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray line = stat.readAll();
    // The command name is in parentheses and may hold blanks.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0) continue;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // After the name: state(0) ppid(1) ... utime(11) stime(12).
    if (fields.size() < 13) continue;
    parentOf[pid] = fields[1].toLong();
    cpuOf[pid] = (fields[11].toDouble() + fields[12].toDouble()) / tick;
  }
  const long self = static_cast<long>(getpid());
  double total = 0;
  for (const auto& [pid, cpu] : cpuOf) {
    for (long p = pid; p > 0;) {
      if (p == self) {
        total += cpu;
        break;
      }
      const auto up = parentOf.find(p);
      if (up == parentOf.end()) break;
      p = up->second;
    }
  }
  return total;
}

int runVariant(int argc, char** argv, const Options& options) {
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);

  QWidget window;
  window.setWindowTitle(
      QStringLiteral("bench_pageview_cpu: %1").arg(QString::fromStdString(options.variant)));
  window.resize(kViewWidth, kViewHeight);
  bw::PageView* view = nullptr;
  bw::PlainPageView* plain = nullptr;
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  bw::WebEnginePageView* engine = nullptr;
#endif
  if (options.variant == "plain") {
    view = plain = new bw::PlainPageView(&window);
  } else if (options.variant == "engine-reload" || options.variant == "engine-cheap") {
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
    view = engine =
        new bw::WebEnginePageView(&window, options.variant == "engine-cheap"
                                               ? bw::WebEnginePageView::Updates::Cheap
                                               : bw::WebEnginePageView::Updates::ReloadEveryPage);
#else
    std::printf("%-14s  not built (no browser engine)\n", options.variant.c_str());
    return 0;
#endif
  } else if (options.variant != "none") {
    std::fprintf(stderr, "unknown variant %s\n", options.variant.c_str());
    return 2;
  }
  if (view) view->setGeometry(0, 0, kViewWidth, kViewHeight);
  window.show();

  // Sixteen sensors in turn, each drifting in 1/16 degree steps.
  static const char* const kRoms[] = {
      "9C000000B4A89828", "06000000A4EC7428", "B900000027CA8F28", "E6000000B4E6AC28",
      "6E00000027CD1E28", "40000000B491CF28", "A1000000180B0528", "47000000A4F3AD28",
      "88000000B4A59328", "EC00000027A23328", "EE000000B4913B28", "A1000000A4D34C28",
      "84000000B4D33B28", "92000000A4F27928", "F9000000A4DF6628", "42000000B49D7028"};
  int query = 0;
  QRandomGenerator random(42);
  std::vector<int> sixteenths(16, 20 * 16);
  QTimer feed;
  feed.setInterval(options.period);
  QObject::connect(&feed, &QTimer::timeout, &app, [&] {
    const int slot = query % 16;
    sixteenths[slot] += static_cast<int>(random.bounded(3)) - 1;
    const QString rom = QString::fromLatin1(kRoms[slot]);
    const QByteArray page =
        bw::test::adapterPage(rom, sixteenths[slot] / 16.0, 1000 + query * 3 / 4);
    if (view)
      view->showPage(page, QStringLiteral("http://127.0.0.1:8080/1Wire/ReadDS18B20.html?"
                                          "DS18B20Request=%7b%1,12%7d")
                               .arg(rom));
    ++query;
  });
  feed.start();

  double cpuAtStart = 0;
  int queriesAtStart = 0;
  QElapsedTimer clock;
  QTimer::singleShot(options.warmup, &app, [&] {
    cpuAtStart = treeCpuSeconds();
    queriesAtStart = query;
    clock.start();
    QTimer::singleShot(options.measured, &app, &QCoreApplication::quit);
  });
  app.exec();

  const double cpu = treeCpuSeconds() - cpuAtStart;
  const double wall = static_cast<double>(clock.elapsed()) / 1000.0;
  std::printf("%-14s  %6.2f %%  (%.2f s CPU in %.1f s, %d pages)", options.variant.c_str(),
              100.0 * cpu / wall, cpu, wall, query - queriesAtStart);
  if (plain) std::printf("  redrawn %d", plain->renderCount());
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  if (engine) {
    const auto& c = engine->counts();
    std::printf("  loads %d, patches %d, unchanged %d, superseded %d, refused patches %d", c.loads,
                c.patches, c.unchanged, c.superseded, c.refusedPatches);
  }
#endif
  std::printf("\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bw::CommandLine line = bw::bench::numberOptions({{"seconds", "seconds measured"},
                                                   {"warmup", "seconds before the measuring"},
                                                   {"period-ms", "time between pages"}});
  line.add("variant", "none|plain|engine-reload|engine-cheap",
           "measure only this page view, in this process");
  line.parse(argc, argv);
  options.measured = bw::bench::duration(line, "seconds", 1, options.measured);
  options.warmup = bw::bench::duration(line, "warmup", 0, options.warmup);
  options.period = bw::bench::duration(line, "period-ms", 1, options.period);
  QStringList variants;
  for (const char* variant : kVariants) variants << QLatin1String(variant);
  options.variant = line.choice(QStringLiteral("variant"), variants, {}).toStdString();
  if (!line.ok()) return bw::bench::usageError(line, "bench_pageview_cpu");
  // Each variant's process measures what this one was asked for.
  QStringList passOn;
  for (const char* name : {"seconds", "warmup", "period-ms"})
    if (line.isSet(QLatin1String(name)))
      passOn << QStringLiteral("--") + QLatin1String(name) << line.value(QLatin1String(name));
  if (!options.variant.empty()) return runVariant(argc, argv, options);

  std::printf(
      "page view CPU, whole process tree, %% of one core; a page every %lld ms, "
      "%lld s measured after %lld s warm-up; platform %s\n",
      static_cast<long long>(options.period.count()),
      static_cast<long long>(options.measured.count()),
      static_cast<long long>(options.warmup.count()),
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "default"
                                                     : qgetenv("QT_QPA_PLATFORM").constData());
  std::fflush(stdout);
  const QString self = QString::fromLocal8Bit(argv[0]);
  for (const char* variant : kVariants) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    child.start(self, QStringList(passOn) << QStringLiteral("--variant") << QLatin1String(variant));
    const auto limit = options.warmup + options.measured + 60s;
    if (!child.waitForFinished(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(limit).count()))) {
      std::printf("%-14s  did not finish\n", variant);
      child.kill();
      child.waitForFinished();
    }
  }
  return 0;
}
