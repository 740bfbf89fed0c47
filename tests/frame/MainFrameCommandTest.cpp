#include <gtest/gtest.h>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QPrintDialog>
#include <QTimer>

#include "FrameFixture.h"
#include "frame/ClockText.h"
#include "frame/MinuteTimer.h"

namespace bw {
namespace {

using test::FrameFixture;

TEST(MainFrameCommands, FileOpenShowsTheOpenDialogAndLeavesTheNameInIt) {
  FrameFixture f;
  f.host.dialog.answer = QStringLiteral("/data/tank.log");
  f.frame->mnuFileOpen->trigger();
  ASSERT_EQ(f.host.dialog.showings.size(), 1);
  const auto& shown = f.host.dialog.showings[0];
  EXPECT_EQ(shown.kind, QStringLiteral("open"));
  EXPECT_EQ(shown.title, QStringLiteral("Open"));
  EXPECT_FALSE(shown.cancelError);
  EXPECT_EQ(f.host.dialog.Filter, QStringLiteral("All Files (*.*)|*.*"));
  EXPECT_EQ(shown.filters, fileDialogNameFilters(QStringLiteral("All Files (*.*)|*.*")));
  EXPECT_EQ(f.host.dialog.FileName, QStringLiteral("/data/tank.log"));
  EXPECT_TRUE(f.host.messages.texts.isEmpty());
  EXPECT_TRUE(f.steps.isEmpty()) << "nothing is opened or logged";
}

TEST(MainFrameCommands, PageSetupIgnoresACancelOrAFailureAndLeavesCancelErrorOn) {
  FrameFixture f;
  f.frame->mnuFilePageSetup->trigger();  // cancelled
  f.host.dialog.printerAccepts = true;
  f.frame->mnuFilePageSetup->trigger();
  f.host.dialog.fail = true;
  f.frame->mnuFilePageSetup->trigger();
  ASSERT_EQ(f.host.dialog.showings.size(), 3);
  for (const auto& shown : f.host.dialog.showings) {
    EXPECT_EQ(shown.kind, QStringLiteral("printer"));
    EXPECT_EQ(shown.title, QStringLiteral("Page Setup"));
    EXPECT_TRUE(shown.cancelError);
  }
  EXPECT_TRUE(f.host.dialog.CancelError);
  EXPECT_TRUE(f.host.messages.texts.isEmpty());
  // Open turns it off again for its own showing.
  f.host.dialog.fail = false;
  f.frame->mnuFileOpen->trigger();
  EXPECT_FALSE(f.host.dialog.showings.last().cancelError);
}

TEST(MainFrameCommands, TheRealFileAndPrinterDialogsOpenAndCloseOnce) {
  FrameFixture f;
  QtCommonDialog dialog;
  f.host.otherDialog = &dialog;
  QStringList seen;
  QTimer watcher;
  watcher.setInterval(20);
  QObject::connect(&watcher, &QTimer::timeout, &watcher, [&seen] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      if (qobject_cast<QFileDialog*>(modal))
        seen << QStringLiteral("file dialog ") + modal->windowTitle();
      if (qobject_cast<QPrintDialog*>(modal))
        seen << QStringLiteral("print dialog ") + modal->windowTitle();
      qobject_cast<QDialog*>(modal)->reject();
    }
  });
  watcher.start();
  f.frame->mnuFileOpen->trigger();
  f.frame->mnuFilePageSetup->trigger();
  watcher.stop();
  EXPECT_EQ(seen, (QStringList{QStringLiteral("file dialog Open"),
                               QStringLiteral("print dialog Page Setup")}));
  EXPECT_TRUE(dialog.FileName.isEmpty());
  EXPECT_TRUE(f.host.messages.texts.isEmpty());
}

TEST(MainFrameCommands, ViewTogglesHideAndShowTheBarsAndMoveNothingElse) {
  FrameFixture f;
  f.window.show();
  const QRect toolbarPlace = f.toolbar->geometry();
  const QRect statusPlace = f.statusBar->geometry();
  const QRect editPlace = f.lineEdit->geometry();
  const QSize windowSize = f.window.size();

  f.frame->mnuViewToolbar->trigger();
  EXPECT_FALSE(f.frame->mnuViewToolbar->isChecked());
  EXPECT_FALSE(f.toolbar->isVisible());
  EXPECT_TRUE(f.statusBar->isVisible());
  f.frame->mnuViewStatusBar->trigger();
  EXPECT_FALSE(f.frame->mnuViewStatusBar->isChecked());
  EXPECT_FALSE(f.statusBar->isVisible());
  EXPECT_EQ(f.lineEdit->geometry(), editPlace);

  f.frame->mnuViewToolbar->trigger();
  f.frame->mnuViewStatusBar->trigger();
  EXPECT_TRUE(f.frame->mnuViewToolbar->isChecked());
  EXPECT_TRUE(f.frame->mnuViewStatusBar->isChecked());
  EXPECT_TRUE(f.toolbar->isVisible());
  EXPECT_TRUE(f.statusBar->isVisible());
  EXPECT_EQ(f.toolbar->geometry(), toolbarPlace);
  EXPECT_EQ(f.statusBar->geometry(), statusPlace);
  EXPECT_EQ(f.lineEdit->geometry(), editPlace);
  EXPECT_EQ(f.window.size(), windowSize);
}

