#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <cerrno>
#include <cstring>

#include "WindowHarness.h"
#include "about/ui/FrmAbout.h"
#include "acquisition/SensorTable.h"
#include "frame/ui/MainFrame.h"
#include "platform/pageview/PageView.h"

namespace bw {
namespace {

using test::page;
using test::WindowHarness;

std::unique_ptr<test::FakeHttpClient> answering(const QByteArray& value) {
  return std::make_unique<test::FakeHttpClient>([value](const QByteArray&) { return page(value); });
}

QByteArray slotUrl(int slot) {
  return queryUrl(QStringLiteral("adapter.test"), kBuiltInRomCodes[static_cast<size_t>(slot)])
      .toLatin1();
}

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(FrmMainPanel, ControlsSitAtTheirPlacesWithTheirCaptions) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  EXPECT_EQ(form.objectName(), QStringLiteral("frmMain"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Project1"));
  EXPECT_EQ(form.clientArea()->size(), FrmMain::kClientSize);
  struct Expected {
    QWidget* widget;
    const char* name;
    QRect pixels;
  };
  const Expected expected[] = {
      {form.brwWebBrowser, "brwWebBrowser", {128, 64, 777, 305}},
      {form.cboAddress, "cboAddress", {128, 28, 777, 19}},
      {form.btnFileWrite, "btnFileWrite", {128, 384, 113, 49}},
      {form.btnStop, "btnStop", {784, 384, 113, 49}},
      {form.txtSensorNum, "txtSensorNum", {24, 152, 73, 41}},
      {form.Label1, "Label1", {24, 128, 81, 17}},
      {form.txtTemperature, "txtTemperature", {24, 224, 73, 41}},
      {form.Label2, "Label2", {24, 208, 81, 17}},
      {form.txtFileName, "txtFileName", {256, 384, 265, 20}},
      {form.txtRecNum, "txtRecNum", {256, 416, 57, 20}},
      {form.Label3, "Label3", {320, 416, 57, 25}},
      {form.ChkSixteenSensors, "ChkSixteenSensors", {32, 304, 65, 33}},
  };
  for (const auto& e : expected) {
    ASSERT_NE(e.widget, nullptr) << e.name;
    EXPECT_EQ(e.widget->objectName(), QLatin1String(e.name));
    EXPECT_EQ(e.widget->geometry(), e.pixels) << e.name;
    EXPECT_EQ(e.widget->parentWidget(), form.clientArea()) << e.name;
    EXPECT_TRUE(e.widget->isEnabled()) << e.name;
  }
  EXPECT_EQ(form.btnFileWrite->text(), QStringLiteral("Start Logging"));
  EXPECT_EQ(form.btnStop->text(), QStringLiteral("Stop Program"));
  EXPECT_EQ(form.Label1->text(), QStringLiteral("Sensor Number"));
  EXPECT_EQ(form.Label2->text(), QStringLiteral("Temperature"));
  EXPECT_EQ(form.Label3->text(), QStringLiteral("Records Written"));
  EXPECT_EQ(form.ChkSixteenSensors->text(), QStringLiteral("Sixteen Sensors"));
  EXPECT_EQ(form.ChkSixteenSensors->checkState(), Qt::Unchecked);
  EXPECT_FALSE(form.btnFileWrite->isDefault() || form.btnFileWrite->autoDefault());
  EXPECT_FALSE(form.btnStop->isDefault() || form.btnStop->autoDefault());
  for (QLineEdit* box :
       {form.txtSensorNum, form.txtTemperature, form.txtFileName, form.txtRecNum}) {
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_FALSE(box->isReadOnly());
  }
  EXPECT_TRUE(form.cboAddress->isEditable());
  EXPECT_EQ(form.cboAddress->count(), 0);
  EXPECT_TRUE(form.cboAddress->currentText().isEmpty());
  EXPECT_FALSE(form.isVisible());
}

TEST(FrmMainPanel, TabOrderRunsThroughTheBarsThenThePanel) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  const QList<QWidget*> expected = {form.sbStatusBar,  form.tbToolBar,        form.brwWebBrowser,
                                    form.cboAddress,   form.btnFileWrite,     form.btnStop,
                                    form.txtSensorNum, form.txtTemperature,   form.txtFileName,
                                    form.txtRecNum,    form.ChkSixteenSensors};
  QList<QWidget*> seen;
  QWidget* w = form.sbStatusBar;
  for (int guard = 0; guard < 500 && seen.size() < expected.size(); ++guard) {
    if (expected.contains(w) && !seen.contains(w)) seen.append(w);
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(seen, expected);
}

TEST(FrmMainPanel, ResizingMovesOnlyTheDockedBars) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  const QRect stop = form.btnStop->geometry();
  form.show();
  form.resize(1400, 900);
  QCoreApplication::processEvents();
  ASSERT_GT(form.clientArea()->width(), 1300);
  EXPECT_EQ(form.btnStop->geometry(), stop);
  EXPECT_EQ(form.tbToolBar->width(), form.clientArea()->width());
  EXPECT_EQ(form.sbStatusBar->width(), form.clientArea()->width());
  EXPECT_EQ(form.sbStatusBar->geometry().bottom(), form.clientArea()->height() - 1);
}

TEST(FrmMainPanel, ViewTogglesHideAndShowTheBarsAndMoveNothingElse) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  MainFrame& frame = form.frame();
  form.show();
  const QRect toolbarPlace = form.tbToolBar->geometry();
  const QRect statusPlace = form.sbStatusBar->geometry();
  const QRect namePlace = form.txtFileName->geometry();
  const QSize windowSize = form.size();

