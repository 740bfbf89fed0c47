#include "frame/ui/MainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <cstdio>

#include "frame/ClockText.h"
#include "frame/Help.h"
#include "frame/MinuteTimer.h"
#include "frame/Placement.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/ui/CommonDialog.h"

namespace bw {

using Handler = void (MainFrame::*)();

// One line of the menu bar: a menu, or an item or separator of the menu
// above it. The object name is the name of the member the row fills.
struct MenuRow {
  enum class Kind { Menu, Item, Placeholder, Toggle, Separator };
  Kind kind;
  const char* name;
  QMenu* MainFrame::*menu;
  QAction* MainFrame::*item;
  const char* caption;   // with '&' before the access key
  const char* shortcut;  // portable key text, empty for none
  bool visible;
  Handler handler;  // Item and Toggle rows; nullptr: the item does nothing
};

namespace {

using Kind = MenuRow::Kind;

constexpr MenuRow menu(const char* name, QMenu* MainFrame::*member, const char* caption) {
  return {Kind::Menu, name, member, nullptr, caption, "", true, nullptr};
}
constexpr MenuRow item(const char* name, QAction* MainFrame::*member, const char* caption,
                       Handler handler) {
  return {Kind::Item, name, nullptr, member, caption, "", true, handler};
}
// The command only says that its code is still to come.
constexpr MenuRow placeholder(const char* name, QAction* MainFrame::*member, const char* caption,
                              const char* shortcut = "") {
  return {Kind::Placeholder, name, nullptr, member, caption, shortcut, true, nullptr};
}
// Checkable, and checked from the start.
constexpr MenuRow toggle(const char* name, QAction* MainFrame::*member, const char* caption,
                         Handler handler) {
  return {Kind::Toggle, name, nullptr, member, caption, "", true, handler};
}
constexpr MenuRow hidden(const char* name, QAction* MainFrame::*member) {
  return {Kind::Item, name, nullptr, member, "", "", false, nullptr};
}
constexpr MenuRow separator(const char* name, QAction* MainFrame::*member, bool visible = true) {
  return {Kind::Separator, name, nullptr, member, "", "", visible, nullptr};
}

// A row's object name and the member it fills, from the member itself.
#define MEMBER(name) #name, &MainFrame::name

const MenuRow kMenuRows[] = {
    menu(MEMBER(mnuFile), "&File"),
    placeholder(MEMBER(mnuFileNew), "&New", "Ctrl+N"),
    item(MEMBER(mnuFileOpen), "&Open...", &MainFrame::mnuFileOpen_Click),
    placeholder(MEMBER(mnuFileClose), "&Close"),
    separator(MEMBER(mnuFileBar0)),
    placeholder(MEMBER(mnuFileSave), "&Save"),
    placeholder(MEMBER(mnuFileSaveAs), "Save &As..."),
    placeholder(MEMBER(mnuFileSaveAll), "Save A&ll"),
    separator(MEMBER(mnuFileBar1)),
    placeholder(MEMBER(mnuFileProperties), "Propert&ies"),
    separator(MEMBER(mnuFileBar2)),
    item(MEMBER(mnuFilePageSetup), "Page Set&up...", &MainFrame::mnuFilePageSetup_Click),
    placeholder(MEMBER(mnuFilePrintPreview), "Print Pre&view"),
    placeholder(MEMBER(mnuFilePrint), "&Print..."),
    separator(MEMBER(mnuFileBar3)),
    placeholder(MEMBER(mnuFileSend), "Sen&d..."),
    separator(MEMBER(mnuFileBar4)),
    hidden(MEMBER(mnuFileMRU1)),
    hidden(MEMBER(mnuFileMRU2)),
    hidden(MEMBER(mnuFileMRU3)),
    separator(MEMBER(mnuFileBar5), false),
    item(MEMBER(mnuFileExit), "E&xit", &MainFrame::mnuFileExit_Click),
    menu(MEMBER(mnuEdit), "&Edit"),
    placeholder(MEMBER(mnuEditUndo), "&Undo"),
    separator(MEMBER(mnuEditBar0)),
    placeholder(MEMBER(mnuEditCut), "Cu&t", "Ctrl+X"),
    placeholder(MEMBER(mnuEditCopy), "&Copy", "Ctrl+C"),
    placeholder(MEMBER(mnuEditPaste), "&Paste", "Ctrl+V"),
    placeholder(MEMBER(mnuEditPasteSpecial), "Paste &Special..."),
    menu(MEMBER(mnuView), "&View"),
    toggle(MEMBER(mnuViewToolbar), "&Toolbar", &MainFrame::mnuViewToolbar_Click),
    toggle(MEMBER(mnuViewStatusBar), "Status &Bar", &MainFrame::mnuViewStatusBar_Click),
    separator(MEMBER(mnuViewBar0)),
    placeholder(MEMBER(mnuViewRefresh), "&Refresh"),
    placeholder(MEMBER(mnuViewOptions), "&Options..."),
    item(MEMBER(mnuViewWebBrowser), "&Web Browser", nullptr),
    menu(MEMBER(mnuHelp), "&Help"),
    item(MEMBER(mnuHelpContents), "&Contents", &MainFrame::mnuHelpContents_Click),
    item(MEMBER(mnuHelpSearchForHelpOn), "&Search For Help On...",
         &MainFrame::mnuHelpSearchForHelpOn_Click),
    separator(MEMBER(mnuHelpBar0)),
    item(MEMBER(mnuHelpAbout), "&About ", &MainFrame::mnuHelpAbout_Click),
};

#undef MEMBER

// One position on the toolbar, left to right.
struct ToolbarRow {
  const char* key;      // also the tooltip; empty for a separator
  const char* picture;  // resources/toolbar/<picture>.xpm
  // The menu item whose command the button runs; without one the button
  // says that its code is still to come.
  QAction* MainFrame::*runs;
  bool alignment;  // one of the group of which at most one is pressed
};

constexpr ToolbarRow button(const char* key, const char* picture,
                            QAction* MainFrame::*runs = nullptr) {
  return {key, picture, runs, false};
}
constexpr ToolbarRow alignment(const char* key, const char* picture) {
  return {key, picture, nullptr, true};
}
constexpr ToolbarRow gap() {
  return {"", "", nullptr, false};
}

const ToolbarRow kToolbarRows[] = {
    button("New", "new"),
    button("Open", "open", &MainFrame::mnuFileOpen),
    button("Save", "save", &MainFrame::mnuFileSave),
    gap(),
    button("Print", "print", &MainFrame::mnuFilePrint),
    gap(),
    button("Cut", "cut", &MainFrame::mnuEditCut),
    button("Copy", "copy", &MainFrame::mnuEditCopy),
    button("Paste", "paste", &MainFrame::mnuEditPaste),
    gap(),
    button("Bold", "bold"),
    button("Italic", "italic"),
    button("Underline", "underline"),
    gap(),
    alignment("Align Left", "alignleft"),
    alignment("Center", "center"),
    alignment("Align Right", "alignright"),
};

constexpr QSize kToolbarIconSize{16, 16};
constexpr QColor kToolbarMaskColour{192, 192, 192};  // light grey is see-through
constexpr QSize kToolbarButtonSize{23, 22};
constexpr int kPanelMinimumWidth = 96;

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

void closeModalWindows() {
  // More would mean a window that will not close; give up rather than spin.
  constexpr int kMostWindows = 64;
  for (int i = 0; i < kMostWindows; ++i) {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) break;
    popup->close();
  }
  for (int i = 0; i < kMostWindows; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) break;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    // A box that refuses to close (no escape button) is hidden all the same.
    if (QApplication::activeModalWidget() == modal) modal->hide();
  }
}