TEST(MainFrameCommands, StatusBarShowsStatusDateAndTimeKeptByAMinuteTimer) {
  FrameFixture f;
  f.window.show();
  const QLocale locale;
  EXPECT_EQ(f.frame->sbStatusBar_Panel1->text(), QStringLiteral("Status"));
  EXPECT_EQ(f.frame->sbStatusBar_Panel2->text(), ClockText::date(locale, f.clock.stamp.date()));
  EXPECT_EQ(f.frame->sbStatusBar_Panel3->text(), ClockText::time(locale, f.clock.stamp.time()));
  EXPECT_TRUE(f.frame->sbStatusBar_Panel3->text().contains(QStringLiteral("15")));
  for (QLabel* panel :
       {f.frame->sbStatusBar_Panel1, f.frame->sbStatusBar_Panel2, f.frame->sbStatusBar_Panel3}) {
    EXPECT_EQ(panel->parentWidget(), f.statusBar);
    EXPECT_GE(panel->width(), 96);
  }
  // The first panel takes what the other two leave.
  EXPECT_GT(f.frame->sbStatusBar_Panel1->width(), f.statusBar->width() / 2);
  EXPECT_LT(f.frame->sbStatusBar_Panel1->geometry().right(),
            f.frame->sbStatusBar_Panel2->geometry().left());

  auto* timer = f.frame->findChild<MinuteTimer*>();
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  // 10:15:30.250: the next wake is at 10:16, not in a second.
  EXPECT_GT(timer->remaining(), std::chrono::milliseconds(29000));
  EXPECT_LE(timer->remaining(), std::chrono::milliseconds(29750));

  f.clock.stamp = QDateTime(QDate(2026, 12, 9), QTime(0, 0, 0, 10));
  emit timer->minuteBegan();
  EXPECT_EQ(f.frame->sbStatusBar_Panel2->text(), ClockText::date(locale, QDate(2026, 12, 9)));
  EXPECT_EQ(f.frame->sbStatusBar_Panel3->text(), ClockText::time(locale, QTime(0, 0)));
  EXPECT_EQ(f.frame->sbStatusBar_Panel1->text(), QStringLiteral("Status"));
}

TEST(MainFrameCommands, HelpWithoutAHelpFileSaysSoTitledWithTheCurrentCaption) {
  FrameFixture f;
  f.window.setWindowTitle(QStringLiteral("Project1 (changed)"));
  f.frame->mnuHelpContents->trigger();
  f.window.setWindowTitle(QStringLiteral("Project1"));
  f.frame->mnuHelpSearchForHelpOn->trigger();
  const QString text = QStringLiteral(
      "Unable to display Help Contents. There is no Help associated with this project.");
  EXPECT_EQ(f.host.messages.texts, (QStringList{text, text}));
  EXPECT_EQ(f.host.messages.styles,
            (QList<MessageStyle>{MessageStyle::Information, MessageStyle::Information}));
  EXPECT_EQ(f.host.messages.titles,
            (QStringList{QStringLiteral("Project1 (changed)"), QStringLiteral("Project1")}));
  EXPECT_TRUE(f.help.calls.isEmpty());
}

TEST(MainFrameCommands, HelpWithAHelpFileAsksTheViewerAndShowsItsFailure) {
  FrameFixture f;
  f.frame->setHelpFile(QStringLiteral("brinewatch.hlp"));
  f.frame->mnuHelpContents->trigger();
  f.frame->mnuHelpSearchForHelpOn->trigger();
  ASSERT_EQ(f.help.calls.size(), 2);
  EXPECT_EQ(f.help.calls[0].request, HelpRequest::Contents);
  EXPECT_EQ(static_cast<unsigned>(f.help.calls[0].request), 3u);
  EXPECT_EQ(f.help.calls[1].request, HelpRequest::PartialKey);
  EXPECT_EQ(static_cast<unsigned>(f.help.calls[1].request), 261u);
  for (const auto& call : f.help.calls) {
    EXPECT_EQ(call.file, QStringLiteral("brinewatch.hlp"));
    EXPECT_EQ(call.owner, &f.window);
    EXPECT_TRUE(call.keyword.isEmpty());
  }
  EXPECT_TRUE(f.host.messages.texts.isEmpty());

  f.help.failure = QStringLiteral("The help file brinewatch.hlp cannot be found.");
  f.frame->mnuHelpContents->trigger();
  EXPECT_EQ(f.host.messages.texts, QStringList{*f.help.failure});
  EXPECT_EQ(f.host.messages.styles, QList<MessageStyle>{MessageStyle::Ok});
  EXPECT_EQ(f.host.messages.titles, QStringList{QStringLiteral("<application title>")});
}

TEST(MainFrameCommands, AboutIsShownWithTheMainWindowAsOwner) {
  FrameFixture f;
  f.frame->mnuHelpAbout->trigger();
  EXPECT_EQ(f.host.aboutOwners, QList<QWidget*>{&f.window});
}

}  // namespace
}  // namespace bw
