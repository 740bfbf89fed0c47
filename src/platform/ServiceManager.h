#pragma once

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

// The systemd notification protocol, through libsystemd where the build has
// it. The watchdog is pinged only when the manager asks for it, and at most
// four times in its interval: a ping is a message the manager must read.
class SystemdServiceManager final : public ServiceManager {
 public:
  SystemdServiceManager();
  void ready(const QString& status) override;
  void alive() override;
  void status(const QString& text) override;
  void stopping() override;

 private:
  std::chrono::microseconds watchdog_{0};  // 0: no watchdog
  std::chrono::steady_clock::time_point lastPing_;
};

}  // namespace bw
