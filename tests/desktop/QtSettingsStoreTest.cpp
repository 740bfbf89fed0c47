#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "platform/desktop/QtSettingsStore.h"

namespace bw {
namespace {

TEST(QtSettingsStore, WritesTextValuesUnderTheApplicationAndSectionInTheTestLocation) {
  const QString app = QStringLiteral("BrinewatchStoreTest");
  QSettings(QStringLiteral("Brinewatch"), app).clear();
  QtSettingsStore store;
  EXPECT_EQ(store.saveSetting(app, QStringLiteral("Settings"), QStringLiteral("MainLeft"),
                              QStringLiteral("1200")),
            std::nullopt);
  EXPECT_EQ(store.getSetting(app, QStringLiteral("Settings"), QStringLiteral("MainLeft")),
            QStringLiteral("1200"));
  EXPECT_EQ(store.getSetting(app, QStringLiteral("Settings"), QStringLiteral("Missing"),
                             QStringLiteral("none")),
            QStringLiteral("none"));

  QSettings settings(QStringLiteral("Brinewatch"), app);
  EXPECT_TRUE(settings.fileName().startsWith(
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)))
      << settings.fileName().toStdString();
  EXPECT_EQ(settings.value(QStringLiteral("Settings/MainLeft")).toString(), QStringLiteral("1200"));
  settings.clear();
}

TEST(QtSettingsStore, AFileThatCannotBeWrittenRefusesTheWriteWithItsReason) {
  const QString app = QStringLiteral("BrinewatchRefusingStore");
  const QString path = QSettings(QStringLiteral("Brinewatch"), app).fileName();
  // A folder where the file should be stops even root from writing it.
  ASSERT_TRUE(QDir().mkpath(path));
  QtSettingsStore store;
  const auto failure = store.saveSetting(app, QStringLiteral("Settings"), QStringLiteral("MainTop"),
                                         QStringLiteral("900"));
  QDir(path).removeRecursively();
  ASSERT_TRUE(failure.has_value());
  EXPECT_TRUE(failure->contains(QStringLiteral("MainTop"))) << failure->toStdString();
  EXPECT_TRUE(failure->contains(path)) << failure->toStdString();
}

}  // namespace
}  // namespace bw
