#include "platform/web/HostResolver.h"

#include <QMetaObject>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace bw {

namespace {

using Clock = std::chrono::steady_clock;

class WaitingLookup;

}  // namespace

struct ThreadedHostResolver::State {
  struct Entry {
    QList<QByteArray> addresses;  // the last good answer
    Clock::time_point answeredAt;
    bool running = false;
    std::vector<WaitingLookup*> waiting;  // for a first answer
  };

  BlockingLookup lookup;
  std::chrono::milliseconds freshFor;
  std::mutex mutex;
  std::map<QByteArray, Entry> entries;
  int running = 0;
};

namespace {

using State = ThreadedHostResolver::State;

// Queues the answer; Qt drops the call if the lookup is destroyed before it
// runs. A thread of its own calls this with the state's mutex held, so the
// lookup cannot go away while the call is queued.
void deliver(HostLookup* lookup, const HostAddresses& result) {
  QMetaObject::invokeMethod(
      lookup, [lookup, result] { emit lookup->finished(result); }, Qt::QueuedConnection);
}

class WaitingLookup : public HostLookup {
 public:
  WaitingLookup(std::shared_ptr<State> state, const QByteArray& host)
      : state_(std::move(state)), host_(host) {}

  ~WaitingLookup() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const auto entry = state_->entries.find(host_);
    if (entry == state_->entries.end()) return;
    auto& waiting = entry->second.waiting;
    waiting.erase(std::remove(waiting.begin(), waiting.end(), this), waiting.end());
  }

 private:
  std::shared_ptr<State> state_;  // outlives the resolver while this lives
  QByteArray host_;
};

QString lookupError(int failed) {
#ifdef Q_OS_WIN
  return qt_error_string(failed);  // a Windows Sockets error code
#else
  return failed == EAI_SYSTEM ? qt_error_string(errno)
                              : QString::fromLocal8Bit(::gai_strerror(failed));
#endif
}

void runLookup(const std::shared_ptr<State>& state, const QByteArray& host) {
  const HostAddresses result = state->lookup(host);  // the part that may take for ever
  std::lock_guard<std::mutex> lock(state->mutex);
  --state->running;
  const auto found = state->entries.find(host);
  State::Entry& entry = found->second;  // an entry stays while its lookup runs
  entry.running = false;
  if (!result.addresses.isEmpty()) {
    entry.addresses = result.addresses;
    entry.answeredAt = Clock::now();
  }
  for (WaitingLookup* lookup : entry.waiting) deliver(lookup, result);
  entry.waiting.clear();
  if (entry.addresses.isEmpty()) state->entries.erase(found);
}

// With the mutex held. False when no lookup could start.
bool startLocked(const std::shared_ptr<State>& state, const QByteArray& host, State::Entry& entry) {
  if (entry.running) return true;
  if (state->running >= ThreadedHostResolver::kMaxRunning) return false;
  // The thread waits for the mutex before it touches the entry.
  try {
    std::thread([state, host] { runLookup(state, host); }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  entry.running = true;
  ++state->running;
  return true;
}

}  // namespace

ThreadedHostResolver::ThreadedHostResolver(BlockingLookup lookup,
                                           std::chrono::milliseconds freshFor)
    : state_(std::make_shared<State>()) {
  state_->lookup = std::move(lookup);
  state_->freshFor = freshFor;
}

ThreadedHostResolver::~ThreadedHostResolver() = default;

std::unique_ptr<HostLookup> ThreadedHostResolver::lookUp(const QByteArray& host) {
  auto lookup = std::make_unique<WaitingLookup>(state_, host);
  std::lock_guard<std::mutex> lock(state_->mutex);
  State::Entry& entry = state_->entries[host];
  if (!entry.addresses.isEmpty()) {
    deliver(lookup.get(), HostAddresses{entry.addresses, {}});
    // Best effort: with no thread to spare, the old answer serves on.
    if (Clock::now() - entry.answeredAt >= state_->freshFor) startLocked(state_, host, entry);
    return lookup;
  }
  if (!startLocked(state_, host, entry)) {
    state_->entries.erase(host);
    deliver(lookup.get(),
            HostAddresses{{}, QStringLiteral("too many host names being looked up at once")});
    return lookup;
  }
  entry.waiting.push_back(lookup.get());
  return lookup;
}

HostAddresses ThreadedHostResolver::systemLookup(const QByteArray& host) {
  HostAddresses result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int failed = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
  if (failed != 0) {
    result.error = lookupError(failed);
    return result;
  }
  for (const addrinfo* info = found; info; info = info->ai_next) {
    char text[INET6_ADDRSTRLEN] = {};
    if (info->ai_family == AF_INET) {
      const auto* four = reinterpret_cast<const sockaddr_in*>(info->ai_addr);
      ::inet_ntop(AF_INET, &four->sin_addr, text, sizeof text);
    } else if (info->ai_family == AF_INET6) {
      const auto* six = reinterpret_cast<const sockaddr_in6*>(info->ai_addr);
      if (six->sin6_scope_id != 0) continue;  // curl takes no scope with an address
      ::inet_ntop(AF_INET6, &six->sin6_addr, text, sizeof text);
    }
    const QByteArray address(text);
    if (!address.isEmpty() && !result.addresses.contains(address)) result.addresses.append(address);
  }
  ::freeaddrinfo(found);
  if (result.addresses.isEmpty()) result.error = QStringLiteral("no address to connect to");
  return result;
}

std::shared_ptr<HostResolver> ThreadedHostResolver::shared() {
  static const std::shared_ptr<HostResolver> resolver = std::make_shared<ThreadedHostResolver>();
  return resolver;
}

}  // namespace bw
