#include "platform/pageview/PageViewSetup.h"

#include <QCoreApplication>
#include <QtGlobal>
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include <QQuickWindow>
#include <QSGRendererInterface>
#endif

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "platform/StartEnvironment.h"

namespace bw {

void preparePageViewBeforeApplication() {
  keepStartEnvironment();
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  // The engine shares its GL context with the widgets' compositor.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#ifdef Q_OS_UNIX
  // The engine's sandbox refuses to start for root; an explicit setting wins.
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
  // Composite the view in software unless told otherwise (QT_QUICK_BACKEND).
  // Where the only OpenGL is a software one, as on machines without a GPU,
  // that halves the view's CPU use; with a GPU it costs about the same for a
  // page this small, and keeps a program that runs for days off GL drivers.
  // The engine then turns its own GPU use off as well.
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Nothing draws with GL then, yet the X platform would still load a GL
    // stack at start-up (software GL takes about 80 ms and 60 MB). Only
    // together with software drawing: the engine view needs GL otherwise.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
      qputenv("QT_XCB_GL_INTEGRATION", "none");
  }
#endif
}

}  // namespace bw
