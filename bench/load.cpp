// A site of many tanks: N brinewatchd loggers, each polling 16 sensors of the
// simulated adapter at its 750 ms conversion time, scraped every few seconds
// by a real Prometheus on loopback for the whole run. Prints the scrapes
// that failed, for each logger the records Prometheus counted against the
// lines in its log, CPU, resident and proportional memory per logger and in
// all, Prometheus's own and the simulators', each beside its goal.
//
// Each logger binds a free port of its own and says which in its start
// message; one that ends, or whose log stays empty, is a failure of its own,
// named in the output, and is not compared. The adapters are simulator
// processes, each serving --loggers-per-simulator loggers, so that their
// work is spread over the cores as the loggers' is.
//
// Counting the records exactly needs a moment when no logger writes: at the
// end the simulators are stopped (SIGSTOP), so each logger's cycle takes 16
// queries of 5 s; once a log has been still for two scrapes and more, its
// last record is in Prometheus, and the two counts are read together.
//
// --tiers T runs two tiers instead: T site Prometheus servers, each scraping
// its share of the loggers and remote-writing into one central store
// (VictoriaMetrics), and measures the samples sent against those received,
// the delay from a record in a log to the central store, and what the
// central store holds after it was stopped for --outage-seconds and after
// one site Prometheus was killed and started again.
//
//   bench_load [--loggers N] [--minutes M] [--scrape-seconds S] [--prometheus PATH]
//              [--loggers-per-simulator K] [--tiers T] [--central PATH]
//              [--outage-seconds S]

#include "BenchOptions.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include "site/Site.h"

namespace {

using namespace std::chrono_literals;

struct Options {
  int loggers = 100;
  int minutes = 10;
  int scrapeSeconds = 5;
  int loggersPerSimulator = 100;
  int tiers = 0;
  int outageSeconds = 120;
  QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
  QString central = QStandardPaths::findExecutable(QStringLiteral("victoria-metrics"));
};

// A child that ends with the benchmark: one stopped by a signal would
// otherwise leave a thousand loggers running.
std::unique_ptr<QProcess> childProcess() {
  auto p = std::make_unique<QProcess>();
  p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  return p;
}

quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// The port a logger listens on, from its start message ("... metrics on
// 127.0.0.1:PORT"); 0 while it has not said.
quint16 announcedPort(const QString& errFile) {
  QFile file(errFile);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray text = file.read(1 << 16);
  const QByteArray marker = "metrics on 127.0.0.1:";
  const qsizetype at = text.indexOf(marker);
  const qsizetype end = text.indexOf('\n', at);
  if (at < 0 || end < 0) return 0;
  return static_cast<quint16>(text.mid(at + marker.size(), end - at - marker.size()).toUInt());
}

// The last line a logger wrote to its standard error, to say why it ended.
QString lastLine(const QString& errFile) {
  QFile file(errFile);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
  return QString::fromUtf8(lines.last());
}

// Resident memory in KiB: all of it, and the proportional share, which
// splits each page shared with other processes (the libraries every logger
// maps) between them.
struct Resident {
  qint64 rss = -1;
  qint64 pss = -1;
};

Resident residentOf(qint64 pid) {
  QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
  if (!rollup.open(QIODevice::ReadOnly)) return {};
  const QByteArray text = rollup.readAll();
  return {bw::bench::parseStatusKiB(text, "Rss").value_or(-1),
          bw::bench::parseStatusKiB(text, "Pss").value_or(-1)};
}

double mib(qint64 kib) {
  return static_cast<double>(kib) / 1024.0;
}

int lineCount(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : -1;
}

void pause(std::chrono::milliseconds time) {
  QEventLoop wait;
  QTimer::singleShot(time, &wait, &QEventLoop::quit);
  wait.exec();
}

// One GET, given up after 20 s.
QByteArray get(QNetworkAccessManager& http, const QUrl& url) {
  QNetworkRequest request(url);
  request.setTransferTimeout(20000);
  QNetworkReply* reply = http.get(request);
  QEventLoop wait;
  QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
  wait.exec();
  const QByteArray body = reply->readAll();
  reply->deleteLater();
  return body;
}

// One instant query of the Prometheus HTTP API (which the central store
// answers too): the result vector. `at` in Unix seconds, 0 for now.
QJsonArray query(QNetworkAccessManager& http, quint16 port, const QString& promql, double at = 0) {
  QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(port));
  QUrlQuery parameters;
  parameters.addQueryItem(QStringLiteral("query"), promql);
  if (at > 0) parameters.addQueryItem(QStringLiteral("time"), QString::number(at, 'f', 3));
  parameters.addQueryItem(QStringLiteral("nocache"), QStringLiteral("1"));
  url.setQuery(parameters);
  return QJsonDocument::fromJson(get(http, url))
      .object()
      .value(QStringLiteral("data"))
      .toObject()
      .value(QStringLiteral("result"))
      .toArray();
}

double valueOf(const QJsonValue& sample) {
  return sample.toObject().value(QStringLiteral("value")).toArray().at(1).toString().toDouble();
}

double scalarOf(const QJsonArray& result) {
  return result.isEmpty() ? -1 : valueOf(result.first());
}

// The sum of the values of a metric in a text exposition, over its labels.
double exposed(const QByteArray& text, const QByteArray& name) {
  double sum = 0;
  for (const QByteArray& line : text.split('\n')) {
    if (!line.startsWith(name)) continue;
    const char next = line.size() > name.size() ? line[name.size()] : '\0';
    if (next != ' ' && next != '{') continue;
    sum += line.mid(line.lastIndexOf(' ') + 1).toDouble();
  }
  return sum;
}