  frame.mnuViewToolbar->trigger();
  frame.mnuViewStatusBar->trigger();
  EXPECT_FALSE(frame.mnuViewToolbar->isChecked());
  EXPECT_FALSE(frame.mnuViewStatusBar->isChecked());
  EXPECT_FALSE(form.tbToolBar->isVisible());
  EXPECT_FALSE(form.sbStatusBar->isVisible());
  EXPECT_EQ(form.txtFileName->geometry(), namePlace);

  frame.mnuViewToolbar->trigger();
  frame.mnuViewStatusBar->trigger();
  EXPECT_TRUE(frame.mnuViewToolbar->isChecked());
  EXPECT_TRUE(form.tbToolBar->isVisible());
  EXPECT_TRUE(form.sbStatusBar->isVisible());
  EXPECT_EQ(form.tbToolBar->geometry(), toolbarPlace);
  EXPECT_EQ(form.sbStatusBar->geometry(), statusPlace);
  EXPECT_EQ(form.txtFileName->geometry(), namePlace);
  EXPECT_EQ(form.size(), windowSize);
}

TEST(FrmMainPolling, TwelveSlotsInOrderThenAgain_ShownOneBased) {
  auto http = answering("21.5");
  auto* client = http.get();
  WindowHarness h(std::move(http));
  h.runQueries(14);
  QList<QByteArray> expected;
  for (int slot = 0; slot < 12; ++slot) expected.append(slotUrl(slot));
  expected.append(slotUrl(0));
  expected.append(slotUrl(1));
  EXPECT_EQ(client->urls, expected);
  EXPECT_EQ(h.form->txtSensorNum->text(), QStringLiteral("2"));
  EXPECT_EQ(h.form->txtTemperature->text(), QStringLiteral("21.5"));
  EXPECT_EQ(h.form->cboAddress->count(), 14);
  EXPECT_EQ(h.form->cboAddress->itemText(13), QString::fromLatin1(slotUrl(1)));
  EXPECT_EQ(h.form->cboAddress->currentText(), QString::fromLatin1(slotUrl(1)));
}

TEST(FrmMainPolling, CheckedBoxPollsSixteenAndGreyedBoxTwelve) {
  for (const auto& [state, perCycle] :
       {std::pair{Qt::Checked, 16}, std::pair{Qt::PartiallyChecked, 12}}) {
    auto http = answering("3");
    auto* client = http.get();
    WindowHarness h(std::move(http));
    h.form->ChkSixteenSensors->setCheckState(state);
    h.runQueries(perCycle + 1);
    EXPECT_EQ(client->urls.at(perCycle - 1), slotUrl(perCycle - 1));
    EXPECT_EQ(client->urls.at(perCycle), slotUrl(0)) << perCycle;
    EXPECT_EQ(h.form->pollingLoop().sensorCount(), perCycle);
  }
}

// A site file that names a sensor above slot 12 is polled whole from the
// start, as the service polls it; the operator may still untick the box.
TEST(FrmMainPolling, ASiteFileWithASensorAboveTwelveStartsWithSixteenTicked) {
  Site site = builtInSite(QStringLiteral("adapter.test"));
  site.file = QStringLiteral("site.toml");
  site.sensors = {site.sensors[13]};
  auto http = answering("3");
  auto* client = http.get();
  WindowHarness h(std::move(http), site);
  ASSERT_EQ(h.form->ChkSixteenSensors->checkState(), Qt::Checked);  // else no query comes
  h.runQueries(1);
  EXPECT_EQ(client->urls, QList<QByteArray>{slotUrl(13)});
  h.form->ChkSixteenSensors->setCheckState(Qt::Unchecked);
  EXPECT_EQ(h.form->pollingLoop().sensorCount(), kTwelveSensors);
}

TEST(FrmMainPolling, WindowIsHiddenUntilTheFirstQueryEnds) {
  WindowHarness* harness = nullptr;
  QList<bool> visibleAtAnswer;
  auto http = std::make_unique<test::FakeHttpClient>([&](const QByteArray&) {
    visibleAtAnswer.append(harness->form->isVisible());
    HttpAnswer none;  // no answer at all: the window must still appear
    return none;
  });
  WindowHarness h(std::move(http));
  harness = &h;
  bool addressShownBeforeVisible = false;
  QObject::connect(&h.form->pollingLoop(), &PollingLoop::slotPolled, h.form.get(), [&] {
    addressShownBeforeVisible = !h.form->cboAddress->currentText().isEmpty();
  });
  h.runQueries(2);
  EXPECT_EQ(visibleAtAnswer, (QList<bool>{false, true}));
  EXPECT_TRUE(addressShownBeforeVisible);
  EXPECT_EQ(h.form->txtTemperature->text(), QStringLiteral("-1"));
}

TEST(FrmMainPolling, FailedValueRepeatsThePreviousSensor_AndIsZeroAtFirst) {
  int query = 0;
  auto http = std::make_unique<test::FakeHttpClient>([&](const QByteArray&) {
    switch (query++) {
      case 0:
        return page("");  // first query of the run fails at the value
      case 1:
        return page("12.25");
      case 2:
        return page("n/a");  // repeats slot 1
      case 3: {
        HttpAnswer noElement = page("1");
        noElement.body = "<html><body>Sensor offline</body></html>";
        return noElement;
      }
      default:
        return HttpAnswer{};  // no answer
    }
  });
  WindowHarness h(std::move(http));
  h.runQueries(5);
  const Readings& r = h.form->pollingLoop().readings();
  EXPECT_EQ(r[0], 0.0f);
  EXPECT_EQ(r[1], 12.25f);
  EXPECT_EQ(r[2], 12.25f);
  EXPECT_EQ(r[3], -2.0f);
  EXPECT_EQ(r[4], -1.0f);
}

TEST(FrmMainPolling, AddressListKeepsTheNewestThousandEntries) {
  auto http = answering("1");
  WindowHarness h(std::move(http));
  h.runQueries(FrmMain::kAddressHistory + 30);
  EXPECT_EQ(h.form->cboAddress->count(), FrmMain::kAddressHistory);
  // Query 1030 was slot (1029 % 12) = 9; the oldest kept entry is query 31, slot 6.
  EXPECT_EQ(h.form->cboAddress->itemText(FrmMain::kAddressHistory - 1),
            QString::fromLatin1(slotUrl(9)));
  EXPECT_EQ(h.form->cboAddress->itemText(0), QString::fromLatin1(slotUrl(6)));
  EXPECT_EQ(h.form->cboAddress->currentText(), QString::fromLatin1(slotUrl(9)));
}

TEST(FrmMainAbout, OneAboutWindowMadeWhenFirstAskedForAndOwnedByTheMainWindow) {
  WindowHarness h(answering("1"));
  EXPECT_EQ(h.form->findChild<FrmAbout*>(), nullptr);
  h.form->show();
  QList<FrmAbout*> shown;
  for (int showing = 0; showing < 2; ++showing) {
    QTimer::singleShot(0, h.form.get(), [&] {
      auto* about = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
      shown.append(about);
      closeModalWindows();
    });
    h.form->frame().mnuHelpAbout->trigger();  // modal until closed
  }
  ASSERT_EQ(shown.size(), 2);
  EXPECT_NE(shown[0], nullptr);
  EXPECT_EQ(shown[1], shown[0]);
  EXPECT_EQ(shown[0]->parentWidget(), h.form.get());
  EXPECT_EQ(h.form->findChildren<FrmAbout*>().size(), 1);
}

class FrmMainLogging : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString log() const { return dir.filePath(QStringLiteral("brine.log")); }
};

