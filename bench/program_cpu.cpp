// CPU use of the real program while the simulated adapter takes 750 ms per
// query, as a percentage of one core: utime + stime of the program and all
// its descendants (the browser engine's helper processes) from /proc, taken
// after a warm-up and again at the end. Under xvfb-run the X server works
// for the program too; it is not the program's child and is shown apart.
//
// The program talks to the adapter host fixed at build time, so the
// simulator and the program run in a private network namespace where that
// loopback port is free whatever else runs on the machine.
//
// With --adapter refusing nothing listens on the adapter's port, so every
// query is refused at once: what the program costs while its adapter is
// down. With --adapter failing the simulator answers every query at once
// with an HTTP 500 error page (the reading is -2): what a broken adapter
// costs. With --adapter instant the simulator answers every query at once
// with a good reading page, as an adapter that serves its last conversion
// or a proxy does: what pacing the queries saves. Each mode also prints
// queries and cycles per second; a cycle is one log line while logging is
// on.
//
//   bench_program_cpu [--seconds N] [--warmup N] [--platform offscreen|xvfb|both]
//                     [--adapter answering|refusing|failing|instant]

#include "BenchOptions.h"
#include "BenchSupport.h"
#include "BrinewatchConfig.h"
#include "acquisition/SensorTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr const char* kInNamespace = "BRINEWATCH_BENCH_IN_NAMESPACE";
constexpr std::chrono::milliseconds kConversionTime{750};
constexpr std::chrono::seconds kStartTimeout{10};
constexpr std::chrono::seconds kStopTimeout{5};
constexpr std::chrono::milliseconds kPollInterval{5};

struct Options {
  std::chrono::seconds measured{60};
  std::chrono::seconds warmup{5};
  QStringList platforms{QStringLiteral("offscreen"), QStringLiteral("xvfb")};
  bool refusing = false;
  bool failing = false;
  bool instant = false;
};

struct Snapshot {
  double programCpu = 0;  // the program and its descendants
  double serverCpu = 0;   // the X server, under xvfb-run
  int processes = 0;
  std::vector<long> pids;
  std::map<long, bw::bench::ProcStat> program;  // by pid
};

// The program's pid below `launched` (itself, or below xvfb-run), and the
// CPU of the tree and of an X server beside it.
Snapshot snapshot(long launched) {
  const auto all = bw::bench::readAllProcesses();
  const auto launchedTree = bw::bench::processTree(launched, all);
  Snapshot s;
  for (const bw::bench::ProcStat& p : launchedTree) {
    s.pids.push_back(p.pid);
    if (p.name == "Xvfb") s.serverCpu += p.cpuSeconds;
    if (p.name == "brinewatch") {
      const auto program = bw::bench::processTree(p.pid, all);
      s.programCpu = bw::bench::cpuSeconds(program);
      s.processes = static_cast<int>(program.size());
      for (const bw::bench::ProcStat& q : program) s.program[q.pid] = q;
    }
  }
  return s;
}

struct Requests {
  int queries = 0;
  int cycles = 0;  // queries for the first sensor: one per polling cycle
};

Requests requestCount(const QString& log) {
  QFile file(log);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray text = file.readAll();
  const QByteArray firstSensor(bw::kBuiltInRomCodes[0].data(),
                               static_cast<qsizetype>(bw::kBuiltInRomCodes[0].size()));
  return {bw::bench::countRequestLines(text), static_cast<int>(text.count(firstSensor))};
}

bool fileHas(const QString& path, const QByteArray& text) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}

void stopAll(QProcess& launched, const std::vector<long>& pids) {
  // The program ends on SIGTERM; xvfb-run then takes its X server down.
  for (long pid : pids) {
    QFile stat(QStringLiteral("/proc/%1/comm").arg(pid));
    if (stat.open(QIODevice::ReadOnly) && stat.readAll().trimmed() == "brinewatch")
      ::kill(static_cast<pid_t>(pid), SIGTERM);
  }
  if (!launched.waitForFinished(static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(kStopTimeout).count()))) {
    launched.kill();
    launched.waitForFinished();
  }
  // Helpers that outlived their parent; only pids of this run's tree.
  for (long pid : pids) ::kill(static_cast<pid_t>(pid), SIGKILL);
}

