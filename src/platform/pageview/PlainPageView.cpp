#include "platform/pageview/PlainPageView.h"

#include "platform/pageview/InertTextBrowser.h"
#include "platform/pageview/PlainMarkup.h"
#include "platform/pageview/StandInPages.h"

#include <QResizeEvent>

namespace bw {

PlainPageView::PlainPageView(QWidget* parent)
    : PageView(parent), browser_(new InertTextBrowser(this)) {}

PlainPageView::~PlainPageView() = default;

void PlainPageView::showPage(const QByteArray& html, const QString& url) {
  // The query URL would only resolve links and resources, and both are off;
  // it names the page in the notice when the page is not shown.
  render(html, url);
}

void PlainPageView::showNoAnswer(const QString& url, const QString& reason) {
  render(noAnswerPage(url, reason), url);
}

void PlainPageView::showRefused(const QString& url, const QString& reason) {
  render(notShownPage(url, reason), url);
}

QString PlainPageView::shownText() const {
  return browser_->toPlainText();
}

void PlainPageView::resizeEvent(QResizeEvent* event) {
  browser_->setGeometry(0, 0, event->size().width(), event->size().height());
  PageView::resizeEvent(event);
}

void PlainPageView::render(const QByteArray& html, const QString& url) {
  if (shownValid_ && html == shownHtml_) return;
  QString refusal;
  QString markup = plainMarkup(html, &refusal);
  if (!refusal.isEmpty()) markup = plainMarkup(notShownPage(url, refusal));
  browser_->setHtml(markup);
  shownHtml_ = html;
  shownValid_ = true;
  ++renderCount_;
}

}  // namespace bw
