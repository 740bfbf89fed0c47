#pragma once

#include "platform/desktop/SettingsStore.h"

namespace bw {

// Settings in the desktop's usual place (QSettings), one file per
// application under the organization "Brinewatch", sections as groups.
class QtSettingsStore final : public SettingsStore {
 public:
  std::optional<QString> saveSetting(const QString& appName, const QString& section,
                                     const QString& key, const QString& value) override;
  QString getSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& fallback = {}) const override;
};

}  // namespace bw
