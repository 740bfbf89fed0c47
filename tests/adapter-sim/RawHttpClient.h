#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <chrono>

namespace bw::sim::test {

enum class Outcome { Answered, Closed, Reset, TimedOut };

struct RawResponse {
  Outcome outcome = Outcome::TimedOut;
  int status = 0;
  QByteArray head;  // status line and headers
  QByteArray body;
};

// A blocking client on plain sockets, so tests see the exact bytes and can
// tell a reset (RST) from an orderly close (FIN).
class RawHttpClient {
 public:
  static constexpr std::chrono::milliseconds kTimeout{3000};

  explicit RawHttpClient(quint16 port);
  ~RawHttpClient();
  RawHttpClient(const RawHttpClient&) = delete;
  RawHttpClient& operator=(const RawHttpClient&) = delete;

  bool isConnected() const { return fd_ >= 0; }
  bool send(QByteArrayView bytes);
  // Sends "GET <target> HTTP/1.1" with a Host header and `extraHeaders`
  // (each ending in CRLF), then reads the answer.
  RawResponse get(QByteArrayView target, QByteArrayView extraHeaders = {},
                  std::chrono::milliseconds timeout = kTimeout);
  RawResponse receive(std::chrono::milliseconds timeout = kTimeout);
  // How the server ends the connection within `timeout`; TimedOut while open.
  Outcome waitForEnd(std::chrono::milliseconds timeout);

 private:
  // Reads more into buffer_; Answered when some bytes came.
  Outcome readMore(std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  QByteArray buffer_;
};

}  // namespace bw::sim::test
