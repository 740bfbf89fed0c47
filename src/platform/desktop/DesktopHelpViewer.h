#pragma once

#include <QUrl>
#include <functional>

#include "platform/HelpViewer.h"

namespace bw {

// The help file opened with the desktop's own handler for its type; on
// Windows the system help call. A relative name is taken from the program's
// folder.
class DesktopHelpViewer final : public HelpViewer {
 public:
  // Opens a URL with its handler; false when nothing opened it.
  using Opener = std::function<bool(const QUrl&)>;

  DesktopHelpViewer();
  explicit DesktopHelpViewer(Opener opener);

  std::optional<QString> show(QWidget* owner, const QString& helpFile, HelpRequest request,
                              const QString& keyword) override;

 private:
  Opener opener_;
};

}  // namespace bw
