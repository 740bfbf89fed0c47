#include "RawHttpServer.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace bw::test {

namespace {

QByteArray statusLine(int status) {
  return "HTTP/1.1 " + QByteArray::number(status) + " Whatever\r\n";
}

}  // namespace

RawHttpServer::Reply RawHttpServer::answer(int status, const QByteArray& body,
                                           const QByteArray& headers) {
  Reply reply;
  reply.bytes = statusLine(status) +
                "Content-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\n" + headers + "\r\n" + body;
  return reply;
}

RawHttpServer::Reply RawHttpServer::answerThenHangUp(int status, const QByteArray& body,
                                                     std::chrono::milliseconds after) {
  Reply reply = answer(status, body);
  reply.closeAfter = true;
  reply.closeDelay = after;
  return reply;
}

RawHttpServer::Reply RawHttpServer::answerUntilClose(int status, const QByteArray& body) {
  Reply reply;
  reply.bytes = statusLine(status) + "Content-Type: text/html\r\nConnection: close\r\n\r\n" + body;
  reply.closeAfter = true;
  return reply;
}

RawHttpServer::Reply RawHttpServer::reset() {
  Reply reply;
  reply.kind = Reply::Kind::Reset;
  return reply;
}

RawHttpServer::Reply RawHttpServer::silence() {
  Reply reply;
  reply.kind = Reply::Kind::Silence;
  return reply;
}

RawHttpServer::RawHttpServer() : defaultReply_(answer(200, "<html><body>ok</body></html>")) {
  context_ = new QObject;
  context_->moveToThread(&thread_);
  thread_.start();
  QMetaObject::invokeMethod(
      context_,
      [this] {
        server_ = new QTcpServer(context_);
        QObject::connect(server_, &QTcpServer::newConnection, server_,
                         [this] { onNewConnection(); });
        if (server_->listen(QHostAddress::LocalHost, 0)) port_ = server_->serverPort();
      },
      Qt::BlockingQueuedConnection);
}

RawHttpServer::~RawHttpServer() {
  QMetaObject::invokeMethod(
      context_, [this] { delete context_; }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

QByteArray RawHttpServer::url(const QByteArray& pathAndQuery) const {
  return "http://127.0.0.1:" + QByteArray::number(port_) + pathAndQuery;
}

void RawHttpServer::setDefaultReply(const Reply& reply) {
  QMutexLocker lock(&mutex_);
  defaultReply_ = reply;
}

void RawHttpServer::enqueue(const Reply& reply) {
  QMutexLocker lock(&mutex_);
  script_.push_back(reply);
}

QList<QByteArray> RawHttpServer::requestLines() const {
  QMutexLocker lock(&mutex_);
  QList<QByteArray> lines;
  for (const QByteArray& head : requestHeads_) lines.append(head.left(head.indexOf("\r\n")));
  return lines;
}

QList<QByteArray> RawHttpServer::requestHeads() const {
  QMutexLocker lock(&mutex_);
  return requestHeads_;
}

bool RawHttpServer::waitForRequests(int count, std::chrono::milliseconds timeout) const {
  QDeadlineTimer deadline(timeout);
  QMutexLocker lock(&mutex_);
  while (requestHeads_.size() < count) {
    if (!requestArrived_.wait(&mutex_, deadline)) return requestHeads_.size() >= count;
  }
  return true;
}

RawHttpServer::Reply RawHttpServer::nextReply() {
  QMutexLocker lock(&mutex_);
  if (script_.empty()) return defaultReply_;
  Reply reply = script_.front();
  script_.pop_front();
  return reply;
}

void RawHttpServer::onNewConnection() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    ++connections_;
    socket->setParent(context_);
    open_[socket];
    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                     [this, socket] { onReadyRead(socket); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
      open_.erase(socket);
      socket->deleteLater();
    });
  }
}

void RawHttpServer::onReadyRead(QTcpSocket* socket) {
  Connection& connection = open_[socket];
  QByteArray& buffer = connection.unread;
  buffer += socket->readAll();
  if (connection.hangingUp) return;
  // GET requests only: a request ends with its blank line.
  for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
    const QByteArray head = buffer.left(end);
    buffer.remove(0, end + 4);
    {
      QMutexLocker lock(&mutex_);
      requestHeads_.append(head);
      requestArrived_.wakeAll();
    }
    serve(socket, nextReply());
    const auto still = open_.find(socket);
    if (still == open_.end() || still->second.hangingUp) return;  // the reply closed it
  }
}

void RawHttpServer::serve(QTcpSocket* socket, const Reply& reply) {
  switch (reply.kind) {
    case Reply::Kind::Silence:
      return;
    case Reply::Kind::Reset: {
      // Linger zero turns the close into a reset.
      struct linger hard = {1, 0};
      ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                   sizeof hard);
      open_.erase(socket);
      socket->abort();
      socket->deleteLater();
      return;
    }
    case Reply::Kind::Send: {
      if (reply.closeAfter) open_[socket].hangingUp = true;
      auto send = [socket, reply] {
        socket->write(reply.bytes);
        if (!reply.closeAfter) return;
        if (reply.closeDelay.count() > 0)
          QTimer::singleShot(reply.closeDelay, socket, [socket] { socket->disconnectFromHost(); });
        else
          socket->disconnectFromHost();
      };
      if (reply.delay.count() > 0)
        QTimer::singleShot(reply.delay, socket, send);
      else
        send();
      return;
    }
  }
}

}  // namespace bw::test