double nowSeconds() {
  return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

struct Logger {
  QString log;
  QString err;
  quint16 metricsPort = 0;
  QString failure;  // why this logger itself failed; empty when it did not
  std::unique_ptr<QProcess> process;
  double cpuAtStart = 0;
  double cpuPercent = 0;
  Resident memory;
  int lines = 0;
  double counted = -1;
  int tier = 0;  // the site Prometheus that scrapes it, in --tiers
};

// CPU seconds of each process by pid, read once for all of them.
std::map<long, double> cpuByPid() {
  std::map<long, double> cpu;
  for (const bw::bench::ProcStat& p : bw::bench::readAllProcesses()) cpu[p.pid] = p.cpuSeconds;
  return cpu;
}

double cpuOf(const std::map<long, double>& all, const QProcess& p) {
  const auto found = all.find(static_cast<long>(p.processId()));
  return found == all.end() ? 0.0 : found->second;
}

// The simulator processes: started on free ports of their own, as many as
// the loggers need; their hosts, or an empty list when one did not start.
QStringList startSimulators(std::vector<std::unique_ptr<QProcess>>& simulators, int count) {
  QStringList hosts;
  for (int i = 0; i < count; ++i) {
    auto p = childProcess();
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(QStringLiteral(BRINEWATCH_ADAPTER_SIM),
             {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--conversion-ms"),
              QStringLiteral("750"), QStringLiteral("--seed"), QString::number(i + 1)});
    const QString host = bw::bench::simulatorHost(*p, 10s);
    if (host.isEmpty()) return {};
    hosts << host;
    simulators.push_back(std::move(p));
  }
  return hosts;
}

// Starts the loggers, spread over the simulators, and learns each one's
// metrics port from its start message; one that ends or keeps silent first
// has failed on its own.
void startLoggers(std::vector<Logger>& loggers, const QStringList& hosts, int perSimulator,
                  const QTemporaryDir& dir) {
  for (std::size_t i = 0; i < loggers.size(); ++i) {
    Logger& l = loggers[i];
    l.log = dir.filePath(QStringLiteral("tank-%1.log").arg(i));
    l.err = dir.filePath(QStringLiteral("logger-%1.err").arg(i));
    QFile site(dir.filePath(QStringLiteral("site-%1.toml").arg(i)));
    site.open(QIODevice::WriteOnly);
    // Each logger binds a free port itself and says which: a port picked
    // here and closed again could be handed to two of them.
    site.write(QStringLiteral("adapter = \"%1\"\nlog = \"%2\"\nmetrics = \"127.0.0.1:0\"\n")
                   .arg(hosts[static_cast<int>(i) / perSimulator], l.log)
                   .toUtf8());
    for (int slot = 1; slot <= bw::kMaxReadings; ++slot)
      site.write(QStringLiteral("[[sensor]]\nslot = %1\nrom = \"%2\"\n")
                     .arg(slot)
                     .arg(QLatin1String(
                         bw::kBuiltInRomCodes[static_cast<std::size_t>(slot - 1)].data(), 16))
                     .toUtf8());
    site.close();
    l.process = childProcess();
    l.process->setStandardOutputFile(QProcess::nullDevice());
    l.process->setStandardErrorFile(l.err);
    l.process->start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), site.fileName()});
  }
  QElapsedTimer waited;
  waited.start();
  std::size_t pending = loggers.size();
  while (pending > 0) {
    pending = 0;
    for (Logger& l : loggers) {
      if (l.metricsPort || !l.failure.isEmpty()) continue;
      l.metricsPort = announcedPort(l.err);
      if (l.metricsPort) continue;
      if (l.process->state() == QProcess::NotRunning)
        l.failure = QStringLiteral("ended before serving its metrics (status %1): %2")
                        .arg(l.process->exitCode())
                        .arg(lastLine(l.err));
      else if (waited.elapsed() > 120'000)
        l.failure = QStringLiteral("did not say its metrics port within 2 minutes");
      else
        ++pending;
    }
    if (pending) pause(200ms);
  }
}

QString targetsOf(const std::vector<Logger>& loggers, int tier) {
  QString targets;
  for (const Logger& l : loggers)
    if (l.metricsPort && l.tier == tier)
      targets += QStringLiteral("%1\"127.0.0.1:%2\"")
                     .arg(targets.isEmpty() ? QString() : QStringLiteral(", "))
                     .arg(l.metricsPort);
  return targets;
}

// A Prometheus on loopback: its configuration, its folder and its port,
// started again on the same ones after a kill.
struct PrometheusServer {
  QString config;
  QString tsdb;
  QString err;
  quint16 port = 0;
  std::unique_ptr<QProcess> process;
};

bool startPrometheus(PrometheusServer& s, const QString& program) {
  // Its port is picked here, and may be taken meanwhile: a start that
  // fails is tried on another.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!s.port || attempt > 0) s.port = freePort();
    s.process = childProcess();
    s.process->setStandardOutputFile(QProcess::nullDevice());
    s.process->setStandardErrorFile(s.err, QIODevice::Append);
    s.process->start(program, {QStringLiteral("--config.file=") + s.config,
                               QStringLiteral("--storage.tsdb.path=") + s.tsdb,
                               QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(s.port),
                               QStringLiteral("--log.level=warn")});
    if (!s.process->waitForStarted()) continue;
    if (!s.process->waitForFinished(2000)) return true;  // still running: it listens
  }
  return false;
}

void writeFile(const QString& path, const QString& text) {
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(text.toUtf8());
}

// Raises this process's file limit to its hard one: the loggers, the
// simulators and Prometheus inherit it, and Prometheus holds a connection
// for each logger, a simulator one for each of its loggers.
rlim_t raiseFileLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  getrlimit(RLIMIT_NOFILE, &limit);
  return limit.rlim_cur;
}

