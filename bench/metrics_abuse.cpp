// The metrics endpoint of a real brinewatchd under abuse. The logger polls
// 16 sensors of the simulated adapter at 750 ms per query, with 1024 files
// at most as a service would have, and pings a watchdog on a notification
// socket this program owns. For each abuse in turn (none, 1,100 idle
// connections, a 600 MB header, 100,000 pipelined requests never read), for
// a minute each, it prints the log lines per minute against the undisturbed
// pace, the logger's resident memory before, at its peak and after, its CPU,
// the time a well-behaved scrape takes and the largest gap between watchdog
// pings.
//
// The abusers connect from 127.0.0.2 to 127.0.0.9, the good scraper from
// 127.0.0.1, as Prometheus would from a host of its own.
//
//   bench_metrics_abuse [--seconds S]   (per abuse, 60 by default)

#include "BenchOptions.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "site/Site.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

quint16 freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
  socklen_t length = sizeof at;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
  ::close(fd);
  return ntohs(at.sin_port);
}

// A non-blocking connection to 127.0.0.1:port from 127.0.0.`from`; -1 when
// none can be made.
int connectFrom(int from, quint16 port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<uint32_t>(from - 1));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Whether the peer has closed `fd` (or reset it); reads and drops what came.
bool peerClosed(int fd) {
  char buffer[65536];
  for (int i = 0; i < 64; ++i) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return true;
    if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
  }
  return false;
}

qint64 residentKiB(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  return bw::bench::parseStatusKiB(status.readAll(), "VmRSS").value_or(-1);
}

// A scrape as Prometheus makes it; its time, or a negative one when it
// failed or took more than 5 s.
double goodScrape(quint16 port) {
  const auto start = Clock::now();
  const auto end = start + 5s;
  const int fd = connectFrom(1, port);
  if (fd < 0) return -1;
  const std::string request =
      "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/plain\r\nConnection: close\r\n\r\n";
  std::size_t sent = 0;
  std::string answer;
  bool closed = false;
  while (Clock::now() < end && !closed) {
    pollfd p{fd, static_cast<short>(POLLIN | (sent < request.size() ? POLLOUT : 0)), 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    if ((p.revents & POLLOUT) && sent < request.size()) {
      const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n < 0) break;
      sent += static_cast<std::size_t>(n);
    }
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[65536];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0)
        closed = true;
      else
        answer.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  const bool whole = closed && answer.rfind("HTTP/1.1 200 ", 0) == 0 &&
                     answer.find("\nprocess_start_time_seconds ") != std::string::npos;
  return whole ? secondsBetween(start, Clock::now()) : -1;
}

// The abuses. Each runs until `stop` or its deadline, bounded in count too,
// and returns a line on what it did.
using Abuse = std::function<std::string(quint16 port, const std::atomic<bool>& stop,
                                        Clock::time_point deadline)>;

std::string idleConnections(quint16 port, const std::atomic<bool>& stop,
                            Clock::time_point deadline) {
  constexpr int kConnections = 1100;
  std::vector<int> fds(kConnections, -1);
  long opened = 0, closedByServer = 0;
  auto lastOpen = Clock::time_point{};
  while (!stop && Clock::now() < deadline) {
    if (Clock::now() - lastOpen >= 1s) {  // those closed are opened again, once a second
      lastOpen = Clock::now();
      for (int i = 0; i < kConnections; ++i)
        if (fds[static_cast<std::size_t>(i)] < 0) {
          fds[static_cast<std::size_t>(i)] = connectFrom(2 + i % 8, port);
          opened += fds[static_cast<std::size_t>(i)] >= 0;
        }
    }
    std::vector<pollfd> polled;
    for (int fd : fds)
      if (fd >= 0) polled.push_back({fd, POLLIN, 0});
    if (::poll(polled.data(), polled.size(), 100) <= 0) continue;
    for (const pollfd& p : polled)
      if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && peerClosed(p.fd)) {
        ::close(p.fd);
        *std::find(fds.begin(), fds.end(), p.fd) = -1;
        ++closedByServer;
      }
  }
  int stillOpen = 0;
  for (int fd : fds)
    if (fd >= 0) ++stillOpen, ::close(fd);
  return QStringLiteral("%1 connections opened, %2 closed by the logger, %3 open at the end")
      .arg(opened)
      .arg(closedByServer)
      .arg(stillOpen)
      .toStdString();
}

