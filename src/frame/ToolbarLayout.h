#pragma once

#include <QString>
#include <vector>

namespace bw {

// One position on the toolbar, left to right.
struct ToolbarPosition {
  enum class Kind { Button, Separator, Alignment };
  Kind kind;
  const char* key;  // also the tooltip and the picture's key; empty for a separator
};

// The toolbar's buttons and the pictures they show.
class ToolbarLayout {
 public:
  // The 17 positions; the alignment buttons form one group of which at most
  // one is pressed.
  static const std::vector<ToolbarPosition>& positions();
  // Keys of the toolbar pictures in image-list order (index 1 first).
  static const std::vector<const char*>& imageKeys();
};

}  // namespace bw