void signalAll(std::vector<std::unique_ptr<QProcess>>& processes, int signal) {
  for (auto& p : processes)
    if (p->state() == QProcess::Running) ::kill(static_cast<pid_t>(p->processId()), signal);
}

struct Figures {
  std::vector<double> cpu, rss, pss;
  double cpuSum = 0;
  double pssSum = 0;
};

// The loggers' CPU over `seconds` since cpuAtStart and their memory now;
// a logger that ended is named a failure.
Figures measureLoggers(std::vector<Logger>& loggers, double seconds) {
  const auto cpu = cpuByPid();
  Figures f;
  for (Logger& l : loggers) {
    if (!l.failure.isEmpty()) continue;
    if (l.process->state() == QProcess::NotRunning) {
      l.failure = QStringLiteral("ended during the run (status %1): %2")
                      .arg(l.process->exitCode())
                      .arg(lastLine(l.err));
      continue;
    }
    l.cpuPercent = 100.0 * (cpuOf(cpu, *l.process) - l.cpuAtStart) / seconds;
    l.memory = residentOf(l.process->processId());
    f.cpu.push_back(l.cpuPercent);
    f.rss.push_back(mib(l.memory.rss));
    f.pss.push_back(mib(l.memory.pss));
    f.cpuSum += l.cpuPercent;
    f.pssSum += mib(l.memory.pss);
  }
  if (f.cpu.empty()) f.cpu = f.rss = f.pss = {0.0};
  return f;
}

void printLoggerFigures(const Figures& f, int loggers) {
  const auto [cpuMin, cpuMax] = std::minmax_element(f.cpu.begin(), f.cpu.end());
  const auto [rssMin, rssMax] = std::minmax_element(f.rss.begin(), f.rss.end());
  const auto [pssMin, pssMax] = std::minmax_element(f.pss.begin(), f.pss.end());
  std::printf("logger CPU %% of a core: min %.3f, median %.3f, max %.3f; all %d together %.1f %%\n",
              *cpuMin, bw::bench::median(f.cpu), *cpuMax, loggers, f.cpuSum);
  std::printf(
      "logger resident MiB: min %.1f, median %.1f, max %.1f; proportional share: min %.2f, "
      "median %.2f, max %.2f; all together %.0f MiB proportional\n",
      *rssMin, bw::bench::median(f.rss), *rssMax, *pssMin, bw::bench::median(f.pss), *pssMax,
      f.pssSum);
}

int runOneTier(const Options& o, std::vector<Logger>& loggers,
               std::vector<std::unique_ptr<QProcess>>& simulators, const QTemporaryDir& dir);
int runTiers(const Options& o, std::vector<Logger>& loggers,
             std::vector<std::unique_ptr<QProcess>>& simulators, const QTemporaryDir& dir);

}  // namespace

int main(int argc, char** argv) {
  Options o;
  bw::CommandLine line =
      bw::bench::numberOptions({{"loggers", "brinewatchd processes"},
                                {"minutes", "minutes measured"},
                                {"scrape-seconds", "Prometheus's scrape interval"},
                                {"loggers-per-simulator", "loggers one simulator answers"},
                                {"tiers", "site Prometheus servers below a central store"},
                                {"outage-seconds", "how long the central store is away"}});
  line.add("prometheus", "PATH", "the prometheus program");
  line.add("central", "PATH", "the central store's program");
  line.parse(argc, argv);
  o.loggers = bw::bench::number(line, "loggers", 1, INT_MAX, o.loggers);
  o.minutes = bw::bench::number(line, "minutes", 1, INT_MAX, o.minutes);
  o.scrapeSeconds = bw::bench::number(line, "scrape-seconds", 1, INT_MAX, o.scrapeSeconds);
  o.loggersPerSimulator =
      bw::bench::number(line, "loggers-per-simulator", 1, INT_MAX, o.loggersPerSimulator);
  o.tiers = bw::bench::number(line, "tiers", 0, INT_MAX, o.tiers);
  o.outageSeconds = bw::bench::number(line, "outage-seconds", 0, INT_MAX, o.outageSeconds);
  if (line.isSet(QStringLiteral("prometheus")))
    o.prometheus = line.value(QStringLiteral("prometheus"));
  if (line.isSet(QStringLiteral("central"))) o.central = line.value(QStringLiteral("central"));
  if (!line.ok()) return bw::bench::usageError(line, "bench_load");
  QCoreApplication app(argc, argv);
  if (o.prometheus.isEmpty()) {
    std::printf("bench_load: no prometheus (Debian: prometheus); nothing measured\n");
    return 0;
  }
  if (o.tiers > 0 && o.central.isEmpty()) {
    std::printf(
        "bench_load: no victoria-metrics for the central store (Debian: "
        "victoria-metrics); nothing measured\n");
    return 0;
  }
  const rlim_t files = raiseFileLimit();
  QTemporaryDir dir;
  std::vector<std::unique_ptr<QProcess>> simulators;
  const int simulatorCount = (o.loggers + o.loggersPerSimulator - 1) / o.loggersPerSimulator;
  const QStringList hosts = startSimulators(simulators, simulatorCount);
  if (hosts.isEmpty()) {
    std::printf("bench_load: a simulator did not start\n");
    return 1;
  }
  std::vector<Logger> loggers(static_cast<std::size_t>(o.loggers));
  for (std::size_t i = 0; i < loggers.size(); ++i)
    loggers[i].tier = o.tiers > 0 ? static_cast<int>(i % static_cast<std::size_t>(o.tiers)) : 0;
  std::printf(
      "%d loggers x %d sensors at 750 ms per query against %d simulator processes, "
      "scraped every %d s (%d cores, file limit %llu)\n",
      o.loggers, bw::kMaxReadings, simulatorCount, o.scrapeSeconds, QThread::idealThreadCount(),
      static_cast<unsigned long long>(files));
  std::fflush(stdout);
  QElapsedTimer started;
  started.start();
  startLoggers(loggers, hosts, o.loggersPerSimulator, dir);
  std::printf("loggers started and listening in %.1f s\n",
              static_cast<double>(started.elapsed()) / 1000.0);
  std::fflush(stdout);
  const int status =
      o.tiers > 0 ? runTiers(o, loggers, simulators, dir) : runOneTier(o, loggers, simulators, dir);
  signalAll(simulators, SIGCONT);
  for (Logger& l : loggers) l.process->terminate();
  for (Logger& l : loggers) l.process->waitForFinished(10000);
  for (auto& s : simulators) s->terminate();
  for (auto& s : simulators) s->waitForFinished(10000);
  return status;
}

