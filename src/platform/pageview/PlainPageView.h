#pragma once

#include "platform/pageview/PageView.h"

namespace bw {

class InertTextBrowser;

// The page view without a browser engine: the answer rewritten by plainMarkup
// and shown in a rich-text widget. A page byte-identical to the one shown is
// not laid out again.
class PlainPageView : public PageView {
  Q_OBJECT

 public:
  explicit PlainPageView(QWidget* parent = nullptr);
  ~PlainPageView() override;

  void showPage(const QByteArray& html, const QString& url) override;
  void showNoAnswer(const QString& url, const QString& reason) override;
  void showRefused(const QString& url, const QString& reason) override;

  // How often the widget was given a new document; for tests and benchmarks.
  int renderCount() const { return renderCount_; }
  // The shown document as text; for tests.
  QString shownText() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void render(const QByteArray& html, const QString& url);

  InertTextBrowser* browser_;
  QByteArray shownHtml_;
  bool shownValid_ = false;
  int renderCount_ = 0;
};

}  // namespace bw
