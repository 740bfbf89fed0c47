// A site of many tanks: N brinewatchd loggers, each polling 16 sensors of the
// simulated adapter at its 750 ms conversion time, scraped every few seconds
// by a real Prometheus on loopback for the whole run. Prints the scrapes
// that failed, for each logger the records Prometheus counted against the
// lines in its log, CPU and resident memory per logger, and Prometheus's own.
// Each logger binds a free port of its own and says which in its start
// message; one that ends, or whose log stays empty, is a failure of its own,
// named in the output, and is not compared.
//
// Counting the records exactly needs a moment when no logger writes: at the
// end the adapter stops answering, so each logger's cycle takes 16 queries
// of 5 s; once a log has been still for two scrapes and more, its last
// record is in Prometheus, and the two counts are read together.
//
//   bench_load [--loggers N] [--minutes M] [--scrape-seconds S] [--prometheus PATH]

#include "AdapterSimulator.h"
#include "BenchSupport.h"

#include <QCoreApplication>
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
#include <cstdio>
#include <memory>
#include <vector>

#include "site/Site.h"

namespace {

using namespace std::chrono_literals;

struct Options {
  int loggers = 100;
  int minutes = 10;
  int scrapeSeconds = 5;
  QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
};

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

int lineCount(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : -1;
}

// One instant query of Prometheus's HTTP API: the result vector.
QJsonArray query(QNetworkAccessManager& http, quint16 port, const QString& promql) {
  QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(port));
  QUrlQuery parameters;
  parameters.addQueryItem(QStringLiteral("query"), promql);
  url.setQuery(parameters);
  QNetworkReply* reply = http.get(QNetworkRequest(url));
  QEventLoop wait;
  QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
  wait.exec();
  const QJsonDocument answer = QJsonDocument::fromJson(reply->readAll());
  reply->deleteLater();
  return answer.object()
      .value(QStringLiteral("data"))
      .toObject()
      .value(QStringLiteral("result"))
      .toArray();
}

double scalarOf(const QJsonArray& result) {
  if (result.isEmpty()) return -1;
  return result.first()
      .toObject()
      .value(QStringLiteral("value"))
      .toArray()
      .at(1)
      .toString()
      .toDouble();
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
};

