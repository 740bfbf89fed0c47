#pragma once

// Measuring helpers shared by the benchmark programs: CPU time of a thread,
// of reaped children or of a whole process tree, resident memory, a
// monotonic clock that agrees across processes, and the summary lines that
// bench/run-all collects.

#include <QByteArray>
#include <QString>

class QProcess;
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bw::bench {

// One line of /proc/<pid>/stat, the fields the benchmarks use.
struct ProcStat {
  long pid = 0;
  long ppid = 0;
  QByteArray name;          // as the kernel keeps it, at most 15 characters
  double cpuSeconds = 0.0;  // utime + stime
  qint64 rssPages = 0;
};

// Parses a stat line. The name sits in parentheses and may itself hold
// blanks and parentheses, so the fields are counted from the last ')'.
std::optional<ProcStat> parseProcStat(const QByteArray& line, double ticksPerSecond);

// Every process this one may read, in no particular order.
std::vector<ProcStat> readAllProcesses();

// `root` and every process below it in `all`.
std::vector<ProcStat> processTree(long root, const std::vector<ProcStat>& all);
double cpuSeconds(const std::vector<ProcStat>& processes);

// CPU seconds of a live process tree, read now from /proc.
double treeCpuSeconds(long root);

// A "Name:   value kB" field of /proc/<pid>/status, in KiB.
std::optional<qint64> parseStatusKiB(const QByteArray& status, const QByteArray& field);
// VmRSS of this process in KiB; -1 when it cannot be read.
qint64 selfRssKiB();
// Resident memory of the processes below this one (the browser engine's
// helpers), in KiB.
qint64 descendantsRssKiB();

// getrusage figures in seconds, user + system.
double threadCpuSeconds();
double processCpuSeconds();
double reapedChildrenCpuSeconds();

// CLOCK_MONOTONIC in nanoseconds: one clock for every process on the
// machine, so a parent and its child can compare their stamps.
qint64 monotonicNs();

double median(std::vector<double> values);

// The "stamp NAME NANOSECONDS" lines of a child's output, as milliseconds
// after `startedNs`; a name may hold blanks. Other lines and stamps whose
// time cannot be read are left out.
std::map<std::string, double> parseStamps(const QByteArray& output, qint64 startedNs);

// Request lines ("GET ...") in the simulator's --log-requests output.
int countRequestLines(const QByteArray& log);

// The Qt platform plugin a child started now would use, with a GL
// integration override if one is set.
QString platformName();

// One line for bench/run-all: "summary: WHAT = VALUE UNIT (target ...: met)".
// A missed target is reported, never turned into a failing exit code.
void printSummary(const char* what, double value, const char* unit, double target,
                  const char* targetText);

inline double toSeconds(std::chrono::nanoseconds d) {
  return std::chrono::duration<double>(d).count();
}

// Time since construction or restart(), on the steady clock.
class Stopwatch {
 public:
  void restart() { start_ = std::chrono::steady_clock::now(); }
  std::chrono::nanoseconds elapsed() const { return std::chrono::steady_clock::now() - start_; }
  double seconds() const { return toSeconds(elapsed()); }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Starts the simulator program at `program` on a free port with no
// conversion time and returns the host it reports ("127.0.0.1:PORT"), or an
// empty text when it did not report one within `timeout`.
QString startSimulatorProcess(QProcess& process, const QString& program,
                              std::chrono::milliseconds timeout);
// The host a simulator process already started reports, as above.
QString simulatorHost(QProcess& process, std::chrono::milliseconds timeout);

// The first three fields of /proc/loadavg.
QByteArray loadAverage();

}  // namespace bw::bench