// Sends `head` then `fill` over and over, on one connection after another
// as the logger closes each, until `total` bytes are sent; then holds the
// last connection, reading nothing, until the logger closes it.
std::string stream(quint16 port, const std::atomic<bool>& stop, Clock::time_point deadline,
                   const std::string& head, const std::string& fill, long long total) {
  long long sent = 0;
  long connections = 0;
  std::string held;
  while (!stop && Clock::now() < deadline && sent < total) {
    const int fd = connectFrom(2, port);
    if (fd < 0) {
      std::this_thread::sleep_for(10ms);
      continue;
    }
    ++connections;
    std::size_t offset = 0;
    const std::string* part = &head;
    while (!stop && Clock::now() < deadline && sent < total) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if (p.revents & (POLLHUP | POLLERR)) break;
      const std::size_t size =
          std::min<std::size_t>(part->size() - offset, static_cast<std::size_t>(total - sent));
      const ssize_t n = ::send(fd, part->data() + offset, size, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) continue;
        break;  // closed by the logger
      }
      sent += n;
      offset += static_cast<std::size_t>(n);
      if (offset == part->size()) offset = 0, part = &fill;
    }
    if (sent >= total) {
      const auto since = Clock::now();
      bool closed = false;
      while (!stop && Clock::now() < deadline && !closed) {
        pollfd p{fd, POLLRDHUP, 0};
        closed = ::poll(&p, 1, 100) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
      }
      held = closed ? QStringLiteral(", the last closed by the logger %1 s after it was sent")
                          .arg(secondsBetween(since, Clock::now()), 0, 'f', 1)
                          .toStdString()
                    : std::string(", the last still open at the end");
    }
    ::close(fd);
  }
  return QStringLiteral("%1 MB sent on %2 connections")
             .arg(static_cast<double>(sent) / 1e6, 0, 'f', 1)
             .arg(connections)
             .toStdString() +
         held;
}

std::string hugeHeader(quint16 port, const std::atomic<bool>& stop, Clock::time_point deadline) {
  return stream(port, stop, deadline,
                "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: ", std::string(64 * 1024, 'a'),
                600'000'000LL);
}

std::string unreadPipeline(quint16 port, const std::atomic<bool>& stop,
                           Clock::time_point deadline) {
  const std::string request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::string many;
  for (int i = 0; i < 1000; ++i) many += request;
  return stream(port, stop, deadline, many, many,
                100'000LL * static_cast<long long>(request.size())) +
         " (100,000 requests at most, none of the answers read)";
}

// What the logger's notification socket hears: the watchdog's pings.
class NotifySocket {
 public:
  explicit NotifySocket(const QString& path) : path_(path.toStdString()) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    std::snprintf(at.sun_path, sizeof at.sun_path, "%s", path_.c_str());
    ::bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    reader_ = std::thread([this] { read(); });
  }
  ~NotifySocket() {
    stop_ = true;
    reader_.join();
    ::close(fd_);
  }
  bool ready() const { return ready_; }
  std::vector<Clock::time_point> pings() {
    std::lock_guard lock(mutex_);
    return pings_;
  }

 private:
  void read() {
    char buffer[4096];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer - 1, 0);
      if (n <= 0) continue;
      const std::string message(buffer, static_cast<std::size_t>(n));
      if (message.find("READY=1") != std::string::npos) ready_ = true;
      if (message.find("WATCHDOG=1") != std::string::npos) {
        std::lock_guard lock(mutex_);
        pings_.push_back(Clock::now());
      }
    }
  }

  std::string path_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ready_{false};
  std::mutex mutex_;
  std::vector<Clock::time_point> pings_;
  std::thread reader_;
};

// When each line of the log came, watched every 20 ms.
class LineWatch {
 public:
  explicit LineWatch(const QString& path) : path_(path) {
    watcher_ = std::thread([this] { watch(); });
  }
  ~LineWatch() {
    stop_ = true;
    watcher_.join();
  }
  std::vector<Clock::time_point> lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  void watch() {
    QFile file(path_);
    while (!stop_) {
      std::this_thread::sleep_for(20ms);
      if (!file.isOpen() && !file.open(QIODevice::ReadOnly)) continue;
      const QByteArray more = file.readAll();
      const auto now = Clock::now();
      std::lock_guard lock(mutex_);
      for (qsizetype i = 0; i < more.count('\n'); ++i) lines_.push_back(now);
    }
  }

  QString path_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Clock::time_point> lines_;
  std::thread watcher_;
};

// The mean time between the events that came in [from, to], the first
// counted from the one before it.
double meanInterval(const std::vector<Clock::time_point>& events, Clock::time_point from,
                    Clock::time_point to) {
  std::vector<Clock::time_point> counted;
  for (const auto& t : events) {
    if (t < from && !counted.empty()) counted.pop_back();
    if (t <= to) counted.push_back(t);
  }
  if (counted.size() < 2) return -1;
  return secondsBetween(counted.front(), counted.back()) / static_cast<double>(counted.size() - 1);
}

