#include "platform/pageview/RequestBlocker.h"

namespace bw {

void RequestBlocker::interceptRequest(QWebEngineUrlRequestInfo& info) {
  if (info.requestUrl().scheme() == QLatin1String("data")) return;
  info.block(true);
  ++blocked_;
}

}  // namespace bw
