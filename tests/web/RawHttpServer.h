#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>

class QTcpServer;
class QTcpSocket;

namespace bw::test {

// A bare HTTP server on 127.0.0.1 (free port) in a thread of its own, so a
// test may block in nested event loops while it answers. Each request takes
// the next scripted reply, or the default one when the script is used up.
// It logs raw request lines and counts connections. Thread-safe.
class RawHttpServer {
 public:
  struct Reply {
    enum class Kind {
      Send,     // write `bytes` (after `delay`), then close if `closeAfter`
      Reset,    // abort the connection with a TCP reset, nothing sent
      Silence,  // keep the connection open and never answer
    };
    Kind kind = Kind::Send;
    QByteArray bytes;
    std::chrono::milliseconds delay{0};
    bool closeAfter = false;
    // With closeAfter: the close comes this long after the answer. Requests
    // that arrive meanwhile are never answered, as on a small server that
    // serves one request per connection.
    std::chrono::milliseconds closeDelay{0};
  };

  // A complete answer with Content-Length, the connection kept open;
  // `headers` ("Name: value\r\n" each) go after the usual ones.
  static Reply answer(int status, const QByteArray& body, const QByteArray& headers = {});
  // The same answer, and the connection closed `after` it without a
  // "Connection: close" to say so.
  static Reply answerThenHangUp(int status, const QByteArray& body,
                                std::chrono::milliseconds after);
  // A body delimited by closing the connection, without Content-Length.
  static Reply answerUntilClose(int status, const QByteArray& body);
  static Reply reset();
  static Reply silence();

  RawHttpServer();
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  quint16 port() const { return port_; }
  // "http://127.0.0.1:PORT" + pathAndQuery, byte for byte.
  QByteArray url(const QByteArray& pathAndQuery) const;

  void setDefaultReply(const Reply& reply);
  void enqueue(const Reply& reply);

  QList<QByteArray> requestLines() const;  // "GET /path HTTP/1.1", without CRLF
  QList<QByteArray> requestHeads() const;  // the request line and headers, without the blank line
  int connectionCount() const { return connections_; }
  // Blocks until that many requests arrived; false on time-out.
  bool waitForRequests(int count, std::chrono::milliseconds timeout) const;

 private:
  void onNewConnection();
  void onReadyRead(QTcpSocket* socket);
  void serve(QTcpSocket* socket, const Reply& reply);
  Reply nextReply();

  QThread thread_;
  QObject* context_ = nullptr;  // lives in thread_; parent of server and sockets
  QTcpServer* server_ = nullptr;
  struct Connection {
    QByteArray unread;  // the start of a request
    bool hangingUp = false;
  };
  std::map<QTcpSocket*, Connection> open_;  // server thread only
  quint16 port_ = 0;
  std::atomic<int> connections_{0};

  mutable QMutex mutex_;
  mutable QWaitCondition requestArrived_;
  std::deque<Reply> script_;
  Reply defaultReply_;
  QList<QByteArray> requestHeads_;
};

}  // namespace bw::test
