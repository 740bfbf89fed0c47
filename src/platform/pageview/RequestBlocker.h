#pragma once

#include <QWebEngineUrlRequestInterceptor>
#include <atomic>

namespace bw {

// Refuses every request a page would make on its own. Only the view's own
// inline content (data: URLs, as setHtml hands it over) gets through, so the
// view never sends anything to the adapter: the data path has queried it.
class RequestBlocker : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT

 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

  void interceptRequest(QWebEngineUrlRequestInfo& info) override;
  // Requests refused so far; read from any thread.
  int blockedCount() const { return blocked_.load(); }

 private:
  std::atomic<int> blocked_{0};
};

}  // namespace bw
