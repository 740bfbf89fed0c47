#include <QApplication>

#include "BrinewatchConfig.h"
#include "acquisition/ui/Module1.h"
#include "platform/pageview/PageViewSetup.h"

int main(int argc, char** argv) {
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(bw::config::kApplicationTitle));
  QApplication::setOrganizationName(QString::fromLatin1(bw::config::kApplicationTitle));
  // Lets the desktop put the menu entry's icon on the window and its task.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.brinewatch.Brinewatch"));
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                          .arg(bw::config::kVersionMajor)
                                          .arg(bw::config::kVersionMinor)
                                          .arg(bw::config::kVersionRevision));
  return bw::Module1();
}
