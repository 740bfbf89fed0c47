#include "frame/Placement.h"

#include <utility>

#include "BrinewatchConfig.h"
#include "platform/Twips.h"
#include "platform/desktop/SettingsStore.h"

namespace bw {

std::optional<QString> writePlacement(SettingsStore& store, const QRect& framePixels) {
  const QString appName = QString::fromLatin1(config::kApplicationTitle);
  const QString section = QStringLiteral("Settings");
  const std::pair<QString, int> values[] = {
      {QStringLiteral("MainLeft"), framePixels.left()},
      {QStringLiteral("MainTop"), framePixels.top()},
      {QStringLiteral("MainWidth"), framePixels.width()},
      {QStringLiteral("MainHeight"), framePixels.height()},
  };
  for (const auto& [key, pixels] : values) {
    // Whole twips print without a decimal point, as the general number form does.
    if (auto failure =
            store.saveSetting(appName, section, key, QString::number(pixelsToTwips(pixels))))
      return failure;
  }
  return std::nullopt;
}

}  // namespace bw
