#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "frame/ImageList.h"
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
class CommonDialog;
class HelpViewer;
class MessageBox;
class MinuteTimer;
class SettingsStore;
struct MenuRow;

// Closes open popups and every modal window, topmost first, so their nested
// loops return as soon as the caller does. Dialogs are rejected, as by Esc.
void closeModalWindows();

// What the frame works with; the start routine makes each one once.
struct FrameServices {
  MessageBox& messages;
  CommonDialog& dialog;  // the main window's one common dialog
  SettingsStore& settings;
  HelpViewer& helpViewer;
  const Clock& clock;
  QString helpFile;  // empty: the program has no help file
};

// The main window's frame: its menus, the toolbar and the status bar it is
// given, and their commands. The window holds the controls; the frame fills
// them and answers their events. What it cannot do itself (ending the
// program, the About window) it asks for with a signal.
class MainFrame : public QObject {
  Q_OBJECT

 public:
  MainFrame(QMainWindow& window, QToolBar& toolbar, QStatusBar& statusBar,
            const FrameServices& services);
  ~MainFrame() override;

  // Keeps `window` in the list of loaded windows while it is shown, so
  // unloadWindows() unloads it.
  void trackWindow(QWidget* window);
  const LoadedWindows& loadedWindows() const { return loaded_; }
  // Where the frame tells a failure: in a box, or on standard error when
  // nobody may be there to answer a box (an end or a session save the
  // system asked for).
  enum class Report { Box, StandardError };
  // Unloads every loaded window but the main one, last loaded first, then
  // keeps the main window's placement.
  void unloadWindows(Report report = Report::Box);
  // Keeps the main window's placement unless it is minimized; a refused
  // write is told with its reason.
  void savePlacement(Report report = Report::Box);
  // The status bar's clock stops.
  void stopClock();

  // The toolbar's click, by button key: exact and case-sensitive; an unknown
  // key does nothing.
  void tbToolBar_ButtonClick(const QString& key);
  // The toolbar button with `key`; nullptr when there is none.
  QAction* toolbarButton(const QString& key) const;

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
  // File > Exit: the program is asked to end.
  void endRequested();
  // Help > About: the About window is asked for, owned by the main window.
  void aboutRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createMenus();
  void createToolbar();
  void createStatusBar();
  void showClock();
  void runMenuRow(const MenuRow& row);
  void showMessage(const QString& text);
  void loadTracked(QWidget* window);
  bool isMenuShortcut(QObject* receiver, const QKeyEvent& key) const;

  QMainWindow& window_;
  MessageBox& messages_;
  CommonDialog& dialog_;
  SettingsStore& settings_;
  HelpViewer& helpViewer_;
  const Clock& clock_;
  const QString helpFile_;
  MinuteTimer* minuteTimer_ = nullptr;
  LoadedWindows loaded_;
  QList<QPointer<QWidget>> tracked_;
  QList<QAction*> buttons_;
  QList<QAction*> shortcutItems_;
};

}  // namespace bw
