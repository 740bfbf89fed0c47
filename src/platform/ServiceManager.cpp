#include "platform/ServiceManager.h"

#include <QByteArray>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#endif

namespace bw {

#ifndef Q_OS_WIN

// The manager's socket: a path, or an abstract name written with a leading
// '@'. Anything else (a manager's protocol this program does not speak)
// leaves the notifications off.
SystemdServiceManager::SystemdServiceManager() {
  const QByteArray where = qgetenv("NOTIFY_SOCKET");
  sockaddr_un address{};
  if ((where.startsWith('/') || where.startsWith('@')) && where.size() >= 2 &&
      static_cast<std::size_t>(where.size()) <= sizeof address.sun_path) {
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, where.constData(), static_cast<std::size_t>(where.size()));
    if (where.startsWith('@')) address.sun_path[0] = '\0';
    // A path is given with its terminating zero when it fits, an abstract
    // name by its exact length.
    const std::size_t length =
        static_cast<std::size_t>(where.size()) +
        (where.startsWith('/') && static_cast<std::size_t>(where.size()) < sizeof address.sun_path
             ? 1
             : 0);
    address_ = QByteArray(reinterpret_cast<const char*>(&address),
                          static_cast<qsizetype>(offsetof(sockaddr_un, sun_path) + length));
    // Never waits: a manager that reads no more must not hold the polling.
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  }
  // The watchdog is this process's when WATCHDOG_PID is left out or names it.
  bool ok = false;
  const qulonglong usec = qEnvironmentVariable("WATCHDOG_USEC").toULongLong(&ok);
  const QString pid = qEnvironmentVariable("WATCHDOG_PID");
  if (fd_ >= 0 && ok && usec > 0 && (pid.isEmpty() || pid.toLongLong() == ::getpid()))
    watchdog_ = std::chrono::microseconds(usec);
}

SystemdServiceManager::~SystemdServiceManager() {
  if (fd_ >= 0) ::close(fd_);
}

void SystemdServiceManager::notify(const QString& state) {
  if (fd_ < 0) return;
  const QByteArray bytes = state.toUtf8();
  // One datagram per message, addressed each time, so a manager that bound
  // its socket anew still hears; one that finds the manager's queue full is
  // dropped rather than waited for.
  while (::sendto(fd_, bytes.constData(), static_cast<std::size_t>(bytes.size()), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(address_.constData()),
                  static_cast<socklen_t>(address_.size())) < 0 &&
         errno == EINTR) {
  }
}

#else  // Windows has no service manager of this kind.

SystemdServiceManager::SystemdServiceManager() = default;
SystemdServiceManager::~SystemdServiceManager() = default;
void SystemdServiceManager::notify(const QString&) {}

#endif

void SystemdServiceManager::ready(const QString& status) {
  notify(QStringLiteral("READY=1\nSTATUS=") + status);
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
