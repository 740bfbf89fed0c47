#include "metrics/MetricsServer.h"

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QSslSocket>
#include <QTcpServer>

namespace bw {

namespace {

// The metrics are plain HTTP, yet the server readies a TLS set-up when it is
// made, which would load and start a whole TLS library in every logger: the
// backend that only reads certificates is enough.
std::unique_ptr<QHttpServer> plainHttpServer() {
#if QT_CONFIG(ssl)
  QSslSocket::setActiveBackend(QStringLiteral("cert-only"));
#endif
  return std::make_unique<QHttpServer>();
}

}  // namespace

MetricsServer::MetricsServer(Render render, QObject* parent)
    : QObject(parent), render_(std::move(render)), http_(plainHttpServer()) {
  http_->route(QStringLiteral("/metrics"), [this] {
    return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
                               render_());
  });
}

MetricsServer::~MetricsServer() = default;

std::optional<QString> MetricsServer::listen(const QString& address) {
  const qsizetype colon = address.lastIndexOf(u':');
  QString host = colon < 0 ? QString() : address.left(colon);
  bool ok = false;
  const uint port = colon < 0 ? 0 : address.mid(colon + 1).toUInt(&ok);
  if (!ok || port > 65535) return QStringLiteral("%1 is not HOST:PORT").arg(address);
  if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
  const QHostAddress where = host.isEmpty()         ? QHostAddress(QHostAddress::LocalHost)
                             : host == u"localhost" ? QHostAddress(QHostAddress::LocalHost)
                                                    : QHostAddress(host);
  if (where.isNull()) return QStringLiteral("%1 is not an IP address").arg(host);
  auto* socket = new QTcpServer;
  if (!socket->listen(where, static_cast<quint16>(port))) {
    const QString reason = socket->errorString();
    delete socket;
    return QStringLiteral("cannot listen on %1: %2").arg(address, reason);
  }
  http_->bind(socket);
  socket_ = socket;
  return std::nullopt;
}

quint16 MetricsServer::port() const {
  return socket_ ? socket_->serverPort() : 0;
}

}  // namespace bw
