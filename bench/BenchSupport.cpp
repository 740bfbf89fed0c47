#include "BenchSupport.h"

#include <QProcess>

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>

#include <sys/resource.h>
#include <unistd.h>

namespace bw::bench {

namespace {

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double usageSeconds(int who) {
  rusage usage{};
  if (getrusage(who, &usage) != 0) return 0.0;
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QByteArray readSmallFile(const QString& path) {
  QFile file(path);
  // /proc files report size 0: read until the end instead of trusting it.
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

std::optional<ProcStat> parseProcStat(const QByteArray& line, double ticksPerSecond) {
  const qsizetype open = line.indexOf('(');
  const qsizetype close = line.lastIndexOf(')');
  if (open <= 0 || close < open || close + 2 > line.size()) return std::nullopt;
  bool ok = false;
  ProcStat stat;
  stat.pid = line.left(open).trimmed().toLong(&ok);
  if (!ok) return std::nullopt;
  stat.name = line.mid(open + 1, close - open - 1);
  // After the name: state(0) ppid(1) ... utime(11) stime(12) ... rss(21).
  const QList<QByteArray> fields = line.mid(close + 2).trimmed().split(' ');
  constexpr int kRssField = 21;
  if (fields.size() <= kRssField) return std::nullopt;
  bool ppidOk = false, userOk = false, systemOk = false, rssOk = false;
  stat.ppid = fields[1].toLong(&ppidOk);
  const double user = fields[11].toDouble(&userOk);
  const double system = fields[12].toDouble(&systemOk);
  stat.rssPages = fields[kRssField].toLongLong(&rssOk);
  if (!ppidOk || !userOk || !systemOk || !rssOk || ticksPerSecond <= 0) return std::nullopt;
  stat.cpuSeconds = (user + system) / ticksPerSecond;
  return stat;
}

std::vector<ProcStat> readAllProcesses() {
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  std::vector<ProcStat> all;
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (const QString& entry : entries) {
    bool isPid = false;
    entry.toLong(&isPid);
    if (!isPid) continue;
    // A process may end between the listing and the read; it is then left out.
    if (auto stat = parseProcStat(readSmallFile(QStringLiteral("/proc/%1/stat").arg(entry)), ticks))
      all.push_back(*stat);
  }
  return all;
}

std::vector<ProcStat> processTree(long root, const std::vector<ProcStat>& all) {
  std::multimap<long, const ProcStat*> children;
  const ProcStat* top = nullptr;
  for (const ProcStat& p : all) {
    children.emplace(p.ppid, &p);
    if (p.pid == root) top = &p;
  }
  std::vector<ProcStat> tree;
  if (!top) return tree;
  std::vector<const ProcStat*> todo{top};
  while (!todo.empty()) {
    const ProcStat* p = todo.back();
    todo.pop_back();
    tree.push_back(*p);
    const auto [first, last] = children.equal_range(p->pid);
    // pid 0 is nobody's child; a self-parented entry must not loop.
    for (auto it = first; it != last; ++it)
      if (it->second->pid != p->pid) todo.push_back(it->second);
  }
  return tree;
}

double cpuSeconds(const std::vector<ProcStat>& processes) {
  double total = 0.0;
  for (const ProcStat& p : processes) total += p.cpuSeconds;
  return total;
}

double treeCpuSeconds(long root) {
  return cpuSeconds(processTree(root, readAllProcesses()));
}

std::optional<qint64> parseStatusKiB(const QByteArray& status, const QByteArray& field) {
  const QByteArray key = field + ':';
  for (const QByteArray& line : status.split('\n')) {
    if (!line.startsWith(key)) continue;
    QByteArray value = line.mid(key.size()).trimmed();
    if (!value.endsWith(" kB")) return std::nullopt;
    value.chop(3);
    bool ok = false;
    const qint64 kib = value.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(kib) : std::nullopt;
  }
  return std::nullopt;
}

qint64 selfRssKiB() {
  return parseStatusKiB(readSmallFile(QStringLiteral("/proc/self/status")), "VmRSS").value_or(-1);
}

qint64 descendantsRssKiB() {
  const qint64 pageKiB = sysconf(_SC_PAGESIZE) / 1024;
  const long self = static_cast<long>(getpid());
  qint64 total = 0;
  for (const ProcStat& p : processTree(self, readAllProcesses()))
    if (p.pid != self) total += p.rssPages * pageKiB;
  return total;
}

double threadCpuSeconds() {
  return usageSeconds(RUSAGE_THREAD);
}

double processCpuSeconds() {
  return usageSeconds(RUSAGE_SELF);
}

double reapedChildrenCpuSeconds() {
  return usageSeconds(RUSAGE_CHILDREN);
}

qint64 monotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

std::map<std::string, double> parseStamps(const QByteArray& output, qint64 startedNs) {
  const QByteArray prefix = "stamp ";
  std::map<std::string, double> at;
  for (const QByteArray& line : output.split('\n')) {
    if (!line.startsWith(prefix)) continue;
    const qsizetype space = line.lastIndexOf(' ');
    bool ok = false;
    const qint64 ns = line.mid(space + 1).trimmed().toLongLong(&ok);
    if (!ok || space <= prefix.size()) continue;
    at[line.mid(prefix.size(), space - prefix.size()).toStdString()] =
        static_cast<double>(ns - startedNs) / 1e6;
  }
  return at;
}

int countRequestLines(const QByteArray& log) {
  return static_cast<int>(log.count("\nGET ")) + (log.startsWith("GET ") ? 1 : 0);
}

QString platformName() {
  const QString set = qEnvironmentVariable("QT_QPA_PLATFORM");
  QString name = set.isEmpty() ? QStringLiteral("default") : set;
  // Start-up differs with it, so the figures must say so.
  const QString gl = qEnvironmentVariable("QT_XCB_GL_INTEGRATION");
  if (!gl.isEmpty()) name += QStringLiteral(" (GL integration %1)").arg(gl);
  return name;
}

void printSummary(const char* what, double value, const char* unit, double target,
                  const char* targetText) {
  std::printf("summary: %s = %.3g %s (target %s: %s)\n", what, value, unit, targetText,
              value < target ? "met" : "MISSED");
  std::fflush(stdout);
}

QString startSimulatorProcess(QProcess& process, const QString& program,
                              std::chrono::milliseconds timeout) {
  process.start(program, {QStringLiteral("--port"), QStringLiteral("0"),
                          QStringLiteral("--conversion-ms"), QStringLiteral("0")});
  return simulatorHost(process, timeout);
}

QByteArray loadAverage() {
  const QList<QByteArray> fields = readSmallFile(QStringLiteral("/proc/loadavg")).split(' ');
  return fields.mid(0, 3).join(' ');
}

QString simulatorHost(QProcess& process, std::chrono::milliseconds timeout) {
  const QByteArray marker = "listening on ";
  Stopwatch clock;
  QByteArray out;
  while (clock.elapsed() < timeout) {
    process.waitForReadyRead(100);
    out += process.readAllStandardOutput();
    const qsizetype at = out.indexOf(marker);
    const qsizetype end = out.indexOf('\n', at);
    if (at >= 0 && end > at)
      return QString::fromLatin1(out.mid(at + marker.size(), end - at - marker.size())).trimmed();
    if (process.state() == QProcess::NotRunning) break;
  }
  return {};
}

}  // namespace bw::bench
