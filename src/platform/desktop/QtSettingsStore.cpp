#include "platform/desktop/QtSettingsStore.h"

#include <QSettings>

#include "BrinewatchConfig.h"

namespace bw {

namespace {

QString organization() {
  return QString::fromLatin1(config::kApplicationTitle);
}

}  // namespace

std::optional<QString> QtSettingsStore::saveSetting(const QString& appName, const QString& section,
                                                    const QString& key, const QString& value) {
  QSettings settings(organization(), appName);
  if (!settings.isWritable())
    return QStringLiteral("The setting %1 cannot be saved: %2 is not writable.")
        .arg(key, settings.fileName());
  settings.beginGroup(section);
  settings.setValue(key, value);
  settings.endGroup();
  // Written through now, so a refused write is known at once.
  settings.sync();
  switch (settings.status()) {
    case QSettings::NoError:
      return std::nullopt;
    case QSettings::AccessError:
      return QStringLiteral("The setting %1 cannot be saved: %2 cannot be written.")
          .arg(key, settings.fileName());
    case QSettings::FormatError:
      break;
  }
  return QStringLiteral("The setting %1 cannot be saved: %2 is not a settings file.")
      .arg(key, settings.fileName());
}

QString QtSettingsStore::getSetting(const QString& appName, const QString& section,
                                    const QString& key, const QString& fallback) const {
  QSettings settings(organization(), appName);
  settings.beginGroup(section);
  return settings.value(key, fallback).toString();
}

}  // namespace bw
