#include "platform/pageview/PlainPageView.h"

#include "platform/pageview/InertTextBrowser.h"
#include "platform/pageview/NoAnswerPage.h"
#include "platform/pageview/PlainMarkup.h"

#include <QResizeEvent>

namespace bw {

PlainPageView::PlainPageView(QWidget* parent)
    : PageView(parent), browser_(new InertTextBrowser(this)) {}

PlainPageView::~PlainPageView() = default;

void PlainPageView::showPage(const QByteArray& html, const QString& /*url*/) {
  // The query URL would only resolve links and resources, and both are off.
  render(html);
}

void PlainPageView::showNoAnswer(const QString& url, const QString& reason) {
  render(NoAnswerPage::html(url, reason));
}

QString PlainPageView::shownText() const {
  return browser_->toPlainText();
}

void PlainPageView::resizeEvent(QResizeEvent* event) {
  browser_->setGeometry(0, 0, event->size().width(), event->size().height());
  PageView::resizeEvent(event);
}

void PlainPageView::render(const QByteArray& html) {
  if (shownValid_ && html == shownHtml_) return;
  browser_->setHtml(PlainMarkup::fromPage(html));
  shownHtml_ = html;
  shownValid_ = true;
  ++renderCount_;
}

}  // namespace bw
