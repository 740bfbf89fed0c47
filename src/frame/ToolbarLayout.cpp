#include "frame/ToolbarLayout.h"

namespace bw {

const std::vector<ToolbarPosition>& ToolbarLayout::positions() {
  using Kind = ToolbarPosition::Kind;
  static const std::vector<ToolbarPosition> table{
      {Kind::Button, "New"},
      {Kind::Button, "Open"},
      {Kind::Button, "Save"},
      {Kind::Separator, ""},
      {Kind::Button, "Print"},
      {Kind::Separator, ""},
      {Kind::Button, "Cut"},
      {Kind::Button, "Copy"},
      {Kind::Button, "Paste"},
      {Kind::Separator, ""},
      {Kind::Button, "Bold"},
      {Kind::Button, "Italic"},
      {Kind::Button, "Underline"},
      {Kind::Separator, ""},
      {Kind::Alignment, "Align Left"},
      {Kind::Alignment, "Center"},
      {Kind::Alignment, "Align Right"},
  };
  return table;
}

const std::vector<const char*>& ToolbarLayout::imageKeys() {
  static const std::vector<const char*> keys{
      "New",  "Open",   "Save",      "Print",      "Cut",    "Copy",       "Paste",
      "Bold", "Italic", "Underline", "Align Left", "Center", "Align Right"};
  return keys;
}

}  // namespace bw
