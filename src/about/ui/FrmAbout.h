#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;

namespace bw {

class SysInfoLauncher;

// The About window: the program's title and version, its icon and a button
// that starts the system information program. Fixed size, shown modally
// over its owner; every showing loads it afresh and every closing, by OK, Esc
// or the close box, unloads it.
class FrmAbout final : public QDialog {
  Q_OBJECT

 public:
  explicit FrmAbout(SysInfoLauncher& launcher, QWidget* parent = nullptr);

  // Makes `owner`'s window the owner, centres this window on it and shows it
  // modally; returns once the window is unloaded.
  void showModal(QWidget* owner);

  bool isLoaded() const { return loaded_; }

  void done(int result) override;

 signals:
  void loaded();
  void unloaded();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void load();
  void unload();
  void showInitialTexts();

  SysInfoLauncher& launcher_;
  bool loaded_ = false;

  QPushButton* cmdOK;
  QPushButton* cmdSysInfo;
  QLabel* picIcon;
  QLabel* lblDisclaimer;
  QLabel* lblVersion;
  QLabel* lblTitle;
  QLabel* lblDescription;
  std::array<QWidget*, 2> Line1;
};

}  // namespace bw
