#include <gtest/gtest.h>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <csignal>

#include "AdapterSimulator.h"
#include "RealWindow.h"
#include "about/ui/FrmAbout.h"
#include "frame/ui/MainFrame.h"
#include "platform/ui/MessageBox.h"

namespace bw {
namespace {

using test::RealWindow;

constexpr int kTwelve = 12;

class FrmMainEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(adapter.start());
    test::setPlacementValue({}, {});  // none kept
  }
  // Runs `action` once `cycles` polling cycles have ended.
  static void afterCycles(FrmMain& form, int cycles, std::function<void()> action) {
    auto seen = std::make_shared<int>(0);
    QObject::connect(&form.pollingLoop(), &PollingLoop::cycleEnded, &form, [seen, cycles, action] {
      if (++*seen == cycles) action();
    });
  }

  sim::AdapterSimulator adapter;
  QTemporaryDir dir;
};

TEST_F(FrmMainEnd, StopProgramWhileLoggingClosesTheLogOnAWholeRecordAndQueriesNoMore) {
  RealWindow w(adapter.host());
  const QString path = dir.filePath(QStringLiteral("tank.log"));
  w.startLogging(path);
  QSignalSpy polled(&w.form->pollingLoop(), &PollingLoop::slotPolled);
  QRect frame;
  afterCycles(*w.form, 3, [&] {
    frame = w.form->frameGeometry();
    QTest::mouseClick(w.form->btnStop, Qt::LeftButton);
  });
  w.form->Form_Load();  // returns once the end has run

  EXPECT_FALSE(w.form->logFile().isOpen());
  EXPECT_FALSE(w.form->isVisible());
  EXPECT_EQ(test::wholeRecordLines(path, kTwelve).size(), 3);
  EXPECT_EQ(test::placementValues(), test::twips(frame));

  const int queries = adapter.requestCount();
  const qsizetype steps = polled.size();
  QTest::qWait(400);
  EXPECT_EQ(adapter.requestCount(), queries) << "no query after the end";
  EXPECT_EQ(polled.size(), steps) << "no step after the end";
  EXPECT_TRUE(w.messages.texts.isEmpty());
}

TEST_F(FrmMainEnd, TheCloseBoxAndFileExitRunTheSameEndWithoutALog) {
  for (bool closeBox : {true, false}) {
    RealWindow w(adapter.host());
    QRect frame;
    afterCycles(*w.form, 1, [&] {
      w.form->move(64 + closeBox, 48);
      frame = w.form->frameGeometry();
      if (closeBox) {
        w.form->close();
      } else {
        w.form->frame().mnuFileExit->trigger();
      }
    });
    w.form->Form_Load();
    EXPECT_TRUE(w.form->pollingLoop().stopping());
    EXPECT_FALSE(w.form->isVisible());
    EXPECT_EQ(test::placementValues(), test::twips(frame)) << closeBox;
  }
}

TEST_F(FrmMainEnd, MinimizedKeepsTheEarlierPlacementAndMaximizedWritesItsOwn) {
  test::setPlacementValue(QStringLiteral("MainLeft"), QStringLiteral("4242"));
  {
    RealWindow w(adapter.host());
    afterCycles(*w.form, 1, [&] {
      w.form->showMinimized();
      w.form->frame().mnuFileExit->trigger();
    });
    w.form->Form_Load();
    EXPECT_EQ(test::placementValues(),
              (QStringList{QStringLiteral("4242"), QString(), QString(), QString()}));
  }
  RealWindow w(adapter.host());
  QRect normal, maximized;
  afterCycles(*w.form, 1, [&] {
    normal = w.form->frameGeometry();
    w.form->showMaximized();
  });
  afterCycles(*w.form, 2, [&] {
    maximized = w.form->frameGeometry();
    w.form->frame().mnuFileExit->trigger();
  });
  w.form->Form_Load();
  EXPECT_NE(maximized, normal);
  EXPECT_EQ(test::placementValues(), test::twips(maximized));
}

TEST_F(FrmMainEnd, SigtermWhileAboutIsOpenUnloadsItClosesTheLogAndEnds) {
  RealWindow w(adapter.host());
  const QString path = dir.filePath(QStringLiteral("about.log"));
  w.startLogging(path);
  FrmAbout* about = nullptr;
  bool aboutWasLoaded = false;
  afterCycles(*w.form, 2, [&] {
    QTimer::singleShot(50, w.form.get(), [&] {
      about = w.form->findChild<FrmAbout*>();
      aboutWasLoaded = about && about->isLoaded() && about->isVisible();
      ::raise(SIGTERM);
    });
    w.form->frame().mnuHelpAbout->trigger();  // modal until the end closes it
  });
  w.form->Form_Load();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(aboutWasLoaded);
  EXPECT_FALSE(about->isLoaded());
  EXPECT_FALSE(about->isVisible());
  EXPECT_FALSE(w.form->logFile().isOpen());
  EXPECT_EQ(test::wholeRecordLines(path, kTwelve).size(), 2);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(FrmMainEnd, SigtermWhileARealMessageBoxIsUpClosesItAndNothingResumes) {
  QtMessageBox boxes;
  RealWindow w(adapter.host(), &boxes);
  const QString path = dir.filePath(QStringLiteral("box.log"));
  w.startLogging(path);
  bool boxWasUp = false;
  afterCycles(*w.form, 1, [&] {
    QTimer::singleShot(50, w.form.get(), [&] {
      boxWasUp = QApplication::activeModalWidget() != nullptr;
      ::raise(SIGTERM);
    });
    QTest::mouseClick(w.form->frame().tbToolBar->widgetForAction(
                          w.form->frame().toolbarButton(QStringLiteral("New"))),
                      Qt::LeftButton);
  });
  QSignalSpy cycles(&w.form->pollingLoop(), &PollingLoop::cycleEnded);
  w.form->Form_Load();
  EXPECT_TRUE(boxWasUp);
  EXPECT_EQ(cycles.size(), 1) << "the loop made no step after the box";
  EXPECT_FALSE(w.form->logFile().isOpen());
  EXPECT_EQ(test::wholeRecordLines(path, kTwelve).size(), 1);
}

}  // namespace
}  // namespace bw
