#include "platform/ServiceManager.h"

#ifdef BRINEWATCH_WITH_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace bw {

namespace {

void notify(const QString& state) {
#ifdef BRINEWATCH_WITH_SYSTEMD
  sd_notify(0, state.toUtf8().constData());
#else
  Q_UNUSED(state);
#endif
}

}  // namespace

void SystemdServiceManager::ready(const QString& status) {
  notify(QStringLiteral("READY=1\nSTATUS=") + status);
}

SystemdServiceManager::SystemdServiceManager() {
#ifdef BRINEWATCH_WITH_SYSTEMD
  uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) > 0) watchdog_ = std::chrono::microseconds(usec);
#endif
}

void SystemdServiceManager::alive() {
  if (watchdog_.count() == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPing_ < watchdog_ / 4) return;
  lastPing_ = now;
  notify(QStringLiteral("WATCHDOG=1"));
}

void SystemdServiceManager::status(const QString& text) {
  notify(QStringLiteral("STATUS=") + text);
}

void SystemdServiceManager::stopping() {
  notify(QStringLiteral("STOPPING=1"));
}

}  // namespace bw