namespace {

int runOneTier(const Options& o, std::vector<Logger>& loggers,
               std::vector<std::unique_ptr<QProcess>>& simulators, const QTemporaryDir& dir) {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const unsigned long long filesLimit = files.rlim_cur;
  PrometheusServer prometheus;
  prometheus.config = dir.filePath(QStringLiteral("prometheus.yml"));
  prometheus.tsdb = dir.filePath(QStringLiteral("tsdb"));
  prometheus.err = dir.filePath(QStringLiteral("prometheus.err"));
  writeFile(prometheus.config,
            QStringLiteral("global:\n  scrape_interval: %1s\n  scrape_timeout: %2s\n"
                           "scrape_configs:\n  - job_name: brinewatch\n"
                           "    static_configs:\n      - targets: [%3]\n")
                .arg(o.scrapeSeconds)
                .arg(std::max(1, o.scrapeSeconds - 1))
                .arg(targetsOf(loggers, 0)));
  if (!startPrometheus(prometheus, o.prometheus)) {
    std::printf("bench_load: prometheus did not start: %s\n", qPrintable(lastLine(prometheus.err)));
    return 1;
  }
  QNetworkAccessManager http;
  std::printf("measured for %d min\n", o.minutes);
  pause(30s);  // everyone started and scraped
  auto cpu = cpuByPid();
  for (Logger& l : loggers) l.cpuAtStart = cpuOf(cpu, *l.process);
  const double prometheusCpuAtStart = bw::bench::treeCpuSeconds(prometheus.process->processId());
  double simulatorCpuAtStart = 0;
  for (auto& s : simulators) simulatorCpuAtStart += cpuOf(cpu, *s);
  QElapsedTimer measured;
  measured.start();
  for (int minute = 1; minute <= o.minutes; ++minute) {
    pause(60s);
    std::printf("  minute %d of %d (load average %s)\n", minute, o.minutes,
                qPrintable(QString::fromLatin1(bw::bench::loadAverage())));
    std::fflush(stdout);
  }
  const double seconds = static_cast<double>(measured.elapsed()) / 1000.0;
  const Figures figures = measureLoggers(loggers, seconds);
  const double prometheusCpu =
      100.0 * (bw::bench::treeCpuSeconds(prometheus.process->processId()) - prometheusCpuAtStart) /
      seconds;
  const Resident prometheusMemory = residentOf(prometheus.process->processId());
  cpu = cpuByPid();
  double simulatorCpu = 0;
  qint64 simulatorPss = 0;
  for (auto& s : simulators) {
    simulatorCpu += cpuOf(cpu, *s);
    simulatorPss += residentOf(s->processId()).pss;
  }
  simulatorCpu = 100.0 * (simulatorCpu - simulatorCpuAtStart) / seconds;
  const QString window = QStringLiteral("%1s").arg(static_cast<int>(seconds));
  // The scrapes of each target, to tell the loggers that failed on their own
  // from scrapes that failed.
  std::map<QString, std::pair<double, double>> scrapesOf;  // instance: all, good
  const double countedAt = nowSeconds();                   // both counts over the same window
  for (const QJsonValue& v :
       query(http, prometheus.port,
             QStringLiteral("count_over_time(up{job=\"brinewatch\"}[%1])").arg(window), countedAt))
    scrapesOf
        [v.toObject()[QStringLiteral("metric")].toObject()[QStringLiteral("instance")].toString()]
            .first = valueOf(v);
  for (const QJsonValue& v :
       query(http, prometheus.port,
             QStringLiteral("sum_over_time(up{job=\"brinewatch\"}[%1])").arg(window), countedAt))
    scrapesOf
        [v.toObject()[QStringLiteral("metric")].toObject()[QStringLiteral("instance")].toString()]
            .second = valueOf(v);

  // The simulators stop; each log is compared once it has been still for
  // more than two scrapes.
  signalAll(simulators, SIGSTOP);
  const auto still = std::chrono::seconds(2 * o.scrapeSeconds + 3);
  std::vector<int> lastLines(loggers.size(), -1);
  std::vector<QElapsedTimer> stillFor(loggers.size());
  std::size_t compared = static_cast<std::size_t>(std::count_if(
      loggers.begin(), loggers.end(), [](const Logger& l) { return !l.failure.isEmpty(); }));
  QElapsedTimer patience;
  patience.start();
  while (compared < loggers.size() && patience.elapsed() < 400'000) {
    pause(1s);
    for (std::size_t i = 0; i < loggers.size(); ++i) {
      Logger& l = loggers[i];
      if (l.counted >= 0 || !l.failure.isEmpty()) continue;
      const int lines = lineCount(l.log);
      if (lines != lastLines[i]) {
        lastLines[i] = lines;
        stillFor[i].start();
        continue;
      }
      if (stillFor[i].elapsed() < std::chrono::milliseconds(still).count()) continue;
      const double counted = scalarOf(
          query(http, prometheus.port,
                QStringLiteral("brinewatch_log_records_written_total{instance=\"127.0.0.1:%1\"}")
                    .arg(l.metricsPort)));
      if (lineCount(l.log) != lines) continue;  // a record came meanwhile: look again
      l.lines = lines;
      l.counted = counted;
      ++compared;
    }
  }
  for (Logger& l : loggers) {
    if (!l.failure.isEmpty()) continue;
    if (l.process->state() == QProcess::NotRunning)
      l.failure = QStringLiteral("ended at the end of the run (status %1): %2")
                      .arg(l.process->exitCode())
                      .arg(lastLine(l.err));
    else if (lineCount(l.log) <= 0)
      l.failure = QStringLiteral("its log stayed empty");
    else if (l.counted < 0)
      l.failure = QStringLiteral("its log never stood still long enough to be compared");
  }

  int equal = 0, failed = 0;
  double scrapes = 0, failedScrapes = 0;
  std::printf("\n%-8s %10s %10s %8s %9s %9s\n", "logger", "counted", "lines", "CPU %", "RSS MiB",
              "PSS MiB");
  for (std::size_t i = 0; i < loggers.size(); ++i) {
    const Logger& l = loggers[i];
    if (!l.failure.isEmpty()) {
      ++failed;
      std::printf("%-8zu FAILED: %s\n", i, qPrintable(l.failure));
      continue;
    }
    const auto [all, good] = scrapesOf[QStringLiteral("127.0.0.1:%1").arg(l.metricsPort)];
    scrapes += all;
    failedScrapes += all - good;
    equal += l.counted == l.lines;
    std::printf("%-8zu %10.0f %10d %8.3f %9.1f %9.2f\n", i, l.counted, l.lines, l.cpuPercent,
                mib(l.memory.rss), mib(l.memory.pss));
  }
  std::printf("\nover %.0f s:\n", seconds);
  std::printf("scrapes of the loggers that ran: %.0f, failed %.0f (goal: none)\n", scrapes,
              failedScrapes);
  std::printf("loggers that failed on their own (ended, or an empty log): %d of %d (goal: none)\n",
              failed, o.loggers);
  std::printf(
      "records counted by Prometheus equal to the log's lines: %d of the %d others "
      "(goal: all)\n",
      equal, o.loggers - failed);
  printLoggerFigures(figures, o.loggers - failed);
  std::printf(
      "goals: all loggers together under 100 %% of one core: %s; their proportional "
      "memory under 4 GiB: %s\n",
      figures.cpuSum < 100 ? "met" : "MISSED", figures.pssSum < 4096 ? "met" : "MISSED");
  std::printf("Prometheus: CPU %.1f %% of a core, resident %.1f MiB (proportional %.1f)\n",
              prometheusCpu, mib(prometheusMemory.rss), mib(prometheusMemory.pss));
  std::printf("simulators (%zu): CPU %.1f %% of a core together, proportional %.1f MiB\n",
              simulators.size(), simulatorCpu, mib(simulatorPss));
  // What holds a goal that was missed, and what would move it.
  if (failedScrapes > 0)
    std::printf(
        "failed scrapes: the scrape timeout (%d s) against Prometheus's and the loggers' "
        "share of two busy cores; a longer scrape interval (--scrape-seconds) or fewer "
        "targets per Prometheus (--tiers) moves it\n",
        std::max(1, o.scrapeSeconds - 1));
  if (failed > 0)
    std::printf(
        "loggers that failed: see each one's reason above; a file limit (%s here) "
        "below two descriptors per logger, or a simulator past its capacity "
        "(--loggers-per-simulator), are the usual causes\n",
        qPrintable(QString::number(filesLimit)));
  if (figures.cpuSum >= 100)
    std::printf(
        "loggers' CPU: it grows with the queries (16 every 12 s each), and the simulators "
        "(%.0f %%) and Prometheus (%.0f %%) share the same cores; fewer sensors or a "
        "longer pace per logger moves it\n",
        simulatorCpu, prometheusCpu);
  if (figures.pssSum >= 4096)
    std::printf(
        "loggers' memory: each one's own heap and stacks (the proportional share); "
        "fewer loggers per machine moves it\n");
  bw::bench::printSummary("load failed_scrapes", failedScrapes, "", 0.5, "0");
  bw::bench::printSummary("load loggers_failed", failed, "", 0.5, "0");
  bw::bench::printSummary("load loggers_whose_count_differs", o.loggers - failed - equal, "", 0.5,
                          "0");
  bw::bench::printSummary("load loggers_cpu_together", figures.cpuSum, "%", 100.0, "< 100");
  bw::bench::printSummary("load loggers_pss_together", figures.pssSum, "MiB", 4096.0, "< 4096");
  bw::bench::printSummary("load logger_pss_max",
                          *std::max_element(figures.pss.begin(), figures.pss.end()), "MiB", 20.0,
                          "< 20");
  signalAll(simulators, SIGCONT);
  prometheus.process->terminate();
  prometheus.process->waitForFinished(20000);
  return 0;
}

}  // namespace