MainFrame::MainFrame(QMainWindow& window, QToolBar& toolbar, QStatusBar& statusBar,
                     const FrameServices& services)
    : QObject(nullptr),
      imlToolbarIcons(kToolbarIconSize, kToolbarMaskColour),
      window_(window),
      messages_(services.messages),
      dialog_(services.dialog),
      settings_(services.settings),
      helpViewer_(services.helpViewer),
      clock_(services.clock),
      helpFile_(services.helpFile) {
  setObjectName(QStringLiteral("mainFrame"));
  tbToolBar = &toolbar;
  sbStatusBar = &statusBar;
  loaded_.loaded(&window_, [] {});
  createMenus();
  createToolbar();
  createStatusBar();
  // The panel's line edits would take Ctrl+C, X and V for themselves.
  qApp->installEventFilter(this);
}

MainFrame::~MainFrame() = default;

void MainFrame::createMenus() {
  QMenuBar* bar = window_.menuBar();
  QMenu* current = nullptr;
  for (const MenuRow& row : kMenuRows) {
    const QString name = QLatin1String(row.name);
    if (row.kind == Kind::Menu) {
      current = bar->addMenu(QString::fromLatin1(row.caption));
      current->setObjectName(name);
      current->menuAction()->setObjectName(name);
      this->*row.menu = current;
      continue;
    }
    auto* action = new QAction(&window_);
    action->setObjectName(name);
    if (row.kind == Kind::Separator) {
      action->setSeparator(true);
    } else {
      action->setText(QString::fromLatin1(row.caption));
    }
    action->setVisible(row.visible);
    if (row.kind == Kind::Toggle) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    if (*row.shortcut) {
      action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
      // Active while the main window is, not while one of its boxes is.
      action->setShortcutContext(Qt::WindowShortcut);
      window_.addAction(action);
      shortcutItems_.append(action);
    }
    current->addAction(action);
    this->*row.item = action;
    if (row.kind != Kind::Separator)
      connect(action, &QAction::triggered, this, [this, &row] { runMenuRow(row); });
  }
}

