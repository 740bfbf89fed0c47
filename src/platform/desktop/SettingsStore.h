#pragma once

#include <QString>
#include <optional>

namespace bw {

// Where the program keeps its settings between runs: values by application,
// section and key, each write on its own.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Stores one value at once; the reason when it could not be stored.
  virtual std::optional<QString> saveSetting(const QString& appName, const QString& section,
                                             const QString& key, const QString& value) = 0;
  // The stored value, or `fallback` when there is none.
  virtual QString getSetting(const QString& appName, const QString& section, const QString& key,
                             const QString& fallback = {}) const = 0;
};

}  // namespace bw
