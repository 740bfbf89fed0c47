#include "platform/pageview/WebEnginePageView.h"

#include "platform/pageview/DisplayOnlyWebPage.h"
#include "platform/pageview/PageOutline.h"
#include "platform/pageview/RequestBlocker.h"
#include "platform/pageview/StandInPages.h"

#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace bw {

WebEnginePageView::WebEnginePageView(QWidget* parent, Updates updates)
    : PageView(parent),
      updates_(updates),
      profile_(new QWebEngineProfile(this)),  // off the record: nothing kept on disk
      blocker_(new RequestBlocker(this)),
      view_(new QWebEngineView(this)),
      page_(nullptr),
      watchdog_(new QTimer(this)) {
  profile_->setHttpCacheType(QWebEngineProfile::NoCache);
  profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile_->setSpellCheckEnabled(false);
  profile_->setUrlRequestInterceptor(blocker_);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  renewPage();

  watchdog_->setSingleShot(true);
  watchdog_->setInterval(kUpdateTimeout);
  connect(watchdog_, &QTimer::timeout, this, &WebEnginePageView::giveUp);
}

void WebEnginePageView::renewPage() {
  DisplayOnlyWebPage* old = page_;
  page_ = new DisplayOnlyWebPage(profile_, view_);
  ++pageGeneration_;
  loadsOnPage_ = 0;
  connect(page_, &QWebEnginePage::loadFinished, this, &WebEnginePageView::onLoadFinished);
  connect(page_, &QWebEnginePage::renderProcessTerminated, this,
          &WebEnginePageView::onRendererGone);
  view_->setPage(page_);
  if (old) {
    old->disconnect(this);
    old->deleteLater();
  }
}

WebEnginePageView::~WebEnginePageView() {
  // Pending script callbacks may run while the page goes; they must find the
  // view closing. The profile has to outlive its page.
  closing_ = true;
  delete page_;
  delete view_;
  delete profile_;
}

void WebEnginePageView::showPage(const QByteArray& html, const QString& url) {
  request({html, QUrl(url)});
}

void WebEnginePageView::showNoAnswer(const QString& url, const QString& reason) {
  request({noAnswerPage(url, reason), QUrl()});
}

void WebEnginePageView::showRefused(const QString& url, const QString& reason) {
  request({notShownPage(url, reason), QUrl()});
}

int WebEnginePageView::blockedRequests() const {
  return blocker_->blockedCount();
}

void WebEnginePageView::resizeEvent(QResizeEvent* event) {
  view_->setGeometry(0, 0, event->size().width(), event->size().height());
  PageView::resizeEvent(event);
}

void WebEnginePageView::request(Request next) {
  newest_ = next;
  if (busy_) {
    if (pending_) ++counts_.superseded;
    pending_ = std::move(next);
    return;
  }
  apply(std::move(next));
}

void WebEnginePageView::apply(Request next) {
  // Byte-identical to what is shown. The base URL is not compared: with
  // links and loads off it changes nothing on screen.
  if (shownValid_ && next.html == shownHtml_) {
    ++counts_.unchanged;
    finishUpdate();
    return;
  }
  auto outline = std::make_shared<PageOutline>(next.html);
  if (outline->refused()) {
    // Not handed to the engine either: its renderer would chew on it for as
    // long as the parser would have.
    next = {notShownPage(next.base.toString(), outline->refusal()), QUrl()};
    outline = std::make_shared<PageOutline>(next.html);
  }
  if (updates_ == Updates::Cheap && shownValid_ && shownOutline_) {
    if (std::optional<QString> script = PageOutline::patchScript(*shownOutline_, *outline)) {
      if (script->isEmpty()) {  // differs only where nothing is shown (outside the root)
        shownHtml_ = next.html;
        shownOutline_ = std::move(outline);
        ++counts_.unchanged;
        finishUpdate();
        return;
      }
      busy_ = true;
      inFlight_ = std::move(next);
      inFlightOutline_ = std::move(outline);
      watchdog_->start();
      QPointer<WebEnginePageView> self(this);
      const int generation = pageGeneration_;
      page_->runJavaScript(*script, QWebEngineScript::ApplicationWorld,
                           [self, generation](const QVariant& result) {
                             if (self && !self->closing_ && generation == self->pageGeneration_)
                               self->onPatched(result.toBool());
                           });
      return;
    }
  }
  load(std::move(next), std::move(outline));
}

void WebEnginePageView::load(Request next, std::shared_ptr<PageOutline> outline) {
  busy_ = true;
  loading_ = true;
  shownValid_ = false;  // from here on the document is the new one, or unknown
  ++counts_.loads;
  // The whole document is replaced anyway, so a fresh page costs nothing
  // that the load would not.
  if (loadsOnPage_ >= kLoadsPerPage) renewPage();
  ++loadsOnPage_;
  watchdog_->start();
  page_->setHtml(QString::fromUtf8(next.html), next.base);
  inFlight_ = std::move(next);
  inFlightOutline_ = std::move(outline);
}

void WebEnginePageView::onPatched(bool ok) {
  if (!busy_ || loading_ || !inFlight_) return;
  if (!ok) {
    // The shown document is not the one expected: load the page instead.
    ++counts_.refusedPatches;
    Request next = std::move(*inFlight_);
    inFlight_.reset();
    load(std::move(next), std::move(inFlightOutline_));
    return;
  }
  ++counts_.patches;
  shownHtml_ = std::move(inFlight_->html);
  shownOutline_ = std::move(inFlightOutline_);
  shownValid_ = true;
  inFlight_.reset();
  busy_ = false;
  watchdog_->stop();
  finishUpdate();
}

void WebEnginePageView::onLoadFinished(bool ok) {
  // A load given up on, or a navigation the page refused (a refresh, say)
  // while values are rewritten: neither ends an update.
  if (!loading_) return;
  loading_ = false;
  if (ok) {
    shownHtml_ = std::move(inFlight_->html);
    shownOutline_ = std::move(inFlightOutline_);
    shownValid_ = true;
  }
  inFlight_.reset();
  inFlightOutline_.reset();
  busy_ = false;
  watchdog_->stop();
  finishUpdate();
}

void WebEnginePageView::finishUpdate() {
  if (pending_) {
    Request next = std::move(*pending_);
    pending_.reset();
    apply(std::move(next));
    return;
  }
  emit settled();
}

void WebEnginePageView::giveUp() {
  // Whatever the view shows now is unknown; the next page is loaded in full.
  shownValid_ = false;
  inFlight_.reset();
  inFlightOutline_.reset();
  busy_ = false;
  loading_ = false;
  finishUpdate();
}

void WebEnginePageView::onRendererGone() {
  watchdog_->stop();
  shownValid_ = false;
  inFlight_.reset();
  inFlightOutline_.reset();
  busy_ = false;
  loading_ = false;
  // A new page request starts a new renderer; a short pause keeps a renderer
  // that dies at once from being restarted in a tight loop.
  QTimer::singleShot(kRendererRestartDelay, this, [this] {
    if (!busy_ && !shownValid_ && newest_) {
      Request again = std::move(*newest_);
      request(std::move(again));
    }
  });
}

}  // namespace bw