bool measure(const QString& platform, const Options& options, const QString& address,
             const QString& port) {
  QTemporaryDir work;
  const QString simLog = work.filePath(QStringLiteral("requests"));
  QProcess simulator;
  bw::bench::Stopwatch clock;
  if (!options.refusing) {
    simulator.setStandardOutputFile(simLog);
    simulator.setStandardErrorFile(QProcess::nullDevice());
    QStringList arguments{
        QStringLiteral("--listen"),
        address,
        QStringLiteral("--port"),
        port,
        QStringLiteral("--conversion-ms"),
        QString::number(options.failing || options.instant ? 0 : kConversionTime.count()),
        QStringLiteral("--log-requests")};
    for (int slot = 1; options.failing && slot <= 16; ++slot)
      arguments << QStringLiteral("--fault") << QStringLiteral("%1=http-error").arg(slot);
    simulator.start(QStringLiteral(BRINEWATCH_ADAPTER_SIM), arguments);
    while (!fileHas(simLog, "listening on") && clock.elapsed() < kStartTimeout)
      std::this_thread::sleep_for(kPollInterval);
  }
  if (!options.refusing && !fileHas(simLog, "listening on")) {
    std::printf("%-9s  the simulator did not start\n", qPrintable(platform));
    return false;
  }

  QProcess launched;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
  // The end sequence keeps the window placement; not in the user's settings.
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
  launched.setStandardOutputFile(QProcess::nullDevice());
  launched.setStandardErrorFile(QProcess::nullDevice());
  const QString program = QStringLiteral(BRINEWATCH_PROGRAM);
  if (platform == QLatin1String("xvfb")) {
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    launched.setProcessEnvironment(env);
    launched.start(QStringLiteral("xvfb-run"),
                   {QStringLiteral("-a"), QStringLiteral("-s"),
                    QStringLiteral("-screen 0 1280x1024x24 -nolisten tcp"), program});
  } else {
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    launched.setProcessEnvironment(env);
    launched.start(program, {});
  }
  clock.restart();
  if (!launched.waitForStarted()) {
    std::printf("%-9s  the program did not start\n", qPrintable(platform));
    return false;
  }
  const long root = static_cast<long>(launched.processId());

  // From outside, the first query at the adapter is what shows the start-up.
  double firstRequestMs = -1;
  while (!options.refusing && clock.elapsed() < kStartTimeout &&
         launched.state() == QProcess::Running) {
    if (requestCount(simLog).queries > 0) {
      firstRequestMs = clock.seconds() * 1000.0;
      break;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  std::this_thread::sleep_until(
      std::chrono::steady_clock::now() + options.warmup -
      std::min<std::chrono::nanoseconds>(clock.elapsed(), options.warmup));

  const Snapshot start = snapshot(root);
  const Requests requestsAtStart = requestCount(simLog);
  clock.restart();
  std::this_thread::sleep_for(options.measured);
  const Snapshot end = snapshot(root);
  const double wall = clock.seconds();
  const Requests requestsAtEnd = requestCount(simLog);
  const int requests = requestsAtEnd.queries - requestsAtStart.queries;
  const int cycles = requestsAtEnd.cycles - requestsAtStart.cycles;
  const bool alive = launched.state() == QProcess::Running && end.processes > 0;
  std::vector<long> pids = start.pids;
  pids.insert(pids.end(), end.pids.begin(), end.pids.end());
  stopAll(launched, pids);
  if (!options.refusing) {
    simulator.terminate();
    if (!simulator.waitForFinished(5000)) simulator.kill();
  }

  if (!alive) {
    std::printf("%-9s  the program ended during the measurement\n", qPrintable(platform));
    return false;
  }
  const double programCpu = end.programCpu - start.programCpu;
  const double percent = 100.0 * programCpu / wall;
  std::printf(
      "%-9s  program %5.2f %% (%.2f s CPU in %.1f s, %d processes, %.1f ms CPU per "
      "query)",
      qPrintable(platform), percent, programCpu, wall, end.processes,
      requests > 0 ? 1000.0 * programCpu / requests : 0.0);
  if (platform == QLatin1String("xvfb"))
    std::printf("  X server %5.2f %%", 100.0 * (end.serverCpu - start.serverCpu) / wall);
  // Which process of the tree takes it: the program, or the engine's helpers.
  std::printf("\n%-9s ", "");
  for (const auto& [pid, p] : end.program) {
    const auto before = start.program.find(pid);
    const double used =
        p.cpuSeconds - (before != start.program.end() ? before->second.cpuSeconds : 0);
    std::printf(" %s[%ld] %.2f %%", p.name.constData(), pid, 100.0 * used / wall);
  }
  if (options.refusing) {
    std::printf("\n%-9s  adapter refusing every query\n", "");
  } else if (options.failing) {
    std::printf("\n%-9s  simulator requests %d, each an instant HTTP 500 page (%.1f per s)\n", "",
                requests, requests / wall);
  } else if (options.instant) {
    std::printf("\n%-9s  simulator requests %d, each an instant reading page\n", "", requests);
  } else {
    std::printf(
        "\n%-9s  simulator requests %d (%.0f expected at %lld ms each), first request "
        "%.0f ms after the start\n",
        "", requests, wall * 1000.0 / static_cast<double>(kConversionTime.count()),
        static_cast<long long>(kConversionTime.count()), firstRequestMs);
  }
  if (!options.refusing)
    std::printf("%-9s  %.1f queries per s, %.2f cycles per s (log lines per s while logging)\n", "",
                requests / wall, cycles / wall);
  std::fflush(stdout);
  const std::string what = "program CPU, " + platform.toStdString() +
                           (options.refusing  ? ", adapter refusing"
                            : options.failing ? ", adapter failing"
                            : options.instant ? ", adapter instant"
                                              : "");
  bw::bench::printSummary(what.c_str(), percent, "% of one core", 3.0, "< 3 %");
  return true;
}

// False after a usage error on standard error.
bool parseOptions(int argc, char** argv, Options& options) {
  bw::CommandLine line = bw::bench::numberOptions(
      {{"seconds", "seconds measured"}, {"warmup", "seconds before the measuring"}});
  line.add("platform", "offscreen|xvfb|both", "where the program draws");
  line.add("adapter", "answering|refusing|failing|instant", "how the simulated adapter answers");
  line.parse(argc, argv);
  options.measured = bw::bench::duration(line, "seconds", 1, options.measured);
  options.warmup = bw::bench::duration(line, "warmup", 0, options.warmup);
  const QString platform =
      line.choice(QStringLiteral("platform"),
                  {QStringLiteral("offscreen"), QStringLiteral("xvfb"), QStringLiteral("both")},
                  QStringLiteral("both"));
  if (platform != u"both") options.platforms = QStringList{platform};
  const QString adapter = line.choice(QStringLiteral("adapter"),
                                      {QStringLiteral("answering"), QStringLiteral("refusing"),
                                       QStringLiteral("failing"), QStringLiteral("instant")},
                                      QStringLiteral("answering"));
  options.refusing = adapter == u"refusing";
  options.failing = adapter == u"failing";
  options.instant = adapter == u"instant";
  if (line.ok()) return true;
  bw::bench::usageError(line, "bench_program_cpu");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) return 2;

  const QString host = QString::fromLatin1(bw::config::kAdapterHost);
  const QString address = host.section(QLatin1Char(':'), 0, 0);
  const QString port =
      host.contains(QLatin1Char(':')) ? host.section(QLatin1Char(':'), 1, 1) : QStringLiteral("80");
  if (!address.startsWith(QLatin1String("127."))) {
    std::printf("adapter host %s is not on loopback: skipped\n", qPrintable(host));
    return 0;
  }

  if (qEnvironmentVariableIsEmpty(kInNamespace)) {
    setenv(kInNamespace, "1", 1);
    std::vector<std::string> args{"unshare"};
    if (geteuid() != 0) args.emplace_back("--map-root-user");
    args.emplace_back("--net");
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    std::vector<char*> exec;
    for (std::string& a : args) exec.push_back(a.data());
    exec.push_back(nullptr);
    std::fflush(stdout);
    execvp("unshare", exec.data());
    std::printf("cannot create a network namespace here: skipped\n");
    return 0;
  }

  QCoreApplication app(argc, argv);
  if (QProcess::execute(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"),
                                               QStringLiteral("lo"), QStringLiteral("up")}) != 0) {
    std::printf("cannot bring up loopback in the namespace: skipped\n");
    return 0;
  }
  std::printf(
      "program CPU, whole process tree, %% of one core; the adapter %s %lld ms per "
      "query; %lld s measured after %lld s warm-up\n",
      options.refusing  ? "refuses, instead of taking"
      : options.failing ? "fails at once, instead of taking"
      : options.instant ? "answers at once, instead of taking"
                        : "takes",
      static_cast<long long>(kConversionTime.count()),
      static_cast<long long>(options.measured.count()),
      static_cast<long long>(options.warmup.count()));
  std::fflush(stdout);
  for (const QString& platform : options.platforms) {
    if (platform == QLatin1String("xvfb") &&
        QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
      std::printf("xvfb       xvfb-run not installed: skipped\n");
      continue;
    }
    // xvfb-run -a can pick the display of an X server starting at the same
    // moment elsewhere; the program then ends at once. One more try.
    if (measure(platform, options, address, port) || measure(platform, options, address, port))
      continue;
    std::printf("summary: program CPU, %s = not measured (see above)\n", qPrintable(platform));
    std::fflush(stdout);
  }
  return 0;
}