TEST_F(FrmMainLogging, StartStopStart_AppendsToTheSameFileAndKeepsCounting) {
  auto http = answering("7.5");
  WindowHarness h(std::move(http));
  h.s.dialog.answers = {log(), log()};
  int cycles = 0;
  QObject::connect(&h.form->pollingLoop(), &PollingLoop::cycleEnded, h.form.get(), [&] {
    ++cycles;
    if (cycles == 1) h.form->btnFileWrite->click();  // start: records from the end of cycle 2
    if (cycles == 3) h.form->btnFileWrite->click();  // stop after two records
    if (cycles == 4) h.form->btnFileWrite->click();  // start again
    if (cycles == 5) h.form->endProgram();
  });
  h.form->Form_Load();
  const QByteArray text = contents(log());
  EXPECT_EQ(text.count("\r\n"), 3);
  EXPECT_TRUE(text.startsWith("2026-12-08 10:00:00,  7.5 "));
  EXPECT_EQ(text.count(" , "), 3 * 11);
  EXPECT_EQ(h.form->txtRecNum->text(), QStringLiteral("3"));
  EXPECT_EQ(h.form->txtFileName->text(), log());
  ASSERT_EQ(h.s.dialog.showings.size(), 2);
  for (const auto& shown : h.s.dialog.showings)
    EXPECT_EQ(shown.filters, QStringLiteral("all Files (*)"));
  EXPECT_FALSE(h.form->LoggingOn());  // the end closed it
}

