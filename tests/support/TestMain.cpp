#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "platform/pageview/PageViewSetup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The browser engine refuses to start as root unless its sandbox is off.
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QStandardPaths::setTestModeEnabled(true);
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