void pause(std::chrono::milliseconds time) {
  QEventLoop wait;
  QTimer::singleShot(time, &wait, &QEventLoop::quit);
  wait.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == u"--loggers")
      o.loggers = args[i + 1].toInt();
    else if (args[i] == u"--minutes")
      o.minutes = args[i + 1].toInt();
    else if (args[i] == u"--scrape-seconds")
      o.scrapeSeconds = args[i + 1].toInt();
    else if (args[i] == u"--prometheus")
      o.prometheus = args[i + 1];
  }
  if (o.prometheus.isEmpty()) {
    std::printf("bench_load: no prometheus (Debian: prometheus); nothing measured\n");
    return 0;
  }
  QTemporaryDir dir;
  bw::sim::AdapterSimulator::Options simOptions;
  simOptions.conversionTime = 750ms;
  simOptions.requestLogCapacity = 0;
  bw::sim::AdapterSimulator adapter(simOptions);
  if (!adapter.start()) return 1;

  std::vector<Logger> loggers(static_cast<std::size_t>(o.loggers));
  QString targets;
  for (int i = 0; i < o.loggers; ++i) {
    Logger& l = loggers[static_cast<std::size_t>(i)];
    l.log = dir.filePath(QStringLiteral("tank-%1.log").arg(i));
    l.err = dir.filePath(QStringLiteral("logger-%1.err").arg(i));
    QFile site(dir.filePath(QStringLiteral("site-%1.toml").arg(i)));
    site.open(QIODevice::WriteOnly);
    // Each logger binds a free port itself and says which: a port picked
    // here and closed again could be handed to two of them.
    site.write(QStringLiteral("adapter = \"%1\"\nlog = \"%2\"\nmetrics = \"127.0.0.1:0\"\n")
                   .arg(adapter.host(), l.log)
                   .toUtf8());
    for (int slot = 1; slot <= bw::kSiteSlots; ++slot)
      site.write(QStringLiteral("[[sensor]]\nslot = %1\nrom = \"%2\"\n")
                     .arg(slot)
                     .arg(QLatin1String(
                         bw::kBuiltInRomCodes[static_cast<std::size_t>(slot - 1)].data(), 16))
                     .toUtf8());
    site.close();
    l.process = std::make_unique<QProcess>();
    l.process->setStandardOutputFile(QProcess::nullDevice());
    l.process->setStandardErrorFile(l.err);
    l.process->start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), site.fileName()});
  }
  // Each logger's port, from its start message; one that ends or keeps
  // silent first has failed on its own.
  {
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
  for (const Logger& l : loggers)
    if (l.metricsPort)
      targets += QStringLiteral("%1\"127.0.0.1:%2\"")
                     .arg(targets.isEmpty() ? QString() : QStringLiteral(", "))
                     .arg(l.metricsPort);

  const quint16 prometheusPort = freePort();
  QFile config(dir.filePath(QStringLiteral("prometheus.yml")));
  config.open(QIODevice::WriteOnly);
  config.write(QStringLiteral("global:\n  scrape_interval: %1s\n  scrape_timeout: %2s\n"
                              "scrape_configs:\n  - job_name: brinewatch\n"
                              "    static_configs:\n      - targets: [%3]\n")
                   .arg(o.scrapeSeconds)
                   .arg(std::max(1, o.scrapeSeconds - 1))
                   .arg(targets)
                   .toUtf8());
  config.close();
  QProcess prometheus;
  prometheus.setStandardOutputFile(QProcess::nullDevice());
  prometheus.setStandardErrorFile(dir.filePath(QStringLiteral("prometheus.err")));
  prometheus.start(o.prometheus,
                   {QStringLiteral("--config.file=") + config.fileName(),
                    QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("tsdb")),
                    QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort),
                    QStringLiteral("--log.level=warn")});
  if (!prometheus.waitForStarted()) return 1;
  QNetworkAccessManager http;

  std::printf(
      "%d loggers x %d sensors at 750 ms per query, scraped every %d s for %d min "
      "(%d cores)\n",
      o.loggers, bw::kSiteSlots, o.scrapeSeconds, o.minutes, QThread::idealThreadCount());
  pause(30s);  // everyone started and scraped
  for (Logger& l : loggers) l.cpuAtStart = bw::bench::treeCpuSeconds(l.process->processId());
  const double prometheusCpuAtStart = bw::bench::treeCpuSeconds(prometheus.processId());
  QElapsedTimer measured;
  measured.start();
  for (int minute = 1; minute <= o.minutes; ++minute) {
    pause(60s);
    std::printf("  minute %d of %d\n", minute, o.minutes);
    std::fflush(stdout);
  }
  const double seconds = static_cast<double>(measured.elapsed()) / 1000.0;
  for (Logger& l : loggers) {
    if (!l.failure.isEmpty()) continue;
    if (l.process->state() == QProcess::NotRunning) {
      l.failure = QStringLiteral("ended during the run (status %1): %2")
                      .arg(l.process->exitCode())
                      .arg(lastLine(l.err));
      continue;
    }
    l.cpuPercent =
        100.0 * (bw::bench::treeCpuSeconds(l.process->processId()) - l.cpuAtStart) / seconds;
    l.memory = residentOf(l.process->processId());
  }
  const double prometheusCpu =
      100.0 * (bw::bench::treeCpuSeconds(prometheus.processId()) - prometheusCpuAtStart) / seconds;
  const Resident prometheusMemory = residentOf(prometheus.processId());
  const QString window = QStringLiteral("%1s").arg(static_cast<int>(seconds));
  const double scrapes = scalarOf(
      query(http, prometheusPort,
            QStringLiteral("sum(count_over_time(up{job=\"brinewatch\"}[%1]))").arg(window)));
  const double good =
      scalarOf(query(http, prometheusPort,
                     QStringLiteral("sum(sum_over_time(up{job=\"brinewatch\"}[%1]))").arg(window)));

  // The adapter goes quiet; each log is compared once it has been still for
  // more than two scrapes.
  for (int slot = 0; slot < bw::kSiteSlots; ++slot)
    adapter.setFault(slot, bw::sim::Fault::NoAnswer);
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
          query(http, prometheusPort,
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
  std::vector<double> cpu, rss, pss;
  std::printf("\n%-8s %10s %10s %8s %9s %9s\n", "logger", "counted", "lines", "CPU %", "RSS MiB",
              "PSS MiB");
  for (std::size_t i = 0; i < loggers.size(); ++i) {
    const Logger& l = loggers[i];
    if (!l.failure.isEmpty()) {
      ++failed;
      std::printf("%-8zu FAILED: %s\n", i, qPrintable(l.failure));
      continue;
    }
    equal += l.counted == l.lines;
    cpu.push_back(l.cpuPercent);
    rss.push_back(static_cast<double>(l.memory.rss) / 1024.0);
    pss.push_back(static_cast<double>(l.memory.pss) / 1024.0);
    std::printf("%-8zu %10.0f %10d %8.2f %9.1f %9.1f\n", i, l.counted, l.lines, l.cpuPercent,
                rss.back(), pss.back());
  }
  if (cpu.empty()) cpu = rss = pss = {0.0};
  const auto [cpuMin, cpuMax] = std::minmax_element(cpu.begin(), cpu.end());
  const auto [rssMin, rssMax] = std::minmax_element(rss.begin(), rss.end());
  const auto [pssMin, pssMax] = std::minmax_element(pss.begin(), pss.end());
  std::printf("\nscrapes: %.0f, failed %.0f\n", scrapes, scrapes - good);
  std::printf("loggers that failed on their own (ended, or an empty log): %d of %d\n", failed,
              o.loggers);
  std::printf("records counted by Prometheus equal to the log's lines: %d of the %d others\n",
              equal, o.loggers - failed);
  std::printf("logger CPU %% of a core: min %.2f, median %.2f, max %.2f\n", *cpuMin,
              bw::bench::median(cpu), *cpuMax);
  std::printf(
      "logger resident MiB: min %.1f, median %.1f, max %.1f; proportional share: min %.1f, "
      "median %.1f, max %.1f\n",
      *rssMin, bw::bench::median(rss), *rssMax, *pssMin, bw::bench::median(pss), *pssMax);
  std::printf("Prometheus: CPU %.1f %% of a core, resident %.1f MiB (proportional %.1f)\n",
              prometheusCpu, static_cast<double>(prometheusMemory.rss) / 1024.0,
              static_cast<double>(prometheusMemory.pss) / 1024.0);
  bw::bench::printSummary("load failed_scrapes", scrapes - good, "", 0.5, "0");
  bw::bench::printSummary("load loggers_failed", failed, "", 0.5, "0");
  bw::bench::printSummary("load loggers_whose_count_differs", o.loggers - failed - equal, "", 0.5,
                          "0");
  bw::bench::printSummary("load logger_cpu_max", *cpuMax, "%", 1.0, "< 1");
  bw::bench::printSummary("load logger_rss_max", *rssMax, "MiB", 20.0, "< 20");
  bw::bench::printSummary("load logger_pss_max", *pssMax, "MiB", 20.0, "< 20");

  for (Logger& l : loggers) l.process->terminate();
  for (Logger& l : loggers) l.process->waitForFinished(10000);
  prometheus.terminate();
  prometheus.waitForFinished(20000);
  return 0;
}
