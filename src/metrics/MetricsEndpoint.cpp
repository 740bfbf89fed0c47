#include "metrics/MetricsEndpoint.h"

#include "acquisition/PollingLoop.h"
#include "site/WebConfig.h"

namespace bw {

MetricsEndpoint::MetricsEndpoint(const Site& site, const QString& program, const Clock& clock,
                                 const RecordLog& log, const PollingLoop& loop,
                                 MetricsServer::Limits limits)
    : metrics_(site, program, clock, log), server_(limits), webConfig_(site.webConfig) {
  QObject::connect(&loop, &PollingLoop::queryEnded, &listening_,
                   [this](int slot, ReadingOutcome outcome, float stored, double seconds) {
                     metrics_.queryEnded(slot, outcome, stored, seconds);
                     publish();
                   });
  QObject::connect(&loop, &PollingLoop::cycleEnded, &listening_, [this, &loop] {
    metrics_.cycleEnded(std::chrono::duration<double>(loop.lastCycleTook()).count());
    publish();
  });
  QObject::connect(&loop, &PollingLoop::recordLogged, &listening_, [this](bool written) {
    metrics_.recordLogged(written);
    publish();
  });
  publish();
}

std::optional<QString> MetricsEndpoint::listen(const ListenAddress& address) {
  publish();  // the log may have opened since
  if (!webConfig_.isEmpty()) {
    const WebConfigReading web = readWebConfig(webConfig_);
    if (!web.config) return web.errors.join(QStringLiteral("; "));
    if (const auto why = server_.secure(*web.config)) return why;
  }
  return server_.listen(address);
}

void MetricsEndpoint::publish() {
  server_.publish(metrics_.exposition());
}

}  // namespace bw
