#include "platform/pageview/DisplayOnlyWebPage.h"

#include <QWebEngineSettings>

namespace bw {

DisplayOnlyWebPage::DisplayOnlyWebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
  QWebEngineSettings* s = settings();
  // Governs the page's own scripts; the view's patches run in another world.
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  s->setAttribute(QWebEngineSettings::AutoLoadImages, false);
  s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
  s->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
  s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
  s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
  s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
  s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
  s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
  s->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, false);
  s->setAttribute(QWebEngineSettings::ScrollAnimatorEnabled, false);
  s->setAttribute(QWebEngineSettings::LinksIncludedInFocusChain, false);
  s->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

bool DisplayOnlyWebPage::acceptNavigationRequest(const QUrl& url, NavigationType /*type*/,
                                                 bool isMainFrame) {
  // setHtml arrives as a data: URL in the main frame; anything else is the
  // page trying to go somewhere.
  return isMainFrame && url.scheme() == QLatin1String("data");
}

QWebEnginePage* DisplayOnlyWebPage::createWindow(WebWindowType /*type*/) {
  return nullptr;
}

void DisplayOnlyWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel /*level*/,
                                                  const QString& /*message*/, int /*lineNumber*/,
                                                  const QString& /*sourceID*/) {}

}  // namespace bw
