#pragma once

namespace bw {

// The modal boxes and dialogs open at a moment, each running its own nested
// event loop.
class ModalWindows {
 public:
  // Closes open popups and every modal window, topmost first, so their loops
  // return as soon as the caller does. Dialogs are rejected, as by Esc.
  static void closeAll();
};

}  // namespace bw