TEST_F(FrmMainLogging, ToggleCaptionsAndFileNameFollowTheState) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  h.s.dialog.answers = {log()};
  form.btnFileWrite->click();
  EXPECT_TRUE(form.LoggingOn());
  EXPECT_EQ(form.btnFileWrite->text(), QStringLiteral("Stop Logging"));
  EXPECT_EQ(form.txtFileName->text(), log());
  form.btnFileWrite->click();
  EXPECT_FALSE(form.LoggingOn());
  EXPECT_EQ(form.btnFileWrite->text(), QStringLiteral("Start Logging"));
  EXPECT_EQ(form.txtFileName->text(), log());  // keeps showing the closed file
}

TEST_F(FrmMainLogging, NoChoiceChangesNothing_EmptyNameAndCancelWithCancelError) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  form.txtFileName->setText(QStringLiteral("typed by the operator"));
  h.s.dialog.answers = {QString()};
  form.btnFileWrite->click();
  h.s.dialog.CancelError = true;  // as Page Setup leaves it
  h.s.dialog.answers = {QString()};
  form.btnFileWrite->click();
  EXPECT_FALSE(form.LoggingOn());
  EXPECT_EQ(form.btnFileWrite->text(), QStringLiteral("Start Logging"));
  EXPECT_EQ(form.txtFileName->text(), QStringLiteral("typed by the operator"));
  EXPECT_TRUE(h.s.messages.texts.isEmpty());
  EXPECT_EQ(h.s.dialog.showings.size(), 2);
}

