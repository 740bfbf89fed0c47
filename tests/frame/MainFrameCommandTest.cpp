#include <gtest/gtest.h>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QPrintDialog>
#include <QSignalSpy>
#include <QTimer>

#include "FrameFixture.h"
#include "frame/ClockText.h"
#include "frame/MinuteTimer.h"

namespace bw {
namespace {

using test::FrameFixture;

TEST(MainFrameCommands, FileOpenShowsTheOpenDialogAndLeavesTheNameInIt) {
  FrameFixture f;
  f.s.dialog.answers = {QStringLiteral("/data/tank.log")};
  f.frame->mnuFileOpen->trigger();
  ASSERT_EQ(f.s.dialog.showings.size(), 1);
  const auto& shown = f.s.dialog.showings[0];
  EXPECT_EQ(shown.kind, QStringLiteral("open"));
  EXPECT_EQ(shown.title, QStringLiteral("Open"));
  EXPECT_FALSE(shown.cancelError);
  EXPECT_EQ(f.s.dialog.Filter, QStringLiteral("All Files (*.*)|*.*"));
  EXPECT_EQ(shown.filters, fileDialogNameFilters(QStringLiteral("All Files (*.*)|*.*")));
  EXPECT_EQ(f.s.dialog.FileName, QStringLiteral("/data/tank.log"));
  EXPECT_TRUE(f.s.messages.texts.isEmpty());
}

TEST(MainFrameCommands, PageSetupIgnoresACancelAndLeavesCancelErrorOn) {
  FrameFixture f;
  f.frame->mnuFilePageSetup->trigger();  // cancelled
  f.s.dialog.printerAccepts = true;
  f.frame->mnuFilePageSetup->trigger();
  ASSERT_EQ(f.s.dialog.showings.size(), 2);
  for (const auto& shown : f.s.dialog.showings) {
    EXPECT_EQ(shown.kind, QStringLiteral("printer"));
    EXPECT_EQ(shown.title, QStringLiteral("Page Setup"));
    EXPECT_TRUE(shown.cancelError);
  }
  EXPECT_TRUE(f.s.dialog.CancelError);
  EXPECT_TRUE(f.s.messages.texts.isEmpty());
  // Open turns it off again for its own showing.
  f.frame->mnuFileOpen->trigger();
  EXPECT_FALSE(f.s.dialog.showings.last().cancelError);
}

TEST(MainFrameCommands, TheRealFileAndPrinterDialogsOpenAndCloseOnce) {
  test::FakeServices s;
  QtCommonDialog dialog;
  QMainWindow window;
  QToolBar toolbar;
  QStatusBar statusBar;
  MainFrame frame(window, toolbar, statusBar,
                  FrameServices{s.messages, dialog, s.settings, s.help, s.clock, QString()});
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
  frame.mnuFileOpen->trigger();
  frame.mnuFilePageSetup->trigger();
  watcher.stop();
  EXPECT_EQ(seen, (QStringList{QStringLiteral("file dialog Open"),
                               QStringLiteral("print dialog Page Setup")}));
  EXPECT_TRUE(dialog.FileName.isEmpty());
  EXPECT_TRUE(s.messages.texts.isEmpty());
}

TEST(MainFrameCommands, StatusBarShowsStatusDateAndTimeKeptByAMinuteTimer) {
  FrameFixture f;
  f.statusBar->resize(800, 20);  // room for all three panels
  f.window.show();
  const QLocale locale;
  EXPECT_EQ(f.frame->sbStatusBar_Panel1->text(), QStringLiteral("Status"));
  EXPECT_EQ(f.frame->sbStatusBar_Panel2->text(), clockDateText(locale, f.s.clock.stamp.date()));
  EXPECT_EQ(f.frame->sbStatusBar_Panel3->text(), clockTimeText(locale, f.s.clock.stamp.time()));
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
  EXPECT_EQ(timer->interval(), std::chrono::milliseconds(29750));

  f.s.clock.stamp = QDateTime(QDate(2026, 12, 9), QTime(0, 0, 0, 10));
  emit timer->minuteBegan();
  EXPECT_EQ(f.frame->sbStatusBar_Panel2->text(), clockDateText(locale, QDate(2026, 12, 9)));
  EXPECT_EQ(f.frame->sbStatusBar_Panel3->text(), clockTimeText(locale, QTime(0, 0)));
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
  EXPECT_EQ(f.s.messages.texts, (QStringList{text, text}));
  EXPECT_EQ(f.s.messages.styles,
            (QList<MessageStyle>{MessageStyle::Information, MessageStyle::Information}));
  EXPECT_EQ(f.s.messages.titles,
            (QStringList{QStringLiteral("Project1 (changed)"), QStringLiteral("Project1")}));
  EXPECT_TRUE(f.s.help.calls.isEmpty());
}

TEST(MainFrameCommands, HelpWithAHelpFileAsksTheViewerAndShowsItsFailure) {
  FrameFixture f(QStringLiteral("brinewatch.hlp"));
  f.frame->mnuHelpContents->trigger();
  f.frame->mnuHelpSearchForHelpOn->trigger();
  ASSERT_EQ(f.s.help.calls.size(), 2);
  EXPECT_EQ(f.s.help.calls[0].request, HelpRequest::Contents);
  EXPECT_EQ(f.s.help.calls[1].request, HelpRequest::PartialKey);
  for (const auto& call : f.s.help.calls) {
    EXPECT_EQ(call.file, QStringLiteral("brinewatch.hlp"));
    EXPECT_EQ(call.owner, &f.window);
    EXPECT_TRUE(call.keyword.isEmpty());
  }
  EXPECT_TRUE(f.s.messages.texts.isEmpty());

  f.s.help.failure = QStringLiteral("The help file brinewatch.hlp cannot be found.");
  f.frame->mnuHelpContents->trigger();
  EXPECT_EQ(f.s.messages.texts, QStringList{*f.s.help.failure});
  EXPECT_EQ(f.s.messages.styles, QList<MessageStyle>{MessageStyle::Ok});
  EXPECT_EQ(f.s.messages.titles, QStringList{QStringLiteral("<application title>")});
}

TEST(MainFrameCommands, ExitAndAboutAreAskedOfTheMainWindow) {
  FrameFixture f;
  QSignalSpy end(f.frame.get(), &MainFrame::endRequested);
  QSignalSpy about(f.frame.get(), &MainFrame::aboutRequested);
  f.frame->mnuFileExit->trigger();
  f.frame->mnuHelpAbout->trigger();
  EXPECT_EQ(end.size(), 1);
  EXPECT_EQ(about.size(), 1);
  EXPECT_TRUE(f.s.messages.texts.isEmpty());
}

}  // namespace
}  // namespace bw
