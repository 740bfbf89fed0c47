#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

#include "platform/web/HtmlDocument.h"
#include "platform/web/HttpClient.h"

namespace bw {

// The browser component of the polling loop: navigate to a URL, report the
// ready state, hand out the loaded document. It fetches and parses only; the
// visible page is drawn elsewhere from pageLoaded / pageRefused / pageFailed.
class WebBrowser : public QObject {
  Q_OBJECT

 public:
  static constexpr int kReadyStateUninitialized = 0;  // nothing navigated yet
  static constexpr int kReadyStateLoading = 1;
  static constexpr int kReadyStateComplete = 4;  // answered, or known to get no answer

  explicit WebBrowser(std::unique_ptr<HttpClient> client, QObject* parent = nullptr);
  ~WebBrowser() override;

  // Starts loading `url`, abandoning a page still loading (which then never
  // completes). The text goes out as its UTF-8 bytes, escapes untouched. The
  // ready state drops below kReadyStateComplete at once; documentComplete
  // follows later from the event loop, never from inside navigate().
  void navigate(const QString& url);

  int readyState() const { return readyState_; }
  // The parsed answer; nullptr while loading, with no answer, or for an empty
  // body. Parsed once per page; valid until the next navigate().
  const HtmlDocument* document() const { return document_.get(); }
  // The answer's body as it came, whatever its status.
  QByteArray html() const { return html_; }
  QString url() const { return url_; }
  // HTTP status of the answer; 0 without one.
  int httpStatus() const { return status_; }
  // Why no answer arrived; empty when one did.
  QString noAnswerReason() const { return noAnswerReason_; }

 signals:
  // The ready state has become kReadyStateComplete. Comes after pageLoaded,
  // pageRefused or pageFailed for the same page.
  void documentComplete();
  // An answer arrived (any status), for the visible page.
  void pageLoaded(const QByteArray& html, const QString& url);
  // An answer arrived that costs too much to parse; it is not shown either,
  // so a hostile page is parsed once, within its budget.
  void pageRefused(const QString& url, const QString& reason);
  void pageFailed(const QString& url, const QString& reason);

 private:
  void onFinished(const HttpAnswer& answer);

  std::unique_ptr<HttpClient> client_;
  int readyState_ = kReadyStateUninitialized;
  std::unique_ptr<HtmlDocument> document_;
  QByteArray html_;
  QString url_;
  int status_ = 0;
  QString noAnswerReason_;
  quint64 navigation_ = 0;  // tells whether a slot navigated on
};

}  // namespace bw