void MainFrame::runMenuRow(const MenuRow& row) {
  if (row.kind == Kind::Placeholder) {
    showMessage(QStringLiteral("Add '%1_Click' code.").arg(QLatin1String(row.name)));
  } else if (row.handler) {
    (this->*row.handler)();
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
  for (const ToolbarRow& row : kToolbarRows) {
    if (!*row.key) {
      tbToolBar->addSeparator()->setObjectName(
          QStringLiteral("tbToolBar_Separator%1").arg(separators++));
      continue;
    }
    const QString key = QLatin1String(row.key);
    if (!imlToolbarIcons.add(key,
                             QStringLiteral(":/toolbar/%1.xpm").arg(QLatin1String(row.picture))))
      qWarning("Toolbar picture %s is missing.", row.picture);
    auto* button = new QAction(QIcon(imlToolbarIcons.picture(key)), key, tbToolBar);
    button->setObjectName(buttonObjectName(key));
    button->setToolTip(key);
    button->setData(key);
    if (row.alignment) {
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

void MainFrame::tbToolBar_ButtonClick(const QString& key) {
  for (const ToolbarRow& row : kToolbarRows) {
    if (!*row.key || key != QLatin1String(row.key)) continue;
    if (!row.runs) {
      showMessage(QStringLiteral("Add '%1' button code.").arg(key));
      return;
    }
    for (const MenuRow& menuRow : kMenuRows)
      if (menuRow.item == row.runs) runMenuRow(menuRow);
    return;
  }
}

QAction* MainFrame::toolbarButton(const QString& key) const {
  for (QAction* button : buttons_)
    if (button->data().toString() == key) return button;
  return nullptr;
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
  sbStatusBar_Panel2->setText(clockDateText(locale, now.date()));
  sbStatusBar_Panel3->setText(clockTimeText(locale, now.time()));
}

void MainFrame::stopClock() {
  minuteTimer_->stop();
}

void MainFrame::showMessage(const QString& text) {
  messages_.show(&window_, text, MessageStyle::Ok);
}

void MainFrame::mnuFileOpen_Click() {
  dialog_.DialogTitle = QStringLiteral("Open");
  dialog_.CancelError = false;
  dialog_.Filter = QStringLiteral("All Files (*.*)|*.*");
  // The chosen name stays in the dialog; nothing is opened yet.
  dialog_.ShowOpen(&window_);
}

void MainFrame::mnuFilePageSetup_Click() {
  dialog_.DialogTitle = QStringLiteral("Page Setup");
  dialog_.CancelError = true;
  // A cancel leaves nothing to do.
  dialog_.ShowPrinter(&window_);
}

void MainFrame::mnuFileExit_Click() {
  emit endRequested();
}

void MainFrame::mnuViewToolbar_Click() {
  // Choosing the item has flipped its check mark already.
  tbToolBar->setVisible(mnuViewToolbar->isChecked());
}

void MainFrame::mnuViewStatusBar_Click() {
  sbStatusBar->setVisible(mnuViewStatusBar->isChecked());
}

void MainFrame::mnuHelpContents_Click() {
  showHelp(helpViewer_, messages_, &window_, window_.windowTitle(), helpFile_,
           HelpRequest::Contents);
}

void MainFrame::mnuHelpSearchForHelpOn_Click() {
  showHelp(helpViewer_, messages_, &window_, window_.windowTitle(), helpFile_,
           HelpRequest::PartialKey);
}

void MainFrame::mnuHelpAbout_Click() {
  emit aboutRequested();
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

void MainFrame::unloadWindows(Report report) {
  loaded_.unloadAllButFirst();
  savePlacement(report);
}

void MainFrame::savePlacement(Report report) {
  if (window_.isMinimized()) return;
  const auto failure = writePlacement(settings_, window_.frameGeometry());
  if (!failure) return;
  if (report == Report::Box) {
    showMessage(*failure);
    return;
  }
  const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  std::fprintf(stderr, "%s: %s\n", program.toLocal8Bit().constData(),
               failure->toLocal8Bit().constData());
  std::fflush(stderr);
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

}  // namespace bw
