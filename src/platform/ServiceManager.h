#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>

namespace bw {

// Tells the service manager that started the program how it stands: ready,
// alive (the watchdog's ping), what it does, stopping. Outside such a
// manager (a program started by hand) every call does nothing.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  virtual void ready(const QString& status) = 0;
  virtual void alive() = 0;
  virtual void status(const QString& text) = 0;
  virtual void stopping() = 0;
};

// The systemd notification protocol, spoken directly: a datagram to the
// socket NOTIFY_SOCKET names, read when this is made. The watchdog
// (WATCHDOG_USEC, for this process when WATCHDOG_PID names it) is pinged
// only when the manager asks for it, and at most four times in its
// interval: a ping is a message the manager must read.
class SystemdServiceManager final : public ServiceManager {
 public:
  SystemdServiceManager();
  ~SystemdServiceManager() override;
  SystemdServiceManager(const SystemdServiceManager&) = delete;
  SystemdServiceManager& operator=(const SystemdServiceManager&) = delete;
  void ready(const QString& status) override;
  void alive() override;
  void status(const QString& text) override;
  void stopping() override;

 private:
  void notify(const QString& state);

  int fd_ = -1;                            // -1 outside a manager
  QByteArray address_;                     // the manager's socket, as a sockaddr_un
  std::chrono::microseconds watchdog_{0};  // 0: no watchdog
  std::chrono::steady_clock::time_point lastPing_;
};

}  // namespace bw
