#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

#include "frame/ImageList.h"
#include "frame/MenuCommand.h"
#include "platform/desktop/LoadedWindows.h"

class QAction;
class QActionGroup;
class QKeyEvent;
class QLabel;
class QMainWindow;
class QMenu;
class QStatusBar;
class QToolBar;
class QWidget;

namespace bw {

class Clock;
class FrameHost;
class HelpViewer;
class MinuteTimer;
class SettingsStore;
class TerminationNotifier;

// What the frame is given besides its host; each left empty gets the real one.
struct FrameOptions {
  SettingsStore* settings = nullptr;  // the desktop's settings
  HelpViewer* helpViewer = nullptr;   // the desktop's handler for the help file
  const Clock* clock = nullptr;       // the system clock
  std::optional<QString> helpFile;    // the help file named at build time
  // SIGTERM, SIGINT and the end of the desktop session run the end sequence.
  bool endOnTermination = true;
};

// The main window's frame: its menus, the toolbar and the status bar it is
// given, their commands, and the end sequence that Exit, the close box, the
// Stop button and a termination all run. The window holds the controls; the
// frame fills them and answers their events.
class MainFrame : public QObject {
  Q_OBJECT

 public:
  MainFrame(QMainWindow& window, QToolBar& toolbar, QStatusBar& statusBar, FrameHost& host,
            FrameOptions options = {});
  ~MainFrame() override;

  // The end sequence: closes the log when logging is on, unloads the main
  // window (every other loaded window, then the placement unless minimized),
  // closes what modal boxes are left and stops polling. Runs once; asked
  // again meanwhile, it only closes modal boxes, so a box it opened itself
  // cannot hold it.
  void endProgram();
  bool ended() const { return ended_; }

  // Keeps `window` in the list of loaded windows while it is shown, so the
  // end sequence unloads it.
  void trackWindow(QWidget* window);
  const LoadedWindows& loadedWindows() const { return loaded_; }

  QString helpFile() const { return helpFile_; }
  void setHelpFile(const QString& helpFile) { helpFile_ = helpFile; }

  // The toolbar's click, by button key.
  void tbToolBar_ButtonClick(const QString& key);
  // The toolbar button with `key`; nullptr when there is none.
  QAction* toolbarButton(const QString& key) const;
  QList<QAction*> toolbarButtons() const { return buttons_; }

  // Commands with more to them than a placeholder message.
  void mnuFileOpen_Click();
  void mnuFilePageSetup_Click();
  void mnuFileExit_Click();
  void mnuViewToolbar_Click();
  void mnuViewStatusBar_Click();
  void mnuHelpContents_Click();
  void mnuHelpSearchForHelpOn_Click();
  void mnuHelpAbout_Click();

  QMenu* mnuFile = nullptr;
  QAction* mnuFileNew = nullptr;
  QAction* mnuFileOpen = nullptr;
  QAction* mnuFileClose = nullptr;
  QAction* mnuFileBar0 = nullptr;
  QAction* mnuFileSave = nullptr;
  QAction* mnuFileSaveAs = nullptr;
  QAction* mnuFileSaveAll = nullptr;
  QAction* mnuFileBar1 = nullptr;
  QAction* mnuFileProperties = nullptr;
  QAction* mnuFileBar2 = nullptr;
  QAction* mnuFilePageSetup = nullptr;
  QAction* mnuFilePrintPreview = nullptr;
  QAction* mnuFilePrint = nullptr;
  QAction* mnuFileBar3 = nullptr;
  QAction* mnuFileSend = nullptr;
  QAction* mnuFileBar4 = nullptr;
  QAction* mnuFileMRU1 = nullptr;
  QAction* mnuFileMRU2 = nullptr;
  QAction* mnuFileMRU3 = nullptr;
  QAction* mnuFileBar5 = nullptr;
  QAction* mnuFileExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuEditUndo = nullptr;
  QAction* mnuEditBar0 = nullptr;
  QAction* mnuEditCut = nullptr;
  QAction* mnuEditCopy = nullptr;
  QAction* mnuEditPaste = nullptr;
  QAction* mnuEditPasteSpecial = nullptr;
  QMenu* mnuView = nullptr;
  QAction* mnuViewToolbar = nullptr;
  QAction* mnuViewStatusBar = nullptr;
  QAction* mnuViewBar0 = nullptr;
  QAction* mnuViewRefresh = nullptr;
  QAction* mnuViewOptions = nullptr;
  QAction* mnuViewWebBrowser = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuHelpContents = nullptr;
  QAction* mnuHelpSearchForHelpOn = nullptr;
  QAction* mnuHelpBar0 = nullptr;
  QAction* mnuHelpAbout = nullptr;

  QToolBar* tbToolBar = nullptr;
  QActionGroup* tbToolBar_Alignment = nullptr;
  ImageList imlToolbarIcons;
  QStatusBar* sbStatusBar = nullptr;
  QLabel* sbStatusBar_Panel1 = nullptr;  // "Status"
  QLabel* sbStatusBar_Panel2 = nullptr;  // the date
  QLabel* sbStatusBar_Panel3 = nullptr;  // the time

 signals:
  // The end sequence has run to its end.
  void programEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createMenus();
  void createToolbar();
  void createStatusBar();
  void watchTermination();
  void showClock();

  void runCommand(MenuCommand command);
  void showPlaceholder(const char* itemName);
  // Runs a menu command; a failure is shown with its reason.
  template <typename Command>
  void runFromMenu(Command command);
  void showFailure(const QString& reason);
  void unloadMainWindow();
  void savePlacement();
  void loadTracked(QWidget* window);
  bool isMenuShortcut(QObject* receiver, const QKeyEvent& key) const;

  QMainWindow& window_;
  FrameHost& host_;
  std::unique_ptr<SettingsStore> ownSettings_;
  std::unique_ptr<HelpViewer> ownHelpViewer_;
  std::unique_ptr<Clock> ownClock_;
  SettingsStore& settings_;
  HelpViewer& helpViewer_;
  const Clock& clock_;
  QString helpFile_;
  MinuteTimer* minuteTimer_ = nullptr;
  TerminationNotifier* termination_ = nullptr;
  bool endOnQuit_ = false;
  LoadedWindows loaded_;
  QList<QPointer<QWidget>> tracked_;
  QList<QAction*> buttons_;
  QList<QAction*> shortcutItems_;
  bool ended_ = false;
};

}  // namespace bw
