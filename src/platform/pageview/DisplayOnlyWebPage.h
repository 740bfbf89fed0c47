#pragma once

#include <QWebEnginePage>

namespace bw {

// A browser page that shows what it is given and goes nowhere by itself: no
// link, form, refresh or frame navigation, no new windows, no console noise.
class DisplayOnlyWebPage : public QWebEnginePage {
  Q_OBJECT

 public:
  DisplayOnlyWebPage(QWebEngineProfile* profile, QObject* parent);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override;
};

}  // namespace bw
