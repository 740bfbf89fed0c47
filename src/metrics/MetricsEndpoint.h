#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "metrics/AcquisitionMetrics.h"
#include "metrics/MetricsServer.h"

namespace bw {

class Clock;
class PollingLoop;
class RecordLog;

// A logger's metrics and their server together: hears the polling loop's
// queries, cycles and records on its thread, and after each hands the
// server a fresh copy of the text, which the server's own thread sends. The
// server thread never sees the metrics themselves.
class MetricsEndpoint {
 public:
  MetricsEndpoint(const Site& site, const QString& program, const Clock& clock,
                  const RecordLog& log, const PollingLoop& loop, MetricsServer::Limits limits = {});
  MetricsEndpoint(const MetricsEndpoint&) = delete;
  MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

  // See MetricsServer::listen; with the site's web_config, over TLS and/or
  // with users as that file says.
  std::optional<QString> listen(const ListenAddress& address);
  quint16 port() const { return server_.port(); }

  AcquisitionMetrics& metrics() { return metrics_; }
  // Hands the server the text of the metrics as they are now.
  void publish();

 private:
  AcquisitionMetrics metrics_;
  MetricsServer server_;
  QString webConfig_;
  QObject listening_;  // the loop's connections end with it
};

}  // namespace bw
