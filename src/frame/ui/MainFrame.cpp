#include "frame/ui/MainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <exception>
#include <utility>

#include "BrinewatchConfig.h"
#include "frame/ClockText.h"
#include "frame/FrameHost.h"
#include "frame/HelpCommand.h"
#include "frame/MenuTable.h"
#include "frame/MinuteTimer.h"
#include "frame/PlacementWriter.h"
#include "frame/ToolbarDispatch.h"
#include "frame/ToolbarLayout.h"
#include "frame/ui/ModalWindows.h"
#include "platform/Clock.h"
#include "platform/desktop/DesktopHelpViewer.h"
#include "platform/desktop/QtSettingsStore.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/MessageBox.h"

#include "platform/desktop/TerminationNotifier.h"

namespace bw {

namespace {

constexpr QSize kToolbarIconSize{16, 16};
constexpr QSize kToolbarButtonSize{23, 22};
constexpr int kPanelMinimumWidth = 96;

using Handler = void (MainFrame::*)();

struct MenuBinding {
  const char* name;
  QMenu* MainFrame::*menu;
};

struct ItemBinding {
  const char* name;
  QAction* MainFrame::*action;
  Handler handler;  // nullptr: a placeholder, or an item that does nothing
};

const MenuBinding kMenus[] = {
    {"mnuFile", &MainFrame::mnuFile},
    {"mnuEdit", &MainFrame::mnuEdit},
    {"mnuView", &MainFrame::mnuView},
    {"mnuHelp", &MainFrame::mnuHelp},
};

const ItemBinding kItems[] = {
    {"mnuFileNew", &MainFrame::mnuFileNew, nullptr},
    {"mnuFileOpen", &MainFrame::mnuFileOpen, &MainFrame::mnuFileOpen_Click},
    {"mnuFileClose", &MainFrame::mnuFileClose, nullptr},
    {"mnuFileBar0", &MainFrame::mnuFileBar0, nullptr},
    {"mnuFileSave", &MainFrame::mnuFileSave, nullptr},
    {"mnuFileSaveAs", &MainFrame::mnuFileSaveAs, nullptr},
    {"mnuFileSaveAll", &MainFrame::mnuFileSaveAll, nullptr},
    {"mnuFileBar1", &MainFrame::mnuFileBar1, nullptr},
    {"mnuFileProperties", &MainFrame::mnuFileProperties, nullptr},
    {"mnuFileBar2", &MainFrame::mnuFileBar2, nullptr},
    {"mnuFilePageSetup", &MainFrame::mnuFilePageSetup, &MainFrame::mnuFilePageSetup_Click},
    {"mnuFilePrintPreview", &MainFrame::mnuFilePrintPreview, nullptr},
    {"mnuFilePrint", &MainFrame::mnuFilePrint, nullptr},
    {"mnuFileBar3", &MainFrame::mnuFileBar3, nullptr},
    {"mnuFileSend", &MainFrame::mnuFileSend, nullptr},
    {"mnuFileBar4", &MainFrame::mnuFileBar4, nullptr},
    {"mnuFileMRU1", &MainFrame::mnuFileMRU1, nullptr},
    {"mnuFileMRU2", &MainFrame::mnuFileMRU2, nullptr},
    {"mnuFileMRU3", &MainFrame::mnuFileMRU3, nullptr},
    {"mnuFileBar5", &MainFrame::mnuFileBar5, nullptr},
    {"mnuFileExit", &MainFrame::mnuFileExit, &MainFrame::mnuFileExit_Click},
    {"mnuEditUndo", &MainFrame::mnuEditUndo, nullptr},
    {"mnuEditBar0", &MainFrame::mnuEditBar0, nullptr},
    {"mnuEditCut", &MainFrame::mnuEditCut, nullptr},
    {"mnuEditCopy", &MainFrame::mnuEditCopy, nullptr},
    {"mnuEditPaste", &MainFrame::mnuEditPaste, nullptr},
    {"mnuEditPasteSpecial", &MainFrame::mnuEditPasteSpecial, nullptr},
    {"mnuViewToolbar", &MainFrame::mnuViewToolbar, &MainFrame::mnuViewToolbar_Click},
    {"mnuViewStatusBar", &MainFrame::mnuViewStatusBar, &MainFrame::mnuViewStatusBar_Click},
    {"mnuViewBar0", &MainFrame::mnuViewBar0, nullptr},
    {"mnuViewRefresh", &MainFrame::mnuViewRefresh, nullptr},
    {"mnuViewOptions", &MainFrame::mnuViewOptions, nullptr},
    {"mnuViewWebBrowser", &MainFrame::mnuViewWebBrowser, nullptr},
    {"mnuHelpContents", &MainFrame::mnuHelpContents, &MainFrame::mnuHelpContents_Click},
    {"mnuHelpSearchForHelpOn", &MainFrame::mnuHelpSearchForHelpOn,
     &MainFrame::mnuHelpSearchForHelpOn_Click},
    {"mnuHelpBar0", &MainFrame::mnuHelpBar0, nullptr},
    {"mnuHelpAbout", &MainFrame::mnuHelpAbout, &MainFrame::mnuHelpAbout_Click},
};

template <typename Binding, std::size_t N>
const Binding* findBinding(const Binding (&bindings)[N], const char* name) {
  for (const Binding& binding : bindings)
    if (qstrcmp(binding.name, name) == 0) return &binding;
  return nullptr;
}

QString buttonObjectName(const QString& key) {
  QString name = key;
  name.remove(u' ');
  return QStringLiteral("tbToolBar_") + name;
}

QLabel* panel(QStatusBar* bar, const char* name, const QString& text) {
  auto* label = new QLabel(text, bar);
  label->setObjectName(QLatin1String(name));
  label->setMinimumWidth(kPanelMinimumWidth);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setIndent(2);
  return label;
}

}  // namespace

MainFrame::MainFrame(QMainWindow& window, QToolBar& toolbar, QStatusBar& statusBar, FrameHost& host,
                     FrameOptions options)
    : QObject(nullptr),
      imlToolbarIcons(ImageList::toolbarIcons()),
      window_(window),
      host_(host),
      ownSettings_(options.settings ? nullptr : std::make_unique<QtSettingsStore>()),
      ownHelpViewer_(options.helpViewer ? nullptr : std::make_unique<DesktopHelpViewer>()),
      ownClock_(options.clock ? nullptr : std::make_unique<SystemClock>()),
      settings_(options.settings ? *options.settings : *ownSettings_),
      helpViewer_(options.helpViewer ? *options.helpViewer : *ownHelpViewer_),
      clock_(options.clock ? *options.clock : *ownClock_),
      helpFile_(options.helpFile.value_or(QString::fromUtf8(config::kHelpFile))) {
  setObjectName(QStringLiteral("mainFrame"));
  tbToolBar = &toolbar;
  sbStatusBar = &statusBar;
  loaded_.loaded(&window_, [] {});
  createMenus();
  createToolbar();
  createStatusBar();
  // The panel's line edits would take Ctrl+C, X and V for themselves.
  qApp->installEventFilter(this);
  if (options.endOnTermination) watchTermination();
}

MainFrame::~MainFrame() = default;

void MainFrame::createMenus() {
  QMenuBar* bar = window_.menuBar();
  QMenu* current = nullptr;
  for (const MenuEntry& entry : MenuTable::entries()) {
    const QString name = QLatin1String(entry.name);
    if (entry.kind == MenuEntry::Kind::Menu) {
      current = bar->addMenu(QString::fromLatin1(entry.caption));
      current->setObjectName(name);
      current->menuAction()->setObjectName(name);
      if (const MenuBinding* binding = findBinding(kMenus, entry.name))
        this->*binding->menu = current;
      continue;
    }
    auto* action = new QAction(&window_);
    action->setObjectName(name);
    if (entry.kind == MenuEntry::Kind::Separator) {
      action->setSeparator(true);
    } else {
      action->setText(QString::fromLatin1(entry.caption));
    }
    action->setVisible(entry.visible);
    if (entry.checkable) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    if (*entry.shortcut) {
      action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
      // Active while the main window is, not while one of its boxes is.
      action->setShortcutContext(Qt::WindowShortcut);
      window_.addAction(action);
      shortcutItems_.append(action);
    }
    current->addAction(action);

    const ItemBinding* binding = findBinding(kItems, entry.name);
    if (binding) this->*binding->action = action;
    if (entry.placeholder) {
      const char* itemName = entry.name;
      connect(action, &QAction::triggered, this,
              [this, itemName] { runFromMenu([this, itemName] { showPlaceholder(itemName); }); });
    } else if (binding && binding->handler) {
      const Handler handler = binding->handler;
      connect(action, &QAction::triggered, this,
              [this, handler] { runFromMenu([this, handler] { (this->*handler)(); }); });
    }
  }
}

void MainFrame::createToolbar() {
  tbToolBar->setMovable(false);
  tbToolBar->setFloatable(false);
  tbToolBar->setIconSize(kToolbarIconSize);
  tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tbToolBar_Alignment = new QActionGroup(tbToolBar);
  tbToolBar_Alignment->setObjectName(QStringLiteral("tbToolBar_Alignment"));
  tbToolBar_Alignment->setExclusive(true);
  int separators = 0;
  for (const ToolbarPosition& position : ToolbarLayout::positions()) {
    if (position.kind == ToolbarPosition::Kind::Separator) {
      tbToolBar->addSeparator()->setObjectName(
          QStringLiteral("tbToolBar_Separator%1").arg(separators++));
      continue;
    }
    const QString key = QLatin1String(position.key);
    auto* button = new QAction(QIcon(imlToolbarIcons.picture(key)), key, tbToolBar);
    button->setObjectName(buttonObjectName(key));
    button->setToolTip(key);
    button->setData(key);
    if (position.kind == ToolbarPosition::Kind::Alignment) {
      button->setCheckable(true);
      tbToolBar_Alignment->addAction(button);
    }
    tbToolBar->addAction(button);
    if (QWidget* widget = tbToolBar->widgetForAction(button))
      widget->setFixedSize(kToolbarButtonSize);
    buttons_.append(button);
    connect(button, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
  }
}

void MainFrame::createStatusBar() {
  sbStatusBar_Panel1 = panel(sbStatusBar, "sbStatusBar_Panel1", QStringLiteral("Status"));
  sbStatusBar_Panel2 = panel(sbStatusBar, "sbStatusBar_Panel2", {});
  sbStatusBar_Panel3 = panel(sbStatusBar, "sbStatusBar_Panel3", {});
  sbStatusBar->addWidget(sbStatusBar_Panel1, 1);
  sbStatusBar->addPermanentWidget(sbStatusBar_Panel2);
  sbStatusBar->addPermanentWidget(sbStatusBar_Panel3);
  minuteTimer_ = new MinuteTimer(clock_, this);
  connect(minuteTimer_, &MinuteTimer::minuteBegan, this, &MainFrame::showClock);
  showClock();
  minuteTimer_->start();
}

void MainFrame::showClock() {
  const QDateTime now = clock_.now();
  const QLocale locale;
  sbStatusBar_Panel2->setText(ClockText::date(locale, now.date()));
  sbStatusBar_Panel3->setText(ClockText::time(locale, now.time()));
}

void MainFrame::watchTermination() {
  endOnQuit_ = true;
  termination_ = new TerminationNotifier(this);
  connect(termination_, &TerminationNotifier::terminationRequested, this, [this] { endProgram(); });
#ifndef QT_NO_SESSIONMANAGER
  // The desktop asks this when it saves the session and when a logout may
  // still be cancelled: keep the placement and go on polling (every logged
  // line is on the disk already). The real end of a session quits.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { savePlacement(); });
#endif
}

template <typename Command>
void MainFrame::runFromMenu(Command command) {
  try {
    command();
  } catch (const std::exception& failure) {
    showFailure(QString::fromLocal8Bit(failure.what()));
  } catch (...) {
    showFailure(QStringLiteral("The command failed for an unknown reason."));
  }
}

void MainFrame::showFailure(const QString& reason) {
  try {
    host_.messageBox().show(&window_, reason, MessageStyle::Ok);
  } catch (...) {
    qWarning("%s", qUtf8Printable(reason));
  }
}

void MainFrame::showPlaceholder(const char* itemName) {
  host_.messageBox().show(&window_, MenuTable::placeholderText(QLatin1String(itemName)),
                          MessageStyle::Ok);
}

void MainFrame::runCommand(MenuCommand command) {
  switch (command) {
    case MenuCommand::FileOpen:
      mnuFileOpen_Click();
      return;
    case MenuCommand::FileSave:
      showPlaceholder("mnuFileSave");
      return;
    case MenuCommand::FilePrint:
      showPlaceholder("mnuFilePrint");
      return;
    case MenuCommand::EditCut:
      showPlaceholder("mnuEditCut");
      return;
    case MenuCommand::EditCopy:
      showPlaceholder("mnuEditCopy");
      return;
    case MenuCommand::EditPaste:
      showPlaceholder("mnuEditPaste");
      return;
  }
}

void MainFrame::tbToolBar_ButtonClick(const QString& key) {
  // Whatever fails here, a toolbar click shows nothing for it.
  try {
    const ToolbarAction action = ToolbarDispatch::forKey(key);
    switch (action.kind) {
      case ToolbarAction::Kind::Nothing:
        return;
      case ToolbarAction::Kind::Message:
        host_.messageBox().show(&window_, action.message, MessageStyle::Ok);
        return;
      case ToolbarAction::Kind::Command:
        runCommand(action.command);
        return;
    }
  } catch (...) {
  }
}

QAction* MainFrame::toolbarButton(const QString& key) const {
  for (QAction* button : buttons_)
    if (button->data().toString() == key) return button;
  return nullptr;
}

void MainFrame::mnuFileOpen_Click() {
  CommonDialog& dialog = host_.dlgCommonDialog();
  dialog.DialogTitle = QStringLiteral("Open");
  dialog.CancelError = false;
  dialog.Filter = QStringLiteral("All Files (*.*)|*.*");
  // The chosen name stays in the dialog; nothing is opened yet.
  dialog.ShowOpen(&window_);
}

void MainFrame::mnuFilePageSetup_Click() {
  try {
    CommonDialog& dialog = host_.dlgCommonDialog();
    dialog.DialogTitle = QStringLiteral("Page Setup");
    dialog.CancelError = true;
    dialog.ShowPrinter(&window_);
  } catch (...) {
    // A cancel or a failing printer dialog leaves nothing to do.
  }
}

void MainFrame::mnuFileExit_Click() {
  endProgram();
}

void MainFrame::mnuViewToolbar_Click() {
  // Choosing the item has flipped its check mark already.
  tbToolBar->setVisible(mnuViewToolbar->isChecked());
}

void MainFrame::mnuViewStatusBar_Click() {
  sbStatusBar->setVisible(mnuViewStatusBar->isChecked());
}

void MainFrame::mnuHelpContents_Click() {
  HelpCommand(helpViewer_, host_.messageBox())
      .run(&window_, window_.windowTitle(), helpFile_, HelpRequest::Contents);
}

void MainFrame::mnuHelpSearchForHelpOn_Click() {
  HelpCommand(helpViewer_, host_.messageBox())
      .run(&window_, window_.windowTitle(), helpFile_, HelpRequest::PartialKey);
}

void MainFrame::mnuHelpAbout_Click() {
  host_.showAbout(&window_);
}

void MainFrame::trackWindow(QWidget* window) {
  if (!window || tracked_.contains(window)) return;
  tracked_.append(window);
  if (window->isVisible()) loadTracked(window);
}

void MainFrame::loadTracked(QWidget* window) {
  loaded_.loaded(window, [window = QPointer<QWidget>(window)] {
    if (!window) return;
    if (auto* dialog = qobject_cast<QDialog*>(window.data())) {
      dialog->reject();
    } else {
      window->close();
    }
  });
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      if (isMenuShortcut(watched, *static_cast<QKeyEvent*>(event))) {
        // Not taken by the focus widget: the menu item's shortcut fires.
        event->ignore();
        return true;
      }
      break;
    case QEvent::Quit:
      // A quit request (the session ending, or any platform code) would
      // make every nested wait of the polling loop return at once: it ends
      // the program through the end sequence first. Qt then goes on to quit.
      if (endOnQuit_ && watched == qApp) endProgram();
      break;
    case QEvent::Show:
    case QEvent::Hide: {
      tracked_.removeAll(nullptr);
      auto* widget = qobject_cast<QWidget*>(watched);
      if (!widget || !tracked_.contains(widget)) break;
      if (event->type() == QEvent::Hide) {
        loaded_.unloaded(widget);
      } else {
        loadTracked(widget);
      }
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

bool MainFrame::isMenuShortcut(QObject* receiver, const QKeyEvent& key) const {
  auto* widget = qobject_cast<QWidget*>(receiver);
  if (!widget || widget->window() != &window_) return false;
  const QKeySequence pressed(
      QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, static_cast<Qt::Key>(key.key())));
  for (QAction* item : shortcutItems_)
    if (item->isEnabled() && item->isVisible() && item->shortcut() == pressed) return true;
  return false;
}

void MainFrame::endProgram() {
  if (ended_) {
    ModalWindows::closeAll();
    return;
  }
  ended_ = true;
  runFromMenu([this] { host_.closeLogIfLogging(); });
  unloadMainWindow();
  // Boxes still open would hold their nested loops, and with them the end.
  ModalWindows::closeAll();
  minuteTimer_->stop();
  runFromMenu([this] { host_.stopPolling(); });
  window_.hide();
  emit programEnded();
}

void MainFrame::unloadMainWindow() {
  loaded_.unloadAllButFirst();
  savePlacement();
}

void MainFrame::savePlacement() {
  if (window_.isMinimized()) return;
  runFromMenu([this] {
    if (const auto failure = PlacementWriter::write(settings_, window_.frameGeometry()))
      showFailure(*failure);
  });
}

}  // namespace bw
