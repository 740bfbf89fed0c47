#pragma once

#include <QRect>
#include <QString>
#include <optional>

namespace bw {

class SettingsStore;

// The main window's placement as it is kept between runs: under the program's
// name, section "Settings", left, top, width and height of the whole window
// frame in twips, each written on its own.
class PlacementWriter {
 public:
  static constexpr int kTwipsPerPixel = 15;

  // Writes MainLeft, MainTop, MainWidth and MainHeight in that order and stops
  // at the first refused write; its reason then.
  static std::optional<QString> write(SettingsStore& store, const QRect& framePixels);
};

}  // namespace bw