namespace {

// The central store: VictoriaMetrics on loopback, stopped and started again
// on the same port and folder.
struct CentralStore {
  QString program;
  QString data;
  QString err;
  quint16 port = 0;
  std::unique_ptr<QProcess> process;
};

bool startCentral(CentralStore& c, QNetworkAccessManager& http) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!c.port || attempt > 0) c.port = freePort();
    c.process = childProcess();
    c.process->setStandardOutputFile(QProcess::nullDevice());
    c.process->setStandardErrorFile(c.err, QIODevice::Append);
    c.process->start(
        c.program,
        {QStringLiteral("-httpListenAddr=127.0.0.1:%1").arg(c.port),
         QStringLiteral("-storageDataPath=") + c.data, QStringLiteral("-retentionPeriod=1"),
         // Queries see the latest samples, for the delay.
         QStringLiteral("-search.latencyOffset=1s"), QStringLiteral("-search.disableCache"),
         QStringLiteral("-loggerLevel=ERROR")});
    if (!c.process->waitForStarted()) continue;
    for (int i = 0; i < 100 && c.process->state() == QProcess::Running; ++i) {
      if (get(http, QUrl(QStringLiteral("http://127.0.0.1:%1/health").arg(c.port)))
              .startsWith("OK"))
        return true;
      pause(100ms);
    }
  }
  return false;
}

