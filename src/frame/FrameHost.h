#pragma once

class QWidget;

namespace bw {

class CommonDialog;
class MessageBox;

// What the frame (menus, toolbar, status bar, end sequence) needs from the
// main window it is built on.
class FrameHost {
 public:
  virtual ~FrameHost() = default;

  virtual MessageBox& messageBox() = 0;
  // The one common dialog, shared with the window's own commands.
  virtual CommonDialog& dlgCommonDialog() = 0;
  // Shows the About window modally over `owner`; returns once it is closed.
  virtual void showAbout(QWidget* owner) = 0;
  // First step of the end: closes the log file when logging is on.
  virtual void closeLogIfLogging() = 0;
  // Last step of the end: the polling loop makes no further step and its
  // wait returns.
  virtual void stopPolling() = 0;
};

}  // namespace bw
