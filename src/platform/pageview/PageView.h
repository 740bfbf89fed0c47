#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

namespace bw {

// The visible page: shows each answer as it is loaded. Display only; nothing
// is ever read back from it.
class PageView : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  ~PageView() override = default;

  virtual void showPage(const QByteArray& html, const QString& url) = 0;
  // No answer arrived for `url`; `reason` says why.
  virtual void showNoAnswer(const QString& url, const QString& reason) = 0;
  // An answer came for `url` that is not shown; `reason` says why.
  virtual void showRefused(const QString& url, const QString& reason) = 0;
};

// The browser-engine view where it was built in, otherwise the plain view.
PageView* createPageView(QWidget* parent);

}  // namespace bw
