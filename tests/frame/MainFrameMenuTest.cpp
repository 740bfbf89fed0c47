#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "FrameFixture.h"

namespace bw {
namespace {

using test::FrameFixture;

TEST(MainFrameMenus, ShortcutsReadAsWrittenAndOnlyTheViewTogglesStartChecked) {
  FrameFixture f;
  QStringList shortcuts, checked;
  for (QAction* top : f.window.menuBar()->actions()) {
    ASSERT_NE(top->menu(), nullptr);
    EXPECT_EQ(top->menu()->objectName(), top->objectName());
    for (QAction* item : top->menu()->actions()) {
      EXPECT_EQ(f.window.findChild<QAction*>(item->objectName()), item);
      if (!item->shortcut().isEmpty())
        shortcuts << item->objectName() + u' ' +
                         item->shortcut().toString(QKeySequence::NativeText);
      if (item->isChecked()) checked << item->objectName();
    }
  }
  EXPECT_EQ(
      shortcuts,
      (QStringList{QStringLiteral("mnuFileNew Ctrl+N"), QStringLiteral("mnuEditCut Ctrl+X"),
                   QStringLiteral("mnuEditCopy Ctrl+C"), QStringLiteral("mnuEditPaste Ctrl+V")}));
  EXPECT_EQ(checked,
            (QStringList{QStringLiteral("mnuViewToolbar"), QStringLiteral("mnuViewStatusBar")}));
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
  EXPECT_EQ(f.s.messages.texts, expected);
  for (int i = 0; i < f.s.messages.texts.size(); ++i) {
    EXPECT_EQ(f.s.messages.styles[i], MessageStyle::Ok);
    EXPECT_EQ(f.s.messages.titles[i], QStringLiteral("<application title>"));
    EXPECT_EQ(f.s.messages.owners[i], &f.window);
  }
}

TEST(MainFrameMenus, RecentFileItemsAndWebBrowserDoNothing) {
  FrameFixture f;
  for (QAction* item : {f.frame->mnuFileMRU1, f.frame->mnuFileMRU2, f.frame->mnuFileMRU3,
                        f.frame->mnuViewWebBrowser})
    item->trigger();
  EXPECT_TRUE(f.s.messages.texts.isEmpty());
  EXPECT_TRUE(f.s.dialog.showings.isEmpty());
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
  EXPECT_EQ(f.s.messages.texts, expected);
  // Sent to the focused line edit itself.
  f.s.messages.texts.clear();
  for (Qt::Key key : keys) QTest::keyClick(f.lineEdit, key, Qt::ControlModifier);
  EXPECT_EQ(f.s.messages.texts, expected);
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
