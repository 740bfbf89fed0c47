#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace bw::test {

// The service manager's end of the notification socket, as NOTIFY_SOCKET
// names it (a path, or an abstract name after '@'), read as a manager reads
// it, at once: a message left unread would hold the next one's sender.
class NotifySocket {
 public:
  explicit NotifySocket(const QString& name) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(name).left(sizeof address.sun_path - 1);
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const bool abstract = bytes.startsWith('@');
    if (abstract) address.sun_path[0] = '\0';
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                               static_cast<std::size_t>(bytes.size()) + (abstract ? 0 : 1));
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0) return;
    reader_ = std::thread([this] {
      while (!done_) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 100) != 1) continue;
        char message[1024];
        const auto got = ::recv(fd_, message, sizeof message, 0);
        if (got <= 0) continue;
        const std::lock_guard<std::mutex> lock(mutex_);
        seen_ << QByteArray(message, static_cast<qsizetype>(got));
        arrived_.notify_all();
      }
    });
  }
  ~NotifySocket() {
    done_ = true;
    if (reader_.joinable()) reader_.join();
    ::close(fd_);
  }
  bool bound() const { return reader_.joinable(); }
  // Waits for a message that holds `text`.
  bool waitFor(const QByteArray& text,
               std::chrono::milliseconds patience = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, patience, [&] { return seen_.join('\n').contains(text); });
  }
  QList<QByteArray> seen() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  int fd_ = -1;
  std::thread reader_;
  std::atomic_bool done_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  QList<QByteArray> seen_;
};

}  // namespace bw::test
