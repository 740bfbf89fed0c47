#include "about/ui/AboutCommand.h"

#include "about/SysInfoLauncher.h"
#include "platform/registry/SystemRegistry.h"
#include "platform/ui/MessageBox.h"

namespace bw {

AboutCommand::AboutCommand()
    : registry_(makeSystemRegistry()),
      files_(std::make_unique<QtFileProbe>()),
      starter_(std::make_unique<DetachedProgramStarter>()),
      messages_(std::make_unique<QtMessageBox>()),
      ownLauncher_(std::make_unique<SysInfoLauncher>(*registry_, *files_, *starter_, *messages_)),
      launcher_(*ownLauncher_) {}

AboutCommand::AboutCommand(SysInfoLauncher& launcher) : launcher_(launcher) {}

// The window may belong to its owner by now; whichever goes first takes it.
AboutCommand::~AboutCommand() {
  delete window_.data();
}

FrmAbout& AboutCommand::window() {
  if (!window_) window_ = new FrmAbout(launcher_);
  return *window_;
}

}  // namespace bw
