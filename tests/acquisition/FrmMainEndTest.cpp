// The end sequence, as every end path runs it: Exit, the close box, the
// Stop button, SIGTERM and a session's save request.
#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "WindowHarness.h"
#include "about/ui/FrmAbout.h"
#include "app/Module1.h"
#include "frame/ui/MainFrame.h"
#include "platform/TerminationNotifier.h"

namespace bw {
namespace {

using test::WindowHarness;

constexpr int kTwelve = 12;

std::unique_ptr<test::FakeHttpClient> answering() {
  return std::make_unique<test::FakeHttpClient>(
      [](const QByteArray&) { return test::page("4.5"); });
}

class FrmMainEnd : public ::testing::Test {
 protected:
  QString log(const char* name) const { return dir.filePath(QLatin1String(name)); }
  QTemporaryDir dir;
};

TEST_F(FrmMainEnd, StopWhileAboutIsOpenClosesTheLogThenUnloadsAboutThenKeepsThePlacement) {
  auto http = answering();
  auto* client = http.get();
  WindowHarness h(std::move(http));
  h.startLogging(log("stop.log"));
  QRect frame;
  bool logOpenAtUnload = true;
  qsizetype writesAtUnload = -1;
  h.afterCycles(3, [&] {
    h.form->move(40, 30);
    frame = h.form->frameGeometry();
    QTimer::singleShot(0, h.form.get(), [&] {
      auto* about = h.form->findChild<FrmAbout*>();
      ASSERT_NE(about, nullptr);
      ASSERT_TRUE(about->isLoaded());
      QObject::connect(about, &FrmAbout::unloaded, h.form.get(), [&] {
        logOpenAtUnload = h.form->logFile().isOpen();
        writesAtUnload = h.s.settings.writes.size();
      });
      h.form->btnStop->click();
    });
    h.form->frame().mnuHelpAbout->trigger();  // modal until the end closes it
  });
  h.form->Form_Load();  // returns once the end has run

  EXPECT_FALSE(logOpenAtUnload);
  EXPECT_EQ(writesAtUnload, 0);
  EXPECT_EQ(h.s.settings.writes, test::placementWrites(frame));
  EXPECT_EQ(test::wholeRecordLines(log("stop.log"), kTwelve).size(), 3);
  EXPECT_TRUE(h.form->pollingLoop().stopping());
  EXPECT_FALSE(h.form->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(h.s.messages.texts.isEmpty());

  // Nothing is left that could query again, and the end runs once.
  const qsizetype queries = client->urls.size();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(client->urls.size(), queries);
  h.form->endProgram();
  EXPECT_EQ(h.s.settings.writes, test::placementWrites(frame));
}

TEST_F(FrmMainEnd, TheCloseBoxAndFileExitRunTheSameEnd) {
  for (bool closeBox : {true, false}) {
    WindowHarness h(answering());
    QRect frame;
    h.afterCycles(1, [&] {
      h.form->move(64 + closeBox, 48);
      frame = h.form->frameGeometry();
      if (closeBox) {
        h.form->close();
      } else {
        h.form->frame().mnuFileExit->trigger();
      }
    });
    h.form->Form_Load();
    EXPECT_TRUE(h.form->ended());
    EXPECT_TRUE(h.form->pollingLoop().stopping());
    EXPECT_FALSE(h.form->isVisible());
    EXPECT_EQ(h.s.settings.writes, test::placementWrites(frame)) << closeBox;
  }
}

TEST_F(FrmMainEnd, MinimizedKeepsTheEarlierPlacementAndMaximizedWritesItsOwn) {
  {
    WindowHarness h(answering());
    h.afterCycles(1, [&] {
      h.form->showMinimized();
      h.form->frame().mnuFileExit->trigger();
    });
    h.form->Form_Load();
    EXPECT_TRUE(h.s.settings.writes.isEmpty());
  }
  WindowHarness h(answering());
  QRect normal;
  h.afterCycles(1, [&] {
    normal = h.form->frameGeometry();
    h.form->showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(h.form->frameGeometry() != normal, 10000);
    h.form->frame().mnuFileExit->trigger();
  });
  h.form->Form_Load();
  EXPECT_EQ(h.s.settings.writes, test::placementWrites(h.form->frameGeometry()));
}

TEST_F(FrmMainEnd, ARefusedWriteIsShownAndTheProgramStillEndsWithTheLogClosed) {
  WindowHarness h(answering());
  h.startLogging(log("refused.log"));
  h.s.settings.refusedKey = QStringLiteral("MainWidth");
  h.afterCycles(1, [&] { h.form->endProgram(); });
  h.form->Form_Load();
  EXPECT_EQ(h.s.settings.writes.size(), 2);  // left and top, then the refusal
  EXPECT_EQ(h.s.messages.texts, QStringList{QStringLiteral("the settings are read-only")});
  EXPECT_EQ(h.s.messages.styles, QList<MessageStyle>{MessageStyle::Ok});
  EXPECT_FALSE(h.form->logFile().isOpen());
  EXPECT_TRUE(h.form->pollingLoop().stopping());
}

TEST_F(FrmMainEnd, AskedAgainWhileItsOwnFailureBoxIsOpenItClosesThatBoxAndFinishes) {
  WindowHarness h(answering());
  h.s.settings.refusedKey = QStringLiteral("MainLeft");
  bool boxReturned = false;
  h.s.messages.onShow = [&](const QString&) {
    QMessageBox box(h.form.get());
    QTimer::singleShot(0, h.form.get(), [&] { h.form->endProgram(); });
    box.exec();  // returns only because the second ask closed it
    boxReturned = true;
  };
  h.afterCycles(1, [&] { h.form->endProgram(); });
  h.form->Form_Load();
  EXPECT_TRUE(boxReturned);
  EXPECT_TRUE(h.form->pollingLoop().stopping());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(FrmMainEnd, SigtermWhileABoxIsUpClosesItEndsAndNothingResumes) {
  WindowHarness h(answering());
  TerminationNotifier termination;
  ASSERT_TRUE(termination.listening());
  endOnSystemRequests(*h.form, termination);
  h.startLogging(log("sigterm.log"));
  bool boxWasUp = false;
  h.s.messages.onShow = [&](const QString&) {
    QMessageBox box(h.form.get());
    QTimer::singleShot(0, h.form.get(), [&] {
      boxWasUp = QApplication::activeModalWidget() == &box;
      ::raise(SIGTERM);
    });
    box.exec();
  };
  int cycles = 0;
  QObject::connect(&h.form->pollingLoop(), &PollingLoop::cycleEnded, h.form.get(), [&] {
    if (++cycles == 1) h.form->frame().tbToolBar_ButtonClick(QStringLiteral("New"));
  });
  h.form->Form_Load();
  EXPECT_TRUE(boxWasUp);
  EXPECT_TRUE(h.form->ended());
  EXPECT_EQ(cycles, 1) << "the loop made no step after the box";
  EXPECT_FALSE(h.form->logFile().isOpen());
  EXPECT_EQ(test::wholeRecordLines(log("sigterm.log"), kTwelve).size(), 1);
  EXPECT_EQ(h.s.settings.writes.size(), 4);
}

// Settings that cannot be saved (no home, a read-only one): an end the
// system asks for says so on standard error and ends, with no box to wait on.
TEST_F(FrmMainEnd, SigtermWithSettingsThatCannotBeSavedTellsStandardErrorAndShowsNoBox) {
  WindowHarness h(answering());
  TerminationNotifier termination;
  endOnSystemRequests(*h.form, termination);
  h.s.settings.refusedKey = QStringLiteral("MainLeft");
  h.afterCycles(1, [&] {
    emit termination.sessionSaveRequested();
    ::raise(SIGTERM);
  });
  ::testing::internal::CaptureStderr();
  h.form->Form_Load();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(h.form->ended());
  EXPECT_TRUE(h.s.messages.texts.isEmpty());
  EXPECT_EQ(QString::fromStdString(errors).count(QStringLiteral("the settings are read-only")), 2)
      << errors;
}

TEST_F(FrmMainEnd, ASessionSaveRequestKeepsThePlacementAndGoesOnPolling) {
  WindowHarness h(answering());
  TerminationNotifier termination;
  endOnSystemRequests(*h.form, termination);
  h.startLogging(log("session.log"));
  QRect frame;
  h.afterCycles(1, [&] {
    frame = h.form->frameGeometry();
    emit termination.sessionSaveRequested();
    EXPECT_EQ(h.s.settings.writes, test::placementWrites(frame));
    EXPECT_FALSE(h.form->ended());
  });
  h.afterCycles(2, [&] { h.form->endProgram(); });
  h.form->Form_Load();
  EXPECT_EQ(test::wholeRecordLines(log("session.log"), kTwelve).size(), 2);
}

}  // namespace
}  // namespace bw
