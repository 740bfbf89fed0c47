#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace bw {

// What a host name stands for: numeric addresses ("192.0.2.7",
// "2001:db8::7") in the order to try them, or none and why.
struct HostAddresses {
  QList<QByteArray> addresses;
  QString error;
};

// One lookup under way. `finished` comes at most once, from the event loop of
// the thread that asked, never from inside HostResolver::lookUp(). Destroying
// the lookup abandons it: nothing is emitted after that, and nothing waits
// for the name server.
class HostLookup : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 signals:
  void finished(const bw::HostAddresses& result);
};

// Turns host names into addresses without ever blocking the caller.
class HostResolver {
 public:
  virtual ~HostResolver() = default;
  virtual std::unique_ptr<HostLookup> lookUp(const QByteArray& host) = 0;
};

// A HostResolver on a blocking lookup (getaddrinfo by default) run on
// detached threads, so that a name server that never answers holds a thread
// that nobody waits for, never the event loop, nor a destructor, nor the
// process exit.
//
// A dead name server must not pile up threads either: a name has at most one
// lookup running, whoever asks, and at most kMaxRunning names are looked up
// at once. An answer is used as it is for `freshFor`; after that, a lookup
// asked for gets it at once all the same while a new one runs for the next,
// and a failed new one leaves it in use: an adapter's address seldom
// changes, a name server that does not answer for a while is common.
class ThreadedHostResolver : public HostResolver {
 public:
  using BlockingLookup = std::function<HostAddresses(const QByteArray& host)>;

  static constexpr std::chrono::milliseconds kFreshFor{60'000};
  static constexpr int kMaxRunning = 8;

  explicit ThreadedHostResolver(BlockingLookup lookup = systemLookup,
                                std::chrono::milliseconds freshFor = kFreshFor);
  ~ThreadedHostResolver() override;

  std::unique_ptr<HostLookup> lookUp(const QByteArray& host) override;

  // getaddrinfo for TCP, any family; addresses curl cannot be handed (an
  // IPv6 one with a scope) left out.
  static HostAddresses systemLookup(const QByteArray& host);
  // The one the process shares, on systemLookup.
  static std::shared_ptr<HostResolver> shared();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace bw
