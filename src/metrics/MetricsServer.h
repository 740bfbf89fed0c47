#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

#include "site/ListenAddress.h"
#include "site/WebConfig.h"

namespace bw {

// Serves GET and HEAD /metrics over HTTP from a thread of its own: whatever a
// client does, the thread that polls and logs only ever hands over the text
// to serve (publish), so a slow, greedy or hostile client cannot hold it.
// Every request is bounded: its line and headers (431, or 414 for the line
// alone), no body (413), GET and HEAD only (405), the time to send a whole
// request and to take a whole answer (the connection is closed past it).
// So are the connections, in all and from one address: past the limit a new
// connection closes the one that has waited longest for a request, or is
// closed at once when every one is being answered.
class MetricsServer {
 public:
  struct Limits {
    int connections = 64;
    int connectionsPerAddress = 16;
    std::size_t requestBytes = 4096;  // the request line and the headers together
    // From the connection or the last answer to a whole request: an idle
    // connection and one that sends its headers slowly end alike.
    std::chrono::milliseconds requestTime{5000};
    // From the request to the last byte of its answer taken by the client.
    std::chrono::milliseconds answerTime{5000};
  };

  explicit MetricsServer(Limits limits);
  MetricsServer() : MetricsServer(Limits{}) {}
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // The text /metrics answers from now on; from any thread, cheap.
  void publish(QByteArray text);

  // Before listen: serve over TLS and/or ask for a user and password, as
  // `config` says. The certificate and key are read now, and read again at
  // a new connection when a file has changed on disk (looked at no more than
  // once a second), so a renewed certificate needs no restart. The reason
  // when they cannot be read or this build cannot do TLS.
  std::optional<QString> secure(const WebConfig& config);

  // Listens on `address`; port 0 for any free one. The reason when it cannot.
  std::optional<QString> listen(const ListenAddress& address);
  // The port listened on, 0 before.
  quint16 port() const;

  struct Impl;  // the source's own; named there outside the class

 private:
  std::unique_ptr<Impl> d_;
};

}  // namespace bw
