#include "platform/web/WebBrowser.h"

#include <QPointer>


namespace bw {

WebBrowser::WebBrowser(std::unique_ptr<HttpClient> client, QObject* parent)
    : QObject(parent), client_(std::move(client)) {
  connect(client_.get(), &HttpClient::finished, this, &WebBrowser::onFinished);
}

WebBrowser::~WebBrowser() = default;

void WebBrowser::navigate(const QString& url) {
  ++navigation_;
  readyState_ = kReadyStateLoading;
  document_.reset();
  html_.clear();
  status_ = 0;
  noAnswerReason_.clear();
  url_ = url;
  client_->get(url.toUtf8());
}

void WebBrowser::onFinished(const HttpAnswer& answer) {
  const QString url = url_;
  const quint64 navigation = navigation_;
  if (answer.answered) {
    html_ = answer.body;
    status_ = answer.status;
    if (!html_.isEmpty()) document_ = std::make_unique<HtmlDocument>(html_);
  } else {
    noAnswerReason_ = answer.error.isEmpty() ? QStringLiteral("no answer") : answer.error;
  }
  readyState_ = kReadyStateComplete;

  // A slot may navigate again or delete this browser; stop as soon as either happens.
  QPointer<WebBrowser> alive(this);
  if (document_ && document_->refused())
    emit pageRefused(url, document_->refusal());
  else if (answer.answered)
    emit pageLoaded(html_, url);
  else
    emit pageFailed(url, noAnswerReason_);
  if (!alive || navigation_ != navigation) return;
  emit documentComplete();
}

}  // namespace bw
