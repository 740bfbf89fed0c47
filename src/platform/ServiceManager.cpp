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

void SystemdServiceManager::alive() {
  notify(QStringLiteral("WATCHDOG=1"));
}

void SystemdServiceManager::status(const QString& text) {
  notify(QStringLiteral("STATUS=") + text);
}

void SystemdServiceManager::stopping() {
  notify(QStringLiteral("STOPPING=1"));
}

}  // namespace bw
