#pragma once

#include <QPointer>
#include <memory>

#include "about/ui/FrmAbout.h"

namespace bw {

class FileProbe;
class MessageBox;
class ProgramStarter;
class Registry;
class SysInfoLauncher;

// What the main window keeps for its About command: the one About window of
// the program's life, made when first needed, and what it starts the system
// information program with.
class AboutCommand {
 public:
  // The machine's registry, file test and program start, and Qt message boxes.
  AboutCommand();
  // A launcher the caller keeps alive for as long as this command.
  explicit AboutCommand(SysInfoLauncher& launcher);
  ~AboutCommand();
  AboutCommand(const AboutCommand&) = delete;
  AboutCommand& operator=(const AboutCommand&) = delete;

  // The About window, made on the first call; connect to its loaded() and
  // unloaded() to track it.
  FrmAbout& window();
  bool hasWindow() const { return !window_.isNull(); }

  // Shows the About window modally over `owner`; returns when it is closed.
  void show(QWidget* owner) { window().showModal(owner); }

 private:
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<FileProbe> files_;
  std::unique_ptr<ProgramStarter> starter_;
  std::unique_ptr<MessageBox> messages_;
  std::unique_ptr<SysInfoLauncher> ownLauncher_;
  SysInfoLauncher& launcher_;
  QPointer<FrmAbout> window_;
};

}  // namespace bw
