#pragma once

#include <QRect>
#include <QString>
#include <optional>

namespace bw {

class SettingsStore;

// Keeps the main window's placement for the next run: under the program's
// name, section "Settings", MainLeft, MainTop, MainWidth and MainHeight of
// the whole window frame in twips, written in that order, each on its own.
// Stops at the first refused write and gives its reason.
std::optional<QString> writePlacement(SettingsStore& store, const QRect& framePixels);

}  // namespace bw
