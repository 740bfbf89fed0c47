// Runs CurlHttpClient against the system resolver with a name server that
// never answers. It enters a private mount and network namespace first (root
// only), with a resolv.conf, hosts and nsswitch.conf of its own: the name
// server is a UDP socket on the namespace's own loopback that reads nothing,
// so no query can leave the machine and none is ever answered. Prints one
// "key value" line per figure; exits with 77 when it cannot build the
// sandbox.
//
// Usage: web_resolver_sandbox [query-timeout-ms]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include "RawHttpServer.h"
#include "platform/web/CurlHttpClient.h"

namespace {

using namespace std::chrono_literals;

constexpr int kCannotSandbox = 77;

bool writeFile(const std::string& path, const char* text) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  const bool ok = std::fputs(text, file) >= 0;
  return std::fclose(file) == 0 && ok;
}

bool bindOver(const std::string& source, const char* target) {
  return ::mount(source.c_str(), target, nullptr, MS_BIND, nullptr) == 0;
}

bool loopbackUp() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
  bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags |= IFF_UP;
  ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  ::close(fd);
  return ok;
}

// The name server: bound, so queries meet no "port unreachable", and never read.
int deafNameServer() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(53);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  return fd;
}

// Before any thread: a namespace entered later would hold the calling thread only.
bool enterSandbox() {
  if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return false;
  // Private first, so that nothing mounted here shows outside.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  char dir[] = "/tmp/bw-resolver-XXXXXX";
  if (!::mkdtemp(dir)) return false;
  const std::string base = dir;
  // The longest wait the stub resolver allows, asked once.
  const bool written =
      writeFile(base + "/resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n") &&
      writeFile(base + "/hosts", "127.0.0.1 localhost\n127.0.0.1 adapter.sandbox\n") &&
      writeFile(base + "/nsswitch.conf", "hosts: files dns\n");
  const bool ok = written && bindOver(base + "/resolv.conf", "/etc/resolv.conf") &&
                  bindOver(base + "/hosts", "/etc/hosts") &&
                  bindOver(base + "/nsswitch.conf", "/etc/nsswitch.conf") && loopbackUp();
  // The files stay reachable through the mounts; the names may go.
  for (const char* name : {"/resolv.conf", "/hosts", "/nsswitch.conf"})
    ::unlink((base + name).c_str());
  ::rmdir(dir);
  return ok;
}

void print(const char* key, long long value) {
  std::printf("%s %lld\n", key, value);
  std::fflush(stdout);
}

void print(const char* key, const QString& value) {
  std::printf("%s %s\n", key, value.simplified().toUtf8().constData());
  std::fflush(stdout);
}

// The longest time the event loop went without running a 5 ms timer.
class LoopWatch {
 public:
  LoopWatch() {
    QObject::connect(&tick_, &QTimer::timeout,
                     [this] { worst_ = std::max(worst_, since_.restart()); });
    tick_.start(5);
    since_.start();
  }
  // Also counts the time since the last tick, for a wait that has just ended.
  qint64 worstMs() const { return std::max(worst_, since_.elapsed()); }
  void reset() {
    worst_ = 0;
    since_.restart();
  }

 private:
  QTimer tick_;
  QElapsedTimer since_;
  qint64 worst_ = 0;
};

// Runs the event loop for `ms`.
void spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// One GET to completion; prints <key>_ms, <key>_answered, <key>_error, <key>_worst_block_ms.
bw::HttpAnswer query(bw::CurlHttpClient& client, const QByteArray& url, const std::string& key,
                     LoopWatch& watch) {
  bw::HttpAnswer answer;
  bool done = false;
  QEventLoop loop;
  const auto connection =
      QObject::connect(&client, &bw::HttpClient::finished, [&](const bw::HttpAnswer& a) {
        answer = a;
        done = true;
        loop.quit();
      });
  watch.reset();
  QElapsedTimer took;
  took.start();
  client.get(url);
  if (!done) loop.exec();
  print((key + "_ms").c_str(), took.elapsed());
  print((key + "_worst_block_ms").c_str(), watch.worstMs());
  print((key + "_answered").c_str(), answer.answered ? 1 : 0);
  print((key + "_error").c_str(), answer.error);
  QObject::disconnect(connection);
  return answer;
}

}  // namespace

int main(int argc, char** argv) {
  if (!enterSandbox()) return kCannotSandbox;
  const int deaf = deafNameServer();
  if (deaf < 0) return kCannotSandbox;  // closed only by the exit

  QCoreApplication app(argc, argv);
  const auto timeout = std::chrono::milliseconds(
      argc > 1 ? std::atoi(argv[1]) : bw::CurlHttpClient::kQueryTimeout.count());
  LoopWatch watch;
  bw::test::RawHttpServer server;
  const QByteArray port = QByteArray::number(server.port());

  {
    bw::CurlHttpClient client;
    client.setTimeouts(timeout);
    // A name the hosts file knows: the request goes out as it is spelled.
    query(client, "http://adapter.sandbox:" + port + "/q", "known", watch);
    const QList<QByteArray> heads = server.requestHeads();
    print("known_head",
          QString::fromLatin1(heads.value(0)).replace(QStringLiteral("\r\n"), QStringLiteral("|")));
    // A name only the deaf name server could answer.
    query(client, "http://tank-adapter.local:" + port + "/q", "unknown", watch);
  }

  // Abandoned and destroyed while a lookup runs: neither may wait for it.
  {
    bw::CurlHttpClient client;
    client.setTimeouts(timeout);
    watch.reset();
    client.get("http://tank-adapter.local:" + port + "/abort");
    spin(100);
    QElapsedTimer took;
    took.start();
    client.abort();
    print("abort_ms", took.elapsed());
    auto doomed = std::make_unique<bw::CurlHttpClient>();
    doomed->get("http://other-adapter.local:" + port + "/destroy");
    spin(100);
    took.restart();
    doomed.reset();
    print("destroy_ms", took.elapsed());
    spin(50);
    print("abort_destroy_worst_block_ms", watch.worstMs());
  }

  // Left running on purpose: leaving main must not wait for it either.
  auto leftOver = std::make_unique<bw::CurlHttpClient>();
  leftOver->get("http://third-adapter.local:" + port + "/exit");
  spin(100);
  print("exiting", 1);
  leftOver.reset();
  return 0;
}
