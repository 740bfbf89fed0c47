#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QHttpServer;
class QTcpServer;

namespace bw {

// Serves GET /metrics over HTTP from the event loop of its thread: the
// logger's polling goes on while Prometheus scrapes, and no lock is needed.
class MetricsServer : public QObject {
  Q_OBJECT

 public:
  using Render = std::function<QByteArray()>;

  explicit MetricsServer(Render render, QObject* parent = nullptr);
  ~MetricsServer() override;

  // Listens on `address`, "HOST:PORT" or ":PORT" (loopback then); port 0 for
  // any free one. The reason when it cannot.
  std::optional<QString> listen(const QString& address);
  quint16 port() const;

 private:
  Render render_;
  std::unique_ptr<QHttpServer> http_;
  QTcpServer* socket_ = nullptr;  // owned by http_
};

}  // namespace bw
