#pragma once

#include "platform/pageview/PageView.h"

#include <QUrl>
#include <chrono>
#include <memory>
#include <optional>

class QTimer;
class QWebEngineProfile;
class QWebEngineView;

namespace bw {

class DisplayOnlyWebPage;
class PageOutline;
class RequestBlocker;

// The page view on the browser engine. Pages are shown with setHtml (the
// query URL as base) in a page that runs none of their scripts, loads
// nothing and follows nothing. To stay cheap over days of polling it
//  - skips a page byte-identical to the one shown,
//  - rewrites the values in place (one small script in an isolated world)
//    when the new page has the shape of the shown one, and loads the page
//    only when the shape changes or the shown document is not as expected:
//    against a full load of every page this saves about 3.7 points of a
//    core (bench_pageview_cpu, engine-cheap against engine-reload),
//  - keeps at most one update in flight and, while one is, only the newest
//    page asked for.
class WebEnginePageView : public PageView {
  Q_OBJECT

 public:
  enum class Updates { Cheap, ReloadEveryPage };

  // How updates went; for tests and benchmarks.
  struct Counts {
    int loads = 0;           // full loads started
    int patches = 0;         // values rewritten in place
    int unchanged = 0;       // pages that needed nothing redrawn
    int superseded = 0;      // pages replaced by a newer one before their turn
    int refusedPatches = 0;  // patches the document did not match; loaded instead
  };

  explicit WebEnginePageView(QWidget* parent = nullptr, Updates updates = Updates::Cheap);
  ~WebEnginePageView() override;

  void showPage(const QByteArray& html, const QString& url) override;
  void showNoAnswer(const QString& url, const QString& reason) override;
  void showRefused(const QString& url, const QString& reason) override;

  const Counts& counts() const { return counts_; }
  bool updating() const { return busy_; }
  // The browser widget, for tests that look at what it shows.
  QWebEngineView* webView() const { return view_; }
  // Requests the page tried to make and that were refused.
  int blockedRequests() const;

  // An update that has not finished after this is given up.
  static constexpr std::chrono::milliseconds kUpdateTimeout{10'000};
  // Pause before the newest page is shown again in a restarted renderer.
  static constexpr std::chrono::milliseconds kRendererRestartDelay{1'000};
  // Full loads on one engine page before the next load gets a fresh one:
  // the engine keeps memory from every load for as long as its page lives.
  static constexpr int kLoadsPerPage = 100;

 signals:
  // Emitted when the newest page asked for is on screen (or failed to load)
  // and nothing else is waiting.
  void settled();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Request {
    QByteArray html;
    QUrl base;
  };

  void request(Request next);
  void apply(Request next);
  void load(Request next, std::shared_ptr<PageOutline> outline);
  void onLoadFinished(bool ok);
  void onPatched(bool ok);
  void finishUpdate();
  void giveUp();
  void onRendererGone();
  void renewPage();

  Updates updates_;
  QWebEngineProfile* profile_;
  RequestBlocker* blocker_;
  QWebEngineView* view_;
  DisplayOnlyWebPage* page_;
  QTimer* watchdog_;

  // What the view shows; valid only while shownValid_.
  QByteArray shownHtml_;
  std::shared_ptr<PageOutline> shownOutline_;
  bool shownValid_ = false;

  bool busy_ = false;
  bool loading_ = false;  // the update in flight is a full load, not a patch
  bool closing_ = false;
  int loadsOnPage_ = 0;
  int pageGeneration_ = 0;  // tells a late answer from a page already gone
  std::optional<Request> inFlight_;
  std::shared_ptr<PageOutline> inFlightOutline_;
  std::optional<Request> pending_;
  std::optional<Request> newest_;  // shown again after a renderer crash
  Counts counts_;
};

}  // namespace bw