QByteArray metricsOf(QNetworkAccessManager& http, quint16 port) {
  return get(http, QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(port)));
}

// Remote-write figures of one site Prometheus, from its own metrics.
struct Sending {
  double sent = 0, failed = 0, retried = 0, dropped = 0, pending = 0, lagSeconds = 0;
};

Sending sendingOf(QNetworkAccessManager& http, const PrometheusServer& site) {
  const QByteArray text = metricsOf(http, site.port);
  Sending s;
  s.sent = exposed(text, "prometheus_remote_storage_samples_total");
  s.failed = exposed(text, "prometheus_remote_storage_samples_failed_total");
  s.retried = exposed(text, "prometheus_remote_storage_samples_retried_total");
  s.dropped = exposed(text, "prometheus_remote_storage_samples_dropped_total");
  s.pending = exposed(text, "prometheus_remote_storage_samples_pending");
  s.lagSeconds = exposed(text, "prometheus_remote_storage_highest_timestamp_in_seconds") -
                 exposed(text, "prometheus_remote_storage_queue_highest_sent_timestamp_seconds");
  return s;
}

// Waits until every site has sent its samples up to `until` (Unix
// seconds), and the batches in flight a moment longer. The seconds it took,
// or -1 past `most`. (Samples pending never reach none while scrapes go on.)
double waitUntilSent(QNetworkAccessManager& http, std::vector<PrometheusServer>& sites,
                     double until, std::chrono::seconds most) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < std::chrono::milliseconds(most).count()) {
    bool all = true;
    for (const PrometheusServer& site : sites) {
      const QByteArray text = metricsOf(http, site.port);
      all =
          all &&
          exposed(text, "prometheus_remote_storage_queue_highest_sent_timestamp_seconds") >= until;
    }
    if (all) {
      const double took = static_cast<double>(waited.elapsed()) / 1000.0;
      pause(6s);  // other shards' batches, and the store's own second
      return took;
    }
    pause(1s);
  }
  return -1;
}

// Samples of the loggers over (from, to] at a site and at the central store,
// for each site.
struct Held {
  std::vector<double> site, central;
  double missing() const {
    double m = 0;
    for (std::size_t i = 0; i < site.size(); ++i) m += site[i] - central[i];
    return m;
  }
};

// count_over_time drops the metric's name, and Prometheus refuses a vector
// of series that then look alike: the samples are counted by name.
double samplesOver(QNetworkAccessManager& http, quint16 port, const QStringList& names,
                   const QString& selector, const QString& window, double at) {
  double sum = 0;
  for (const QString& name : names)
    sum += std::max(
        0.0,
        scalarOf(query(
            http, port,
            QStringLiteral("sum(count_over_time(%1{%2}[%3]))").arg(name, selector, window), at)));
  return sum;
}

Held heldOver(QNetworkAccessManager& http, const std::vector<PrometheusServer>& sites,
              const CentralStore& central, double from, double to, std::size_t count) {
  Held h;
  const QString window = QStringLiteral("%1ms").arg(std::llround((to - from) * 1000.0));
  QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/label/__name__/values").arg(sites[0].port));
  url.setQuery(QStringLiteral("match[]={job=\"brinewatch\"}"));
  QStringList names;
  for (const QJsonValue& v :
       QJsonDocument::fromJson(get(http, url)).object()[QStringLiteral("data")].toArray())
    names << v.toString();
  for (std::size_t i = 0; i < count; ++i) {
    h.site.push_back(
        samplesOver(http, sites[i].port, names, QStringLiteral("job=\"brinewatch\""), window, to));
    h.central.push_back(samplesOver(http, central.port, names,
                                    QStringLiteral("job=\"brinewatch\",site=\"site-%1\"").arg(i),
                                    window, to));
  }
  return h;
}

void printHeld(const char* what, const Held& h) {
  std::printf("%s:\n", what);
  for (std::size_t i = 0; i < h.site.size(); ++i)
    std::printf("  site-%zu: %.0f samples at the site, %.0f at the central store, %.0f missing\n",
                i, h.site[i], h.central[i], h.site[i] - h.central[i]);
}

