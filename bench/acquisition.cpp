// Queries per second and CPU per query of the acquisition path, the way the
// polling loop drives it: WebBrowser::navigate, a nested QEventLoop until
// documentComplete, readTemperature. The adapter answers at once.
//
// Three runs against the simulator:
//   in-process  the simulator on its own thread; the main thread's CPU
//               (RUSAGE_THREAD) is the acquisition path alone;
//   external    the simulator as a separate process; the whole process's
//               CPU (RUSAGE_SELF), any helper thread of curl included;
//   curl tool   `curl -s -o /dev/null URL` run again and again, CPU of the
//               reaped children (RUSAGE_CHILDREN), for comparison.
//
//   bench_acquisition [--queries N] [--curl-runs N] [--time-limit-s N]

#include "AdapterSimulator.h"
#include "BenchOptions.h"
#include "BenchSupport.h"
#include "acquisition/ReadTemperature.h"
#include "acquisition/SensorTable.h"
#include "platform/web/CurlHttpClient.h"
#include "platform/web/WebBrowser.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr int kWarmupQueries = 200;
constexpr int kPolledSlots = 12;  // the program's default sensor count
constexpr std::chrono::milliseconds kSimulatorStartTimeout{5000};

struct Options {
  int queries = 20'000;
  int curlRuns = 500;
  std::chrono::seconds timeLimit{120};  // per run; a run stops early past it
};

struct PathFigures {
  int queries = 0;
  int unread = 0;  // pages that gave no temperature
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

// Polls the sensor URLs of `host` in turn, as PollingLoop::pollSlot does.
PathFigures pollQueries(const QString& host, int queries, std::chrono::seconds limit,
                        double (*cpuNow)()) {
  bw::WebBrowser browser(std::make_unique<bw::CurlHttpClient>());
  const auto urls = bw::sensorUrls(bw::builtInSite(host));
  float working = 0.0f;
  auto query = [&](int i) {
    browser.navigate(urls[static_cast<size_t>(i % kPolledSlots)]);
    if (browser.readyState() != bw::WebBrowser::kReadyStateComplete) {
      QEventLoop wait;
      QObject::connect(&browser, &bw::WebBrowser::documentComplete, &wait, &QEventLoop::quit);
      wait.exec();
    }
    bw::readTemperature(browser.document(), working);
    return browser.document() != nullptr && browser.httpStatus() == 200;
  };
  for (int i = 0; i < kWarmupQueries; ++i) query(i);

  PathFigures figures;
  const double cpuAtStart = cpuNow();
  bw::bench::Stopwatch clock;
  for (int i = 0; i < queries; ++i) {
    if (!query(i)) ++figures.unread;
    ++figures.queries;
    if (i % 1000 == 999 && clock.elapsed() > limit) break;
  }
  figures.wallSeconds = clock.seconds();
  figures.cpuSeconds = cpuNow() - cpuAtStart;
  return figures;
}

void printPath(const char* name, const PathFigures& f) {
  std::printf("%-34s %7d queries  %8.0f q/s  %7.3f ms CPU/query  %d unread\n", name, f.queries,
              f.queries / f.wallSeconds, 1000.0 * f.cpuSeconds / f.queries, f.unread);
  std::fflush(stdout);
}

// The curl tool run `runs` times against `url`, each run waited for.
PathFigures curlLoop(const QString& curl, const QString& url, int runs,
                     std::chrono::seconds limit) {
  const std::string program = curl.toStdString();
  const std::string target = url.toStdString();
  std::string a0 = "curl", a1 = "-s", a2 = "-o", a3 = "/dev/null";
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), const_cast<char*>(target.c_str()),
                  nullptr};
  PathFigures figures;
  const double cpuAtStart = bw::bench::reapedChildrenCpuSeconds();
  bw::bench::Stopwatch clock;
  for (int i = 0; i < runs && clock.elapsed() < limit; ++i) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) break;
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++figures.unread;
    ++figures.queries;
  }
  figures.wallSeconds = clock.seconds();
  figures.cpuSeconds = bw::bench::reapedChildrenCpuSeconds() - cpuAtStart;
  return figures;
}

// The simulator program on a free port; empty host when it did not start.
QString startExternalSimulator(QProcess& process) {
  return bw::bench::startSimulatorProcess(process, QStringLiteral(BRINEWATCH_ADAPTER_SIM),
                                          kSimulatorStartTimeout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bw::CommandLine line = bw::bench::numberOptions({{"queries", "queries of the acquisition path"},
                                                   {"curl-runs", "runs of the curl tool"},
                                                   {"time-limit-s", "seconds a run may take"}});
  line.parse(argc, argv);
  options.queries = bw::bench::number(line, "queries", 1, INT_MAX, options.queries);
  options.curlRuns = bw::bench::number(line, "curl-runs", 1, INT_MAX, options.curlRuns);
  options.timeLimit = bw::bench::duration(line, "time-limit-s", 1, options.timeLimit);
  if (!line.ok()) return bw::bench::usageError(line, "bench_acquisition");
  QCoreApplication app(argc, argv);

  bw::sim::AdapterSimulator::Options simOptions;
  simOptions.requestLogCapacity = 0;  // its log would only grow the process
  bw::sim::AdapterSimulator sim(simOptions);
  QString error;
  if (!sim.start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
    return 1;
  }
  std::printf(
      "acquisition path against the simulated adapter at 0 ms conversion, %d slots in "
      "turn, after %d warm-up queries\n",
      kPolledSlots, kWarmupQueries);
  std::fflush(stdout);

  const PathFigures inProcess =
      pollQueries(sim.host(), options.queries, options.timeLimit, &bw::bench::threadCpuSeconds);
  printPath("browser path, simulator in-process", inProcess);

  QProcess external;
  const QString externalHost = startExternalSimulator(external);
  if (externalHost.isEmpty()) {
    std::printf("browser path, simulator program:  did not start\n");
  } else {
    printPath("browser path, simulator program",
              pollQueries(externalHost, options.queries, options.timeLimit,
                          &bw::bench::processCpuSeconds));
  }
  external.terminate();
  if (!external.waitForFinished(5000)) external.kill();

  const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
  PathFigures curlFigures;
  if (curl.isEmpty()) {
    std::printf("curl tool:  not installed, skipped\n");
  } else {
    const QString url = bw::sensorUrls(bw::builtInSite(sim.host()))[0];
    curlFigures = curlLoop(curl, url, options.curlRuns, options.timeLimit);
    printPath("curl tool, one process per query", curlFigures);
  }

  const double perQueryMs = 1000.0 * inProcess.cpuSeconds / inProcess.queries;
  if (curlFigures.queries > 0)
    std::printf("the curl tool costs %.1f times the CPU of the browser path per query\n",
                (curlFigures.cpuSeconds / curlFigures.queries) / (perQueryMs / 1000.0));
  bw::bench::printSummary("acquisition CPU per query", perQueryMs, "ms", 0.6, "< 0.6 ms");
  return 0;
}