// The largest gap between the events, counting from `from` to `to`.
double largestGap(const std::vector<Clock::time_point>& events, Clock::time_point from,
                  Clock::time_point to) {
  double gap = 0;
  auto last = from;
  for (const auto& t : events)
    if (t > from && t <= to) gap = std::max(gap, secondsBetween(last, t)), last = t;
  return std::max(gap, secondsBetween(last, to));
}

struct Figures {
  const char* name;
  std::string what;
  double lineInterval = -1;                         // s
  double queryInterval = -1;                        // s
  double rssBefore = 0, rssPeak = 0, rssAfter = 0;  // MiB
  double cpu = 0;                                   // % of a core
  double scrapeMedian = -1, scrapeMax = -1;         // s
  int scrapes = 0, scrapesFailed = 0;
  double watchdogGap = 0;  // s
};

}  // namespace

int main(int argc, char** argv) {
  bw::CommandLine line = bw::bench::numberOptions({{"seconds", "seconds measured, 10 to 600"}});
  line.parse(argc, argv);
  const int seconds = bw::bench::number(line, "seconds", 10, 600, 60);
  if (!line.ok()) return bw::bench::usageError(line, "bench_metrics_abuse");
  QCoreApplication app(argc, argv);

  // This side holds more than a thousand connections.
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = std::min<rlim_t>(files.rlim_max, 8192);
  ::setrlimit(RLIMIT_NOFILE, &files);

  QTemporaryDir dir;
  QProcess simulator;
  simulator.start(QStringLiteral(BRINEWATCH_ADAPTER_SIM),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--conversion-ms"),
                   QStringLiteral("750")});
  QString adapter;
  for (int i = 0; i < 100 && adapter.isEmpty(); ++i) {
    simulator.waitForReadyRead(100);
    const QByteArray out = simulator.readAllStandardOutput();
    const qsizetype at = out.indexOf("listening on ");
    if (at >= 0) adapter = QString::fromLatin1(out.mid(at + 13).split('\n').first()).trimmed();
  }
  if (adapter.isEmpty()) {
    std::printf("bench_metrics_abuse: the simulator did not start\n");
    return 1;
  }

  const quint16 port = freePort();
  const QString log = dir.filePath(QStringLiteral("brine.log"));
  QFile site(dir.filePath(QStringLiteral("site.toml")));
  site.open(QIODevice::WriteOnly);
  site.write(QStringLiteral("adapter = \"%1\"\nlog = \"%2\"\nmetrics = \"127.0.0.1:%3\"\n")
                 .arg(adapter, log)
                 .arg(port)
                 .toUtf8());
  for (int slot = 1; slot <= bw::kMaxReadings; ++slot)
    site.write(
        QStringLiteral("[[sensor]]\nslot = %1\nrom = \"%2\"\n")
            .arg(slot)
            .arg(QLatin1String(bw::kBuiltInRomCodes[static_cast<std::size_t>(slot - 1)].data(), 16))
            .toUtf8());
  site.close();

  NotifySocket notify(dir.filePath(QStringLiteral("notify")));
  QProcess logger;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
  // Pinged at most four times in the interval: with 2 s, after each query.
  environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000000"));
  environment.remove(QStringLiteral("WATCHDOG_PID"));
  logger.setProcessEnvironment(environment);
  logger.setChildProcessModifier([] {
    const rlimit service{1024, 1024};
    ::setrlimit(RLIMIT_NOFILE, &service);
  });
  logger.setStandardOutputFile(QProcess::nullDevice());
  logger.setStandardErrorFile(dir.filePath(QStringLiteral("logger.err")));
  logger.start(QStringLiteral(BRINEWATCHD), {QStringLiteral("--site"), site.fileName()});
  if (!logger.waitForStarted()) return 1;
  const qint64 pid = logger.processId();
  for (int i = 0; i < 300 && !notify.ready(); ++i) std::this_thread::sleep_for(100ms);
  if (!notify.ready()) {
    std::printf("bench_metrics_abuse: brinewatchd did not get ready\n");
    return 1;
  }
  LineWatch lines(log);
  std::printf(
      "brinewatchd, %d sensors at 750 ms per query, 1024 files; %d s per abuse (%d cores)\n",
      bw::kMaxReadings, seconds, std::thread::hardware_concurrency());
  std::fflush(stdout);
  std::this_thread::sleep_for(13s);  // a whole cycle in the log

  const std::vector<std::pair<const char*, Abuse>> abuses = {
      {"none", {}},
      {"1,100 idle connections", idleConnections},
      {"a 600 MB header", hugeHeader},
      {"100,000 unread pipelined", unreadPipeline},
  };
  std::vector<Figures> figures;
  for (const auto& [name, abuse] : abuses) {
    Figures f{name, {}};
    const auto from = Clock::now();
    const auto to = from + std::chrono::seconds(seconds);
    f.rssBefore = static_cast<double>(residentKiB(pid)) / 1024.0;
    f.rssPeak = f.rssBefore;
    const double cpuBefore = bw::bench::treeCpuSeconds(pid);
    std::atomic<bool> stop{false};
    std::string done;
    std::thread abuser;
    if (abuse) abuser = std::thread([&, abuse = abuse] { done = abuse(port, stop, to); });
    std::vector<double> scrapes;
    auto nextScrape = from + 1s;
    while (Clock::now() < to) {
      std::this_thread::sleep_for(250ms);
      f.rssPeak = std::max(f.rssPeak, static_cast<double>(residentKiB(pid)) / 1024.0);
      if (Clock::now() >= nextScrape) {
        nextScrape += 2s;
        const double took = goodScrape(port);
        ++f.scrapes;
        if (took < 0)
          ++f.scrapesFailed;
        else
          scrapes.push_back(took);
      }
    }
    const auto end = Clock::now();
    f.cpu = 100.0 * (bw::bench::treeCpuSeconds(pid) - cpuBefore) / secondsBetween(from, end);
    stop = true;
    if (abuser.joinable()) abuser.join();
    f.what = done;
    f.lineInterval = meanInterval(lines.lines(), from, end);
    f.queryInterval = meanInterval(notify.pings(), from, end);
    f.watchdogGap = largestGap(notify.pings(), from, end);
    if (!scrapes.empty()) {
      f.scrapeMedian = bw::bench::median(scrapes);
      f.scrapeMax = *std::max_element(scrapes.begin(), scrapes.end());
    }
    std::this_thread::sleep_for(3s);  // what the logger frees once the abuse ends
    f.rssAfter = static_cast<double>(residentKiB(pid)) / 1024.0;
    std::printf("  %s: done%s%s\n", name, f.what.empty() ? "" : ", ", f.what.c_str());
    std::fflush(stdout);
    figures.push_back(f);
  }

  const double basePace = figures.front().lineInterval;
  const double baseQuery = figures.front().queryInterval;
  std::printf("\n%-26s %9s %7s %7s %27s %6s %22s %9s\n", "abuse", "lines/min", "pace", "query",
              "RSS MiB before/peak/after", "CPU %", "good scrape ms med/max", "watchdog");
  double worstPace = 0, worstRss = 0, worstScrape = 0, worstGap = 0;
  for (const Figures& f : figures) {
    const double pace =
        basePace > 0 && f.lineInterval > 0 ? 100.0 * (basePace / f.lineInterval - 1.0) : 0.0;
    const double query =
        baseQuery > 0 && f.queryInterval > 0 ? 100.0 * (baseQuery / f.queryInterval - 1.0) : 0.0;
    std::printf(
        "%-26s %9.2f %+6.1f%% %+6.1f%% %9.1f /%7.1f /%7.1f %6.2f %10.1f /%6.1f (%d/%d) %7.2f s\n",
        f.name, f.lineInterval > 0 ? 60.0 / f.lineInterval : 0.0, pace, query, f.rssBefore,
        f.rssPeak, f.rssAfter, f.cpu, 1000.0 * f.scrapeMedian, 1000.0 * f.scrapeMax,
        f.scrapes - f.scrapesFailed, f.scrapes, f.watchdogGap);
    worstPace = std::max({worstPace, std::abs(pace), std::abs(query)});
    worstRss = std::max(worstRss, std::max(f.rssPeak, f.rssAfter) - f.rssBefore);
    worstScrape = std::max(worstScrape, f.scrapesFailed ? 5.0 : f.scrapeMax);
    worstGap = std::max(worstGap, f.watchdogGap);
  }
  std::printf(
      "(pace: lines per minute against none; query: queries per minute against none; "
      "scrapes answered/made, every 2 s)\n");
  std::printf(
      "goals: pace within 2%%, RSS growth < 16 MiB, good scrape < 1 s, no watchdog gap "
      "> 5 s\n");
  bw::bench::printSummary("metrics_abuse pace_change_max", worstPace, "%", 2.0, "within 2");
  bw::bench::printSummary("metrics_abuse rss_growth_max", worstRss, "MiB", 16.0, "< 16");
  bw::bench::printSummary("metrics_abuse good_scrape_max", worstScrape, "s", 1.0, "< 1");
  bw::bench::printSummary("metrics_abuse watchdog_gap_max", worstGap, "s", 5.0, "<= 5");

  logger.terminate();
  if (!logger.waitForFinished(10000)) logger.kill();
  simulator.terminate();
  if (!simulator.waitForFinished(5000)) simulator.kill();
  return 0;
}