TEST_F(FrmMainLogging, UnwritablePath_GivesAMessageNamingItAndLeavesLoggingOff) {
  WindowHarness h(answering("1"));
  FrmMain& form = *h.form;
  const QString bad = dir.filePath(QStringLiteral("missing/folder/brine.log"));
  h.s.dialog.answers = {bad};
  form.btnFileWrite->click();
  EXPECT_FALSE(form.LoggingOn());
  EXPECT_EQ(form.btnFileWrite->text(), QStringLiteral("Start Logging"));
  ASSERT_EQ(h.s.messages.texts.size(), 1);
  EXPECT_TRUE(h.s.messages.texts[0].contains(bad));
  EXPECT_TRUE(h.s.messages.texts[0].contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
  EXPECT_TRUE(form.txtFileName->text().isEmpty());
}

TEST_F(FrmMainLogging, FailingWrites_AreNotCountedAndShownWithoutHoldingPolling) {
  auto http = answering("1");
  auto* client = http.get();
  WindowHarness h(std::move(http));
  h.s.dialog.answers = {QStringLiteral("/dev/full")};
  int cycles = 0;
  QObject::connect(&h.form->pollingLoop(), &PollingLoop::cycleEnded, h.form.get(), [&] {
    if (++cycles == 1) h.form->btnFileWrite->click();
    if (cycles == 4) h.form->endProgram();
  });
  h.form->Form_Load();
  EXPECT_EQ(client->urls.size(), 48);
  EXPECT_TRUE(h.form->txtRecNum->text().isEmpty());
  EXPECT_EQ(h.form->pollingLoop().recordNumber(), 1);
  EXPECT_FALSE(h.form->txtFileName->toolTip().isEmpty());
  EXPECT_TRUE(h.s.messages.texts.isEmpty());  // no box per cycle
}

// Each sync of the log held for as long as the test likes: the window keeps
// polling, shows the disk as not answering, and counts each record once it
// is on the disk, none lost and none twice.
TEST_F(FrmMainLogging, ASlowDiskHoldsNeitherTheWindowNorPolling) {
  WindowHarness h(answering("6"));
  h.form->logFile().setPatience(std::chrono::milliseconds(50), LogFile::kCloseWait);
  h.logCalls.hold();
  h.startLogging(log());
  int cycles = 0;
  int whileHeld = 0;
  QString shownWhileHeld;
  QObject::connect(&h.form->pollingLoop(), &PollingLoop::cycleEnded, h.form.get(), [&] {
    // The first record reaches its sync on the log's own thread.
    if (++cycles == 1) QTRY_COMPARE_WITH_TIMEOUT(h.logCalls.held.load(), 1, 20000);
    if (h.logCalls.held > 0) ++whileHeld;
    if (cycles == 4) {
      QTRY_VERIFY_WITH_TIMEOUT(!h.form->txtRecNum->toolTip().isEmpty(), 20000);
      shownWhileHeld = h.form->txtRecNum->toolTip();
      EXPECT_TRUE(h.form->txtRecNum->text().isEmpty()) << "counted before it was on the disk";
      h.logCalls.release();
    }
    if (cycles == 7) h.form->endProgram();
  });
  h.form->Form_Load();
  EXPECT_EQ(whileHeld, 4) << "polling waited for the disk";
  EXPECT_TRUE(shownWhileHeld.contains(QStringLiteral("the disk does not answer")))
      << shownWhileHeld.toStdString();
  EXPECT_EQ(test::wholeRecordLines(log(), 12).size(), 7);
  EXPECT_EQ(h.form->txtRecNum->text(), QStringLiteral("7"));
  EXPECT_TRUE(h.form->txtRecNum->toolTip().isEmpty());
}

TEST_F(FrmMainLogging, SensorCountChangedMidCycle_RecordUsesTheNewCount) {
  for (const bool toSixteen : {true, false}) {
    auto http = answering("5");
    auto* client = http.get();
    WindowHarness h(std::move(http));
    if (!toSixteen) h.form->ChkSixteenSensors->setCheckState(Qt::Checked);
    int polled = 0;
    QObject::connect(&h.form->pollingLoop(), &PollingLoop::slotPolled, h.form.get(), [&] {
      if (++polled == 1) {
        EXPECT_FALSE(h.form->logFile().open(log()).has_value());
      }
      if (polled == 3)
        h.form->ChkSixteenSensors->setCheckState(toSixteen ? Qt::Checked : Qt::Unchecked);
    });
    QObject::connect(&h.form->pollingLoop(), &PollingLoop::cycleEnded, h.form.get(),
                     [&] { h.form->endProgram(); });
    h.form->Form_Load();
    const QByteArray line = contents(log());
    QFile::remove(log());
    if (toSixteen) {
      EXPECT_EQ(client->urls.size(), 12);
      EXPECT_EQ(line.count(" , "), 15);
      // Slots 12 to 15 were never read in this run: the no-page mark, no invented 0.
      const QList<QByteArray> readings = line.trimmed().split(',');
      ASSERT_EQ(readings.size(), 17);
      for (int slot = 12; slot < 16; ++slot) EXPECT_EQ(readings[slot + 1].trimmed(), "-1");
      EXPECT_EQ(readings[12].trimmed(), "5");
    } else {
      EXPECT_EQ(client->urls.size(), 16);
      EXPECT_EQ(line.count(" , "), 11);
    }
  }
}

}  // namespace
}  // namespace bw
