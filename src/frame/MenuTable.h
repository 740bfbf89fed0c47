#pragma once

#include <QString>
#include <vector>

namespace bw {

// One line of the menu bar: a menu, an item or a separator. The items and
// separators after a menu belong to it.
struct MenuEntry {
  enum class Kind { Menu, Item, Separator };
  Kind kind;
  const char* name;
  const char* caption;   // with '&' before the access key
  const char* shortcut;  // portable key text, empty for none
  bool visible;
  bool checkable;    // checkable items start checked
  bool placeholder;  // the command only says that its code is still to come
};

// The main window's menus as the program shows them.
class MenuTable {
 public:
  static const std::vector<MenuEntry>& entries();
  // The placeholder message of the item called `name`.
  static QString placeholderText(const QString& name);
};

}  // namespace bw
