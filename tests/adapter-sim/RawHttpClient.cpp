#include "RawHttpClient.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace bw::sim::test {

RawHttpClient::RawHttpClient(quint16 port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

RawHttpClient::~RawHttpClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawHttpClient::send(QByteArrayView bytes) {
  qsizetype sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n =
        ::send(fd_, bytes.data() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += n;
  }
  return true;
}

RawResponse RawHttpClient::get(QByteArrayView target, QByteArrayView extraHeaders,
                               std::chrono::milliseconds timeout) {
  const QByteArray request = "GET " + target.toByteArray() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                             extraHeaders.toByteArray() + "\r\n";
  if (!send(request)) return RawResponse{Outcome::Closed, 0, {}, {}};
  return receive(timeout);
}

Outcome RawHttpClient::readMore(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  pollfd pfd{fd_, POLLIN, 0};
  if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
    return Outcome::TimedOut;
  char chunk[4096];
  const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
  if (n == 0) return Outcome::Closed;
  if (n < 0) return errno == ECONNRESET ? Outcome::Reset : Outcome::Closed;
  buffer_.append(chunk, n);
  return Outcome::Answered;
}

RawResponse RawHttpClient::receive(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  RawResponse response;
  qsizetype headEnd = -1;
  while ((headEnd = buffer_.indexOf("\r\n\r\n")) < 0) {
    response.outcome = readMore(deadline);
    if (response.outcome != Outcome::Answered) return response;
  }
  response.head = buffer_.left(headEnd);
  const QList<QByteArray> statusLine = response.head.left(response.head.indexOf("\r\n")).split(' ');
  response.status = statusLine.size() > 1 ? statusLine[1].toInt() : 0;
  qsizetype length = 0;
  for (const QByteArray& line : response.head.split('\n')) {
    if (line.toLower().startsWith("content-length:"))
      length = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
  }
  while (buffer_.size() < headEnd + 4 + length) {
    response.outcome = readMore(deadline);
    if (response.outcome != Outcome::Answered) return response;
  }
  response.body = buffer_.mid(headEnd + 4, length);
  buffer_.remove(0, headEnd + 4 + length);
  response.outcome = Outcome::Answered;
  return response;
}

Outcome RawHttpClient::waitForEnd(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const Outcome outcome = readMore(deadline);
    if (outcome != Outcome::Answered) return outcome;
  }
}

}  // namespace bw::sim::test
