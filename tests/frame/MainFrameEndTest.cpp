#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QSessionManager>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <new>

#include "FrameFixture.h"

namespace bw {
namespace {

using test::FrameFixture;

QStringList placementSteps(const QRect& frame) {
  const QString prefix = QStringLiteral("save Brinewatch/Settings/");
  return {prefix + QStringLiteral("MainLeft=%1").arg(frame.left() * 15),
          prefix + QStringLiteral("MainTop=%1").arg(frame.top() * 15),
          prefix + QStringLiteral("MainWidth=%1").arg(frame.width() * 15),
          prefix + QStringLiteral("MainHeight=%1").arg(frame.height() * 15)};
}

// A window the frame tracks, which notes its unloading in the steps.
QDialog* trackedWindow(FrameFixture& f, const QString& name) {
  auto* window = new QDialog(&f.window);
  window->setObjectName(name);
  QObject::connect(window, &QDialog::rejected, window,
                   [&f, name] { f.steps.append(QStringLiteral("unload ") + name); });
  f.frame->trackWindow(window);
  return window;
}

TEST(MainFrameEnd, ClosesTheLogThenUnloadsTheOtherWindowsThenWritesThePlacementThenStops) {
  FrameFixture f;
  f.host.loggingOn = true;
  f.window.show();
  f.window.move(40, 30);
  QDialog* second = trackedWindow(f, QStringLiteral("second"));
  QDialog* third = trackedWindow(f, QStringLiteral("third"));
  second->show();
  third->show();
  ASSERT_EQ(f.frame->loadedWindows().count(), 3);
  EXPECT_EQ(f.frame->loadedWindows().at(0), &f.window);
  QSignalSpy ended(f.frame.get(), &MainFrame::programEnded);
  const QRect frame = f.window.frameGeometry();

  f.frame->mnuFileExit->trigger();

  QStringList expected{QStringLiteral("close log"), QStringLiteral("unload third"),
                       QStringLiteral("unload second")};
  expected << placementSteps(frame) << QStringLiteral("stop polling");
  EXPECT_EQ(f.steps, expected);
  EXPECT_EQ(f.settings.values.value(QStringLiteral("MainLeft")),
            QString::number(frame.left() * 15));
  EXPECT_FALSE(second->isVisible());
  EXPECT_FALSE(f.window.isVisible());
  EXPECT_EQ(f.frame->loadedWindows().count(), 1);
  EXPECT_EQ(ended.size(), 1);
  EXPECT_TRUE(f.host.messages.texts.isEmpty());

  // It runs once.
  f.frame->endProgram();
  EXPECT_EQ(f.steps, expected);
  EXPECT_EQ(ended.size(), 1);
}

TEST(MainFrameEnd, WithoutLoggingNothingIsClosedAndTheRestRuns) {
  FrameFixture f;
  f.window.show();
  const QRect frame = f.window.frameGeometry();
  f.frame->endProgram();
  EXPECT_EQ(f.steps, placementSteps(frame) << QStringLiteral("stop polling"));
}

TEST(MainFrameEnd, MinimizedWritesNoPlacementAndKeepsTheEarlierValues) {
  FrameFixture f;
  f.settings.values[QStringLiteral("MainLeft")] = QStringLiteral("1200");
  f.window.showMinimized();
  ASSERT_TRUE(f.window.isMinimized());
  f.frame->endProgram();
  EXPECT_EQ(f.steps, QStringList{QStringLiteral("stop polling")});
  EXPECT_EQ(f.settings.values.value(QStringLiteral("MainLeft")), QStringLiteral("1200"));
}

TEST(MainFrameEnd, MaximizedWritesTheMaximizedPlacement) {
  FrameFixture f;
  f.window.show();
  const QRect normal = f.window.frameGeometry();
  f.window.showMaximized();
  QTRY_VERIFY(f.window.frameGeometry() != normal);
  const QRect maximized = f.window.frameGeometry();
  f.frame->endProgram();
  EXPECT_EQ(f.steps, placementSteps(maximized) << QStringLiteral("stop polling"));
}

TEST(MainFrameEnd, ARefusedWriteIsShownAndTheProgramStillEndsWithTheLogClosed) {
  FrameFixture f;
  f.host.loggingOn = true;
  f.settings.refusedKey = QStringLiteral("MainWidth");
  f.frame->endProgram();
  ASSERT_EQ(f.steps.size(), 4);
  EXPECT_EQ(f.steps.first(), QStringLiteral("close log"));
  EXPECT_TRUE(f.steps[2].contains(QStringLiteral("MainTop")));
  EXPECT_EQ(f.steps.last(), QStringLiteral("stop polling"));
  EXPECT_EQ(f.host.messages.texts, QStringList{QStringLiteral("the settings are read-only")});
  EXPECT_EQ(f.host.messages.styles, QList<MessageStyle>{MessageStyle::Ok});
  EXPECT_EQ(f.host.messages.titles, QStringList{QStringLiteral("<application title>")});
  EXPECT_TRUE(f.frame->ended());
}

TEST(MainFrameEnd, AnOpenModalBoxIsClosedSoItsLoopReturns) {
  FrameFixture f;
  f.window.show();
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Brinewatch"),
                  QStringLiteral("Add 'mnuFileNew_Click' code."), QMessageBox::Ok, &f.window);
  QTimer::singleShot(0, f.frame.get(), [&f] { f.frame->endProgram(); });
  box.exec();  // returns only because the end closed it
  EXPECT_TRUE(f.frame->ended());
  EXPECT_EQ(f.steps.last(), QStringLiteral("stop polling"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MainFrameEnd, AskedAgainWhileItsOwnFailureBoxIsOpenItClosesThatBoxAndFinishes) {
  FrameFixture f;
  f.window.show();
  f.settings.refusedKey = QStringLiteral("MainLeft");
  bool boxReturned = false;
  f.host.messages.onShow = [&f, &boxReturned](const QString&) {
    QMessageBox box(&f.window);
    QTimer::singleShot(0, f.frame.get(), [&f] { f.frame->endProgram(); });
    box.exec();
    boxReturned = true;
  };
  f.frame->endProgram();
  EXPECT_TRUE(boxReturned);
  EXPECT_EQ(f.steps, QStringList{QStringLiteral("stop polling")});
}

TEST(MainFrameEnd, AnOpenAboutWindowIsUnloadedBeforeThePlacementIsWritten) {
  FrameFixture f;
  f.window.show();
  f.host.onAbout = [&f] {
    QDialog* about = trackedWindow(f, QStringLiteral("about"));
    QTimer::singleShot(0, f.frame.get(), [&f] { f.frame->endProgram(); });
    about->exec();
    f.steps.append(QStringLiteral("about returned"));
  };
  f.frame->mnuHelpAbout->trigger();
  ASSERT_GE(f.steps.size(), 3);
  EXPECT_EQ(f.steps.first(), QStringLiteral("unload about"));
  EXPECT_TRUE(f.steps[1].contains(QStringLiteral("MainLeft")));
  EXPECT_EQ(f.steps.mid(f.steps.size() - 2),
            (QStringList{QStringLiteral("stop polling"), QStringLiteral("about returned")}));
}

TEST(MainFrameEnd, SigtermWhileAMessageBoxIsUpEndsTheProgram) {
  FrameFixture f(/*endOnTermination=*/true);
  f.host.loggingOn = true;
  f.window.show();
  QSignalSpy ended(f.frame.get(), &MainFrame::programEnded);
  QMessageBox box(&f.window);
  QTimer::singleShot(0, f.frame.get(), [] { ::raise(SIGTERM); });
  box.exec();
  EXPECT_EQ(ended.size(), 1);
  EXPECT_EQ(f.steps.first(), QStringLiteral("close log"));
  EXPECT_EQ(f.steps.last(), QStringLiteral("stop polling"));
}

TEST(MainFrameEnd, ASessionSaveRequestKeepsThePlacementAndGoesOnPolling) {
  FrameFixture f(/*endOnTermination=*/true);
  f.host.loggingOn = true;
  f.window.show();
  const QRect frame = f.window.frameGeometry();
  // Only the desktop makes session managers; the handler never touches it.
  alignas(QSessionManager) unsigned char manager[sizeof(QSessionManager)] = {};
  emit qApp->commitDataRequest(*std::launder(reinterpret_cast<QSessionManager*>(manager)));
  EXPECT_EQ(f.steps, placementSteps(frame));
  EXPECT_FALSE(f.frame->ended());
}

}  // namespace
}  // namespace bw