int runTiers(const Options& o, std::vector<Logger>& loggers,
             std::vector<std::unique_ptr<QProcess>>& simulators, const QTemporaryDir& dir) {
  QNetworkAccessManager http;
  CentralStore central;
  central.program = o.central;
  central.data = dir.filePath(QStringLiteral("central"));
  central.err = dir.filePath(QStringLiteral("central.err"));
  if (!startCentral(central, http)) {
    std::printf("bench_load: the central store did not start: %s\n",
                qPrintable(lastLine(central.err)));
    return 1;
  }
  std::vector<PrometheusServer> sites(static_cast<std::size_t>(o.tiers));
  for (int i = 0; i < o.tiers; ++i) {
    PrometheusServer& site = sites[static_cast<std::size_t>(i)];
    site.config = dir.filePath(QStringLiteral("site-%1.yml").arg(i));
    site.tsdb = dir.filePath(QStringLiteral("site-%1-tsdb").arg(i));
    site.err = dir.filePath(QStringLiteral("site-%1.err").arg(i));
    // As packaging/prometheus/site-prometheus.yml has it, on loopback.
    writeFile(site.config,
              QStringLiteral("global:\n  scrape_interval: %1s\n  scrape_timeout: %2s\n"
                             "  external_labels:\n    site: site-%3\n"
                             "scrape_configs:\n  - job_name: brinewatch\n"
                             "    static_configs:\n      - targets: [%4]\n"
                             "remote_write:\n  - url: http://127.0.0.1:%5/api/v1/write\n")
                  .arg(o.scrapeSeconds)
                  .arg(std::max(1, o.scrapeSeconds - 1))
                  .arg(i)
                  .arg(targetsOf(loggers, i))
                  .arg(central.port));
    if (!startPrometheus(site, o.prometheus)) {
      std::printf("bench_load: site Prometheus %d did not start: %s\n", i,
                  qPrintable(lastLine(site.err)));
      return 1;
    }
  }
  std::printf(
      "%d site Prometheus servers of about %d loggers each, remote-writing into one "
      "central store; steady for %d min, then the central store stopped for %d s, then "
      "site-0 killed\n",
      o.tiers, o.loggers / o.tiers, o.minutes, o.outageSeconds);
  std::fflush(stdout);
  pause(30s);
  auto cpu = cpuByPid();
  for (Logger& l : loggers) l.cpuAtStart = cpuOf(cpu, *l.process);
  std::vector<double> siteCpuAtStart;
  for (const PrometheusServer& site : sites) siteCpuAtStart.push_back(cpuOf(cpu, *site.process));
  const double centralCpuAtStart = cpuOf(cpu, *central.process);
  double simulatorCpuAtStart = 0;
  for (auto& sim : simulators) simulatorCpuAtStart += cpuOf(cpu, *sim);
  const double steadyFrom = nowSeconds();
  QElapsedTimer measured;
  measured.start();
  for (int minute = 1; minute <= o.minutes; ++minute) {
    pause(60s);
    std::printf("  minute %d of %d (load average %s)\n", minute, o.minutes,
                bw::bench::loadAverage().constData());
    std::fflush(stdout);
  }

  // The delay from a record in a log to its count in the central store, for
  // a few loggers, over a minute.
  std::vector<double> delays;
  {
    struct Watched {
      const Logger* logger;
      int lines;
      double since = 0;  // when a new line was seen; 0: none waiting
    };
    std::vector<Watched> watched;
    for (std::size_t i = 0; i < loggers.size() && watched.size() < 8;
         i += std::max<std::size_t>(1, loggers.size() / 8))
      if (loggers[i].failure.isEmpty()) watched.push_back({&loggers[i], lineCount(loggers[i].log)});
    QElapsedTimer minute;
    minute.start();
    while (minute.elapsed() < 60'000 || std::any_of(watched.begin(), watched.end(),
                                                    [](const Watched& w) { return w.since > 0; })) {
      if (minute.elapsed() > 120'000) break;
      pause(200ms);
      for (Watched& w : watched) {
        if (w.since == 0) {
          const int lines = lineCount(w.logger->log);
          if (lines > w.lines && minute.elapsed() < 60'000) {
            w.lines = lines;
            w.since = nowSeconds();
          }
          continue;
        }
        QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/export").arg(central.port));
        QUrlQuery q;
        q.addQueryItem(
            QStringLiteral("match[]"),
            QStringLiteral("brinewatch_log_records_written_total{instance=\"127.0.0.1:%1\"}")
                .arg(w.logger->metricsPort));
        q.addQueryItem(QStringLiteral("start"), QString::number(w.since - 30, 'f', 3));
        url.setQuery(q);
        const QJsonArray values = QJsonDocument::fromJson(get(http, url).trimmed())
                                      .object()[QStringLiteral("values")]
                                      .toArray();
        const bool arrived = std::any_of(values.begin(), values.end(), [&](const QJsonValue& v) {
          return v.toDouble() >= w.lines;
        });
        if (arrived) {
          delays.push_back(nowSeconds() - w.since);
          w.since = 0;
        }
      }
    }
  }

  const double seconds = static_cast<double>(measured.elapsed()) / 1000.0;
  const double steadyTo = nowSeconds();
  const Figures figures = measureLoggers(loggers, seconds);
  cpu = cpuByPid();
  std::vector<double> siteCpu;
  std::vector<Resident> siteMemory;
  for (std::size_t i = 0; i < sites.size(); ++i) {
    siteCpu.push_back(100.0 * (cpuOf(cpu, *sites[i].process) - siteCpuAtStart[i]) / seconds);
    siteMemory.push_back(residentOf(sites[i].process->processId()));
  }
  const double centralCpu = 100.0 * (cpuOf(cpu, *central.process) - centralCpuAtStart) / seconds;
  double simulatorCpu = -simulatorCpuAtStart;
  for (auto& sim : simulators) simulatorCpu += cpuOf(cpu, *sim);
  simulatorCpu *= 100.0 / seconds;
  const Resident centralMemory = residentOf(central.process->processId());

  // No loss in the steady run: what each site holds, the central store holds.
  const double settled = waitUntilSent(http, sites, steadyTo, 120s);
  const Held steady = heldOver(http, sites, central, steadyFrom, steadyTo, sites.size());
  Sending sent;
  for (const PrometheusServer& site : sites) {
    const Sending s = sendingOf(http, site);
    sent.sent += s.sent;
    sent.failed += s.failed;
    sent.retried += s.retried;
    sent.dropped += s.dropped;
    sent.pending += s.pending;
  }
  const double received =
      exposed(metricsOf(http, central.port), "vm_rows_inserted_total{type=\"promremotewrite\"}");

  // The global query, across all sites, at the central store.
  QElapsedTimer globalTook;
  globalTook.start();
  const QJsonArray perSite =
      query(http, central.port, QStringLiteral("count by (site) (up{job=\"brinewatch\"} == 1)"));
  const double globalMs = static_cast<double>(globalTook.elapsed());
  const double recordsAll = scalarOf(
      query(http, central.port, QStringLiteral("sum(brinewatch_log_records_written_total)")));

  // The central store stopped for a while and started again: the sites'
  // write-ahead logs deliver the gap.
  const double outageFrom = nowSeconds();
  central.process->terminate();
  central.process->waitForFinished(30000);
  double mostPending = 0;
  for (int s = 0; s < o.outageSeconds; s += 5) {
    pause(5s);
    double pending = 0;
    for (const PrometheusServer& site : sites) pending += sendingOf(http, site).pending;
    mostPending = std::max(mostPending, pending);
  }
  const bool restarted = startCentral(central, http);
  const double outageTo = nowSeconds();
  const double outageCheckedTo = outageTo + 2.0 * o.scrapeSeconds;
  const double caughtUp = restarted ? waitUntilSent(http, sites, outageCheckedTo, 300s) : -1;
  const Held outage =
      restarted ? heldOver(http, sites, central, outageFrom - 30, outageCheckedTo, sites.size())
                : Held{};

  // One site Prometheus killed and started again.
  const double killedAt = nowSeconds();
  sites[0].process->kill();
  sites[0].process->waitForFinished(10000);
  pause(20s);
  const bool siteBack = startPrometheus(sites[0], o.prometheus);
  const double killCheckedTo = nowSeconds() + 2.0 * o.scrapeSeconds;
  const double siteCaughtUp = siteBack ? waitUntilSent(http, sites, killCheckedTo, 300s) : -1;
  const Held kill =
      siteBack ? heldOver(http, sites, central, killedAt - 60, killCheckedTo, 1) : Held{};

  int failed = 0;
  for (std::size_t i = 0; i < loggers.size(); ++i)
    if (!loggers[i].failure.isEmpty()) {
      ++failed;
      std::printf("logger %zu FAILED: %s\n", i, qPrintable(loggers[i].failure));
    }
  std::printf("\nsteady run of %.0f s: the sites had sent all they held %.0f s after it\n", seconds,
              settled);
  printHeld("samples of the loggers in the steady run", steady);
  std::printf(
      "remote write, the sites' own counters: %.0f samples sent, %.0f failed, %.0f retried, "
      "%.0f dropped, %.0f pending; the central store's: %.0f rows received by remote "
      "write\n",
      sent.sent, sent.failed, sent.retried, sent.dropped, sent.pending, received);
  std::sort(delays.begin(), delays.end());
  if (!delays.empty())
    std::printf(
        "delay from a record in a log to the central store (%zu records): median %.1f s, "
        "max %.1f s (a scrape every %d s, then remote write's batch of up to 5 s)\n",
        delays.size(), bw::bench::median(delays), delays.back(), o.scrapeSeconds);
  std::printf("global query at the central store, loggers up by site (%.0f ms):", globalMs);
  for (const QJsonValue& v : perSite)
    std::printf(
        " %s %.0f",
        qPrintable(
            v.toObject()[QStringLiteral("metric")].toObject()[QStringLiteral("site")].toString()),
        valueOf(v));
  std::printf("; records in all logs %.0f\n", recordsAll);
  std::printf(
      "\ncentral store stopped for %.0f s: at most %.0f samples pending at the sites; "
      "%s, all sent %.0f s after it came back\n",
      outageTo - outageFrom, mostPending, restarted ? "started again" : "DID NOT START", caughtUp);
  if (restarted) printHeld("samples from 30 s before the stop to now", outage);
  std::printf("\nsite-0 killed (SIGKILL) for 20 s and started again: %s, all sent %.0f s after\n",
              siteBack ? "it came back" : "IT DID NOT START", siteCaughtUp);
  if (siteBack)
    printHeld(
        "samples of site-0 from 60 s before the kill to now (its own gap of 20 s is in "
        "both)",
        kill);

  std::printf("\n");
  printLoggerFigures(figures, o.loggers - failed);
  for (std::size_t i = 0; i < sites.size(); ++i)
    std::printf(
        "site-%zu Prometheus: CPU %.1f %% of a core, resident %.1f MiB (proportional "
        "%.1f)\n",
        i, siteCpu[i], mib(siteMemory[i].rss), mib(siteMemory[i].pss));
  std::printf("central store: CPU %.1f %% of a core, resident %.1f MiB (proportional %.1f)\n",
              centralCpu, mib(centralMemory.rss), mib(centralMemory.pss));
  std::printf("simulators (%zu): CPU %.1f %% of a core together\n", simulators.size(),
              simulatorCpu);
  bw::bench::printSummary("tiers loggers_failed", failed, "", 0.5, "0");
  bw::bench::printSummary("tiers samples_missing_steady", steady.missing(), "", 0.5, "0");
  bw::bench::printSummary("tiers samples_missing_after_central_outage",
                          restarted ? outage.missing() : 1e9, "", 0.5, "0");
  bw::bench::printSummary("tiers samples_missing_after_site_kill", siteBack ? kill.missing() : 1e9,
                          "", 0.5, "0");
  bw::bench::printSummary("tiers delay_to_central_max", delays.empty() ? 1e9 : delays.back(), "s",
                          2.0 * o.scrapeSeconds + 10, "< 2 scrapes + 10 s");

  for (PrometheusServer& site : sites) site.process->terminate();
  for (PrometheusServer& site : sites) site.process->waitForFinished(20000);
  central.process->terminate();
  central.process->waitForFinished(20000);
  return 0;
}

}  // namespace
