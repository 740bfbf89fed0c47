#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTest>

#include "FrameFixture.h"

namespace bw {
namespace {

using test::FrameFixture;

struct ExpectedItem {
  const char* name;
  const char* caption;  // "-" for a separator
  const char* shortcut;
  bool visible = true;
  bool checked = false;  // checkable and checked
};

struct ExpectedMenu {
  const char* name;
  const char* caption;
  std::vector<ExpectedItem> items;
};

const std::vector<ExpectedMenu>& expectedMenus() {
  static const std::vector<ExpectedMenu> menus{
      {"mnuFile",
       "&File",
       {{"mnuFileNew", "&New", "Ctrl+N"},
        {"mnuFileOpen", "&Open...", ""},
        {"mnuFileClose", "&Close", ""},
        {"mnuFileBar0", "-", ""},
        {"mnuFileSave", "&Save", ""},
        {"mnuFileSaveAs", "Save &As...", ""},
        {"mnuFileSaveAll", "Save A&ll", ""},
        {"mnuFileBar1", "-", ""},
        {"mnuFileProperties", "Propert&ies", ""},
        {"mnuFileBar2", "-", ""},
        {"mnuFilePageSetup", "Page Set&up...", ""},
        {"mnuFilePrintPreview", "Print Pre&view", ""},
        {"mnuFilePrint", "&Print...", ""},
        {"mnuFileBar3", "-", ""},
        {"mnuFileSend", "Sen&d...", ""},
        {"mnuFileBar4", "-", ""},
        {"mnuFileMRU1", "", "", false},
        {"mnuFileMRU2", "", "", false},
        {"mnuFileMRU3", "", "", false},
        {"mnuFileBar5", "-", "", false},
        {"mnuFileExit", "E&xit", ""}}},
      {"mnuEdit",
       "&Edit",
       {{"mnuEditUndo", "&Undo", ""},
        {"mnuEditBar0", "-", ""},
        {"mnuEditCut", "Cu&t", "Ctrl+X"},
        {"mnuEditCopy", "&Copy", "Ctrl+C"},
        {"mnuEditPaste", "&Paste", "Ctrl+V"},
        {"mnuEditPasteSpecial", "Paste &Special...", ""}}},
      {"mnuView",
       "&View",
       {{"mnuViewToolbar", "&Toolbar", "", true, true},
        {"mnuViewStatusBar", "Status &Bar", "", true, true},
        {"mnuViewBar0", "-", ""},
        {"mnuViewRefresh", "&Refresh", ""},
        {"mnuViewOptions", "&Options...", ""},
        {"mnuViewWebBrowser", "&Web Browser", ""}}},
      {"mnuHelp",
       "&Help",
       {{"mnuHelpContents", "&Contents", ""},
        {"mnuHelpSearchForHelpOn", "&Search For Help On...", ""},
        {"mnuHelpBar0", "-", ""},
        {"mnuHelpAbout", "&About ", ""}}},
  };
  return menus;
}

TEST(MainFrameMenus, MenuBarMatchesTheTableInOrderCaptionsShortcutsAndStates) {
  FrameFixture f;
  const QList<QAction*> tops = f.window.menuBar()->actions();
  const auto& menus = expectedMenus();
  ASSERT_EQ(tops.size(), static_cast<qsizetype>(menus.size()));
  for (size_t m = 0; m < menus.size(); ++m) {
    const ExpectedMenu& expected = menus[m];
    QAction* top = tops[static_cast<qsizetype>(m)];
    EXPECT_EQ(top->objectName(), QLatin1String(expected.name));
    EXPECT_EQ(top->text(), QLatin1String(expected.caption));
    ASSERT_NE(top->menu(), nullptr);
    EXPECT_EQ(top->menu()->objectName(), QLatin1String(expected.name));
    const QList<QAction*> items = top->menu()->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(expected.items.size())) << expected.name;
    for (size_t i = 0; i < expected.items.size(); ++i) {
      const ExpectedItem& e = expected.items[i];
      QAction* item = items[static_cast<qsizetype>(i)];
      SCOPED_TRACE(e.name);
      EXPECT_EQ(item->objectName(), QLatin1String(e.name));
      const bool separator = qstrcmp(e.caption, "-") == 0;
      EXPECT_EQ(item->isSeparator(), separator);
      if (!separator) {
        EXPECT_EQ(item->text(), QLatin1String(e.caption));
      }
      EXPECT_EQ(item->shortcut(), QKeySequence(QLatin1String(e.shortcut)));
      EXPECT_EQ(item->shortcut().toString(QKeySequence::NativeText), QLatin1String(e.shortcut));
      EXPECT_EQ(item->isVisible(), e.visible);
      EXPECT_EQ(item->isCheckable(), e.checked);
      EXPECT_EQ(item->isChecked(), e.checked);
      // A hidden action reads as disabled; shown, it is enabled.
      item->setVisible(true);
      EXPECT_TRUE(item->isEnabled());
      item->setVisible(e.visible);
      EXPECT_EQ(f.window.findChild<QAction*>(QLatin1String(e.name)), item);
    }
  }
  // The named members are the items themselves.
  EXPECT_EQ(f.frame->mnuFileNew->objectName(), QStringLiteral("mnuFileNew"));
  EXPECT_EQ(f.frame->mnuHelpAbout->objectName(), QStringLiteral("mnuHelpAbout"));
  EXPECT_EQ(f.frame->mnuView->objectName(), QStringLiteral("mnuView"));
}

TEST(MainFrameMenus, FileMenuShowsSendThenOneSeparatorThenExit) {
  FrameFixture f;
  QStringList shown;
  for (QAction* item : f.frame->mnuFile->actions())
    if (item->isVisible()) shown << (item->isSeparator() ? QStringLiteral("-") : item->text());
  ASSERT_GE(shown.size(), 3);
  EXPECT_EQ(
      shown.mid(shown.size() - 3),
      (QStringList{QStringLiteral("Sen&d..."), QStringLiteral("-"), QStringLiteral("E&xit")}));
}

TEST(MainFrameMenus, EveryPlaceholderItemShowsItsTextInAnOkBoxWithTheApplicationTitle) {
  FrameFixture f;
  const char* names[] = {
      "mnuFileNew",     "mnuFileClose",        "mnuFileSave",         "mnuFileSaveAs",
      "mnuFileSaveAll", "mnuFileProperties",   "mnuFilePrintPreview", "mnuFilePrint",
      "mnuFileSend",    "mnuEditUndo",         "mnuEditCut",          "mnuEditCopy",
      "mnuEditPaste",   "mnuEditPasteSpecial", "mnuViewRefresh",      "mnuViewOptions"};
  QStringList expected;
  for (const char* name : names) {
    f.window.findChild<QAction*>(QLatin1String(name))->trigger();
    expected << QStringLiteral("Add '%1_Click' code.").arg(QLatin1String(name));
  }
  EXPECT_EQ(f.host.messages.texts, expected);
  for (int i = 0; i < f.host.messages.texts.size(); ++i) {
    EXPECT_EQ(f.host.messages.styles[i], MessageStyle::Ok);
    EXPECT_EQ(f.host.messages.titles[i], QStringLiteral("<application title>"));
    EXPECT_EQ(f.host.messages.owners[i], &f.window);
  }
}

TEST(MainFrameMenus, RecentFileItemsAndWebBrowserDoNothing) {
  FrameFixture f;
  for (QAction* item : {f.frame->mnuFileMRU1, f.frame->mnuFileMRU2, f.frame->mnuFileMRU3,
                        f.frame->mnuViewWebBrowser})
    item->trigger();
  EXPECT_TRUE(f.host.messages.texts.isEmpty());
  EXPECT_TRUE(f.host.dialog.showings.isEmpty());
  EXPECT_TRUE(f.host.aboutOwners.isEmpty());
  EXPECT_TRUE(f.steps.isEmpty());
}

TEST(MainFrameMenus, ShortcutsReachTheirCommandsWithFocusInALineEdit) {
  FrameFixture f;
  f.window.show();
  f.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
  f.lineEdit->setText(QStringLiteral("typed"));
  f.lineEdit->selectAll();
  f.lineEdit->setFocus();
  ASSERT_TRUE(f.lineEdit->hasFocus());
  QGuiApplication::clipboard()->setText(QStringLiteral("from the clipboard"));

  const QStringList expected{QStringLiteral("Add 'mnuFileNew_Click' code."),
                             QStringLiteral("Add 'mnuEditCut_Click' code."),
                             QStringLiteral("Add 'mnuEditCopy_Click' code."),
                             QStringLiteral("Add 'mnuEditPaste_Click' code.")};
  const Qt::Key keys[] = {Qt::Key_N, Qt::Key_X, Qt::Key_C, Qt::Key_V};
  // Through the platform's key path, which offers each key to the focus
  // widget first, as typing does.
  for (Qt::Key key : keys) QTest::keyClick(f.window.windowHandle(), key, Qt::ControlModifier);
  EXPECT_EQ(f.host.messages.texts, expected);
  // Sent to the focused line edit itself.
  f.host.messages.texts.clear();
  for (Qt::Key key : keys) QTest::keyClick(f.lineEdit, key, Qt::ControlModifier);
  EXPECT_EQ(f.host.messages.texts, expected);
  // The keys went to the menu, not to the line edit.
  EXPECT_EQ(f.lineEdit->text(), QStringLiteral("typed"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("from the clipboard"));
  // Other keys still reach it.
  QTest::keyClick(f.lineEdit, Qt::Key_End);
  QTest::keyClicks(f.lineEdit, QStringLiteral("!"));
  EXPECT_EQ(f.lineEdit->text(), QStringLiteral("typed!"));
}

}  // namespace
}  // namespace bw
