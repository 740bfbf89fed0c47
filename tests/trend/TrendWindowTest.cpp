#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "LogLines.h"
#include "TrendWindowFakes.h"
#include "site/Site.h"
#include "site/TextColumns.h"
#include "trend/TrendSeries.h"
#include "trend/ui/CsvExportJob.h"
#include "trend/ui/StatisticsTable.h"
#include "trend/ui/TrendPlot.h"

namespace bw {
namespace {

using test::at;
using test::logLine;

// The window on screen over the shared stand-ins; its commands are run
// through their menu actions.
class TrendWindowTest : public ::testing::Test {
 protected:
  TrendWindowTest() {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  void trigger(const QString& action) {
    auto* found = window.findChild<QAction*>(action);
    ASSERT_NE(found, nullptr) << action.toStdString();
    found->trigger();
  }
  static QStringList recentMenu(const TrendWindow& w) {
    QStringList entries;
    for (const QAction* a : w.findChild<QMenu*>(QStringLiteral("menuRecent"))->actions())
      entries << a->text();
    return entries;
  }
  // File > Open on `files`, read to the end.
  void open(const QStringList& files) {
    services.chooser.filesToOpen.append(files);
    QSignalSpy loaded(&window, &TrendWindow::loaded);
    trigger(QStringLiteral("actionOpen"));
    ASSERT_TRUE(loaded.wait(10000));
  }
  QString twoSensorLog() {
    QByteArray bytes;
    for (int minute = 0; minute < 4; ++minute)
      bytes += logLine(at(8, 10, minute), {4.5f + static_cast<float>(minute), -1.0f});
    return folder.write(QStringLiteral("two.log"), bytes);
  }

  test::LogFolder folder;
  test::FakeServices services;
  TrendWindow window{test::trendServices(services)};
};

TEST_F(TrendWindowTest, Open_ReadsTheChosenFiles_AndOpenRecentListsThemMostRecentFirst) {
  const QString a = folder.write(QStringLiteral("a.log"), logLine(at(8, 10), {4.5f}));
  const QString b = folder.write(QStringLiteral("b.log"), logLine(at(8, 11), {5.5f}));
  trigger(QStringLiteral("actionOpen"));  // cancelled: nothing is read
  EXPECT_FALSE(window.loading());
  open({a, b});
  EXPECT_EQ(window.series().size(), 2u);
  EXPECT_EQ(recentMenu(window), QStringList({b, a}));
  EXPECT_TRUE(services.settings.writes.contains(QStringLiteral("Trend/RecentFiles/File1=") + b));
  open({a});
  EXPECT_EQ(window.series().size(), 1u);
  EXPECT_EQ(recentMenu(window), QStringList({a, b}));
}

TEST_F(TrendWindowTest, OpenRecent_OpensTheEntryPicked_AndKeepsTheEightLatest) {
  QStringList stored;
  for (int i = 0; i < 8; ++i) {
    stored << folder.write(QStringLiteral("%1.log").arg(i), logLine(at(8, 10 + i), {1.0f}));
    services.settings.values[QStringLiteral("File%1").arg(i + 1)] = stored.last();
  }
  TrendWindow reopened(test::trendServices(services));
  ASSERT_EQ(recentMenu(reopened), stored);
  QSignalSpy loaded(&reopened, &TrendWindow::loaded);
  reopened.findChild<QMenu*>(QStringLiteral("menuRecent"))->actions()[3]->trigger();
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(reopened.series().first(), stampOf(at(8, 13)));
  EXPECT_EQ(recentMenu(reopened).first(), stored[3]);

  const QString newer = folder.write(QStringLiteral("new.log"), logLine(at(9, 8), {2.0f}));
  services.chooser.filesToOpen.append({newer});
  reopened.findChild<QAction*>(QStringLiteral("actionOpen"))->trigger();
  ASSERT_TRUE(loaded.wait(10000));
  const QStringList recent = recentMenu(reopened);
  EXPECT_EQ(recent.size(), 8);
  EXPECT_EQ(recent.first(), newer);
  EXPECT_FALSE(recent.contains(stored[7]));
}

// The files open all the same; the box tells once that the list is not kept.
TEST_F(TrendWindowTest, RecentFilesTheSettingsRefuse_AreSaidOnceAndTheFilesStillOpen) {
  services.settings.refusedKey = QStringLiteral("File1");
  open({folder.write(QStringLiteral("a.log"), logLine(at(8, 10), {4.5f}))});
  open({folder.write(QStringLiteral("b.log"), logLine(at(8, 10), {4.5f}))});
  EXPECT_EQ(window.series().size(), 1u);
  EXPECT_EQ(services.messages.texts, QStringList({QStringLiteral("the settings are read-only")}));
}

TEST_F(TrendWindowTest, ExportCsv_WritesTheLinesOfTheRangeInView) {
  open({twoSensorLog()});
  window.plot()->setView(static_cast<double>(stampOf(at(8, 10, 0, 30))),
                         static_cast<double>(stampOf(at(8, 10, 2, 30))));
  services.chooser.filesToSave << folder.path(QStringLiteral("view.csv"));
  trigger(QStringLiteral("actionExportCsv"));
  QTRY_COMPARE_WITH_TIMEOUT(window.message(), QStringLiteral("Wrote 2 lines to view.csv."), 10000);
  EXPECT_EQ(folder.read(QStringLiteral("view.csv")),
            "time,sensor1,sensor2\n"
            "2026-12-08T10:01:00,5.5,-1\n"
            "2026-12-08T10:02:00,6.5,-1\n");
  EXPECT_TRUE(services.messages.texts.isEmpty());
}

TEST_F(TrendWindowTest, ExportPng_IsAPictureOfThePlotsSize) {
  open({twoSensorLog()});
  const QString png = folder.path(QStringLiteral("chart.png"));
  services.chooser.filesToSave << png;
  const QSize size = window.plot()->size();  // before the message above it shows
  trigger(QStringLiteral("actionExportPng"));
  EXPECT_EQ(window.message(), QStringLiteral("Saved chart.png."));
  const QImage picture(png, "PNG");
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), size);
}

TEST_F(TrendWindowTest, AnExportOntoTheOpenLog_IsRefusedInABoxAndWritesNothing) {
  const QString log = twoSensorLog();
  open({log});
  const QByteArray before = folder.read(QStringLiteral("two.log"));
  services.chooser.filesToSave << log << log;
  trigger(QStringLiteral("actionExportCsv"));
  trigger(QStringLiteral("actionExportPng"));
  EXPECT_EQ(folder.read(QStringLiteral("two.log")), before);
  ASSERT_EQ(services.messages.texts.size(), 2);
  for (const QString& text : services.messages.texts)
    EXPECT_TRUE(text.startsWith(QStringLiteral("Not exported: ")) &&
                text.contains(QStringLiteral("is the log")))
        << text.toStdString();
  EXPECT_EQ(window.findChild<CsvExportJob*>(), nullptr);
  EXPECT_EQ(QDir(folder.path({})).entryList(QDir::Files), QStringList({QStringLiteral("two.log")}));
}

// A click on a sensor's legend entry hides it, from the chart, the
// statistics and the cursor's read-out; a second click shows it again.
TEST_F(TrendWindowTest, TheLegendEntry_TogglesItsSensor) {
  open({twoSensorLog()});
  TrendPlot* plot = window.plot();
  plot->redraw();  // lays the legend out
  const QPoint entry = plot->legendEntry(0).center();
  QWidget* chart = plot->childAt(entry);
  ASSERT_NE(chart, nullptr);
  const auto* table = window.findChild<StatisticsTable*>();
  const auto readOut = [&] {
    const QPoint middle = chart->rect().center();
    QMouseEvent move(QEvent::MouseMove, middle, chart->mapToGlobal(middle), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart, &move);
    return window.cursorText();
  };

  QTest::mouseClick(chart, Qt::LeftButton, {}, chart->mapFrom(plot, entry));
  EXPECT_FALSE(plot->sensorVisible(0));
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Sensor 2"));
  EXPECT_FALSE(readOut().contains(QStringLiteral("·  1: ")));
  EXPECT_TRUE(window.cursorText().contains(QStringLiteral("·  2: -1 (flagged)")));

  QTest::mouseClick(chart, Qt::LeftButton, {}, chart->mapFrom(plot, entry));
  EXPECT_TRUE(plot->sensorVisible(0));
  EXPECT_EQ(table->rowCount(), 2);
  EXPECT_TRUE(readOut().contains(QStringLiteral("·  1: ")));
}

// A site's names label the legend and the statistics; its band is drawn as
// two lines, and the readings outside it are counted. A slot the site leaves
// out (logged as -1) is no sensor: not drawn, listed or read out, unless all
// are asked for.
TEST_F(TrendWindowTest, ASitesNamesAndBandsAreShown_AndOnlyItsSensors) {
  Site site;
  site.sensors.push_back({1, QStringLiteral("9C000000B4A89828"), QStringLiteral("North tank"), 5.0,
                          7.0});  // readings 4.5 5.5 6.5 7.5: two outside
  window.setSensorKeys(sensorKeys(&site));
  open({twoSensorLog()});
  const auto* table = window.findChild<StatisticsTable*>();
  ASSERT_EQ(table->columnCount(), 6);
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("1 North tank"));
  EXPECT_EQ(table->item(0, 5)->text(), QStringLiteral("2"));
  EXPECT_EQ(window.plot()->bandLines(0), (std::vector<double>{5.0, 7.0}));
  window.plot()->redraw();
  EXPECT_FALSE(window.plot()->legendEntry(0).isEmpty());
  EXPECT_TRUE(window.plot()->legendEntry(1).isEmpty());
  EXPECT_FALSE(window.plot()->sensorVisible(1));
  window.plot()->setSensorVisible(1, true);  // a legend click cannot bring it in
  EXPECT_FALSE(window.plot()->sensorVisible(1));

  window.setSensorKeys(sensorKeys(&site, true));
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("Sensor 2"));
  EXPECT_EQ(table->item(1, 5)->text(), QStringLiteral("–"));
  EXPECT_TRUE(window.plot()->bandLines(1).empty());
  window.plot()->redraw();
  EXPECT_FALSE(window.plot()->legendEntry(1).isEmpty());

  // A long name in a wide script is cut to the columns of the others.
  site.sensors[0].name = QString(30, QChar(0x5317));  // 北
  window.setSensorKeys(sensorKeys(&site));
  EXPECT_EQ(displayWidth(table->item(0, 0)->text()), kLabelColumns - 1);
  EXPECT_EQ(table->item(0, 0)->toolTip(), QStringLiteral("1 ") + site.sensors[0].name);
}

// Closing the window while a year's CSV is written cancels it: the thread
// is waited for, no temporary file stays, no result is shown.
TEST_F(TrendWindowTest, ClosingDuringACsvExport_CancelsItAndLeavesNothingBehind) {
  QByteArray big;
  for (int i = 0; i < 200000; ++i) big += logLine(at(8, 10).addSecs(9 * i), {4.5f, 4.5f, 4.5f});
  open({folder.write(QStringLiteral("big.log"), big)});
  services.chooser.filesToSave << folder.path(QStringLiteral("big.csv"));
  trigger(QStringLiteral("actionExportCsv"));
  auto* job = window.findChild<CsvExportJob*>();
  ASSERT_NE(job, nullptr);
  const QPointer<QThread> thread = job->findChild<QThread*>();
  ASSERT_FALSE(thread.isNull());  // the job owns its thread

  window.close();
  EXPECT_TRUE(thread.isNull());  // waited for and deleted
  EXPECT_EQ(window.findChild<CsvExportJob*>(), nullptr);
  QCoreApplication::processEvents();
  EXPECT_EQ(QDir(folder.path({})).entryList(QDir::Files), QStringList({QStringLiteral("big.log")}));
  EXPECT_FALSE(window.message().startsWith(QStringLiteral("Wrote")));
  EXPECT_TRUE(services.messages.texts.isEmpty());
}

// A chart drawn without being shown (a picture from the command line, the
// benchmark) is decimated for the size it was given, not the default one.
TEST(TrendPlotMarks, AChartNotShown_IsLaidOutAtTheSizeAsked) {
  TrendPlot plot;
  for (const QSize size : {QSize(1200, 600), QSize(8192, 4096), QSize(300, 200)}) {
    plot.resize(size);
    EXPECT_GT(plot.chartWidth(), size.width() * 8 / 10) << size.width();
    EXPECT_LT(plot.chartWidth(), size.width());
  }
}

// A picture's lines are decimated for the columns it is drawn on, also
// when fitting the values widened their labels and so narrowed the chart.
TEST(TrendPlotMarks, APictureIsDecimatedForTheColumnsItIsDrawnOn) {
  TrendSeries series;
  LogRecord r;
  r.count = 1;
  for (int i = 0; i < 5000; ++i) {
    r.stamp = stampOf(at(1, 0)) + 60 * i;
    r.values[0] = i % 2 ? -1234.5f : 1234.5f;
    series.append(r);
  }
  TrendPlot plot;
  plot.resize(1200, 600);
  plot.setSeries(&series);
  plot.resetView();
  const int before = plot.decimatedColumns();
  ASSERT_FALSE(plot.picture(QSize(1200, 600), false).isEmpty());
  EXPECT_LT(plot.chartWidth(), before);  // the labels took room
  EXPECT_EQ(plot.decimatedColumns(), plot.chartWidth());
}

// A log whose clock went back a thousand times over a year: the marks
// reach along the whole axis, thinned evenly to a few pixels apart, and a
// view with few of them marks each.
TEST(TrendPlotMarks, SetBacksAreMarkedAlongTheWholeView) {
  TrendSeries series;
  LogRecord r;
  r.count = 1;
  r.values[0] = 4.5f;
  const StampSeconds start = stampOf(at(1, 0));
  constexpr int kSetBacks = 1000;
  constexpr StampSeconds kStep = 8 * 3600;
  for (int i = 0; i < kSetBacks; ++i) {
    for (const StampSeconds t : {0, 60, 30}) {  // the third line goes back
      r.stamp = start + i * kStep + t;
      series.append(r);
    }
  }
  ASSERT_EQ(series.setBacks().size(), static_cast<std::size_t>(kSetBacks));
  TrendPlot plot;
  plot.resize(1200, 600);
  plot.setSeries(&series);
  plot.resetView();
  const double from = static_cast<double>(plot.viewFrom());
  const double to = static_cast<double>(plot.viewTo());
  const std::vector<double> marks = plot.setBackMarkTimes();
  ASSERT_GE(marks.size(), 100u);
  EXPECT_LE(marks.size(), static_cast<std::size_t>(plot.chartWidth() / 3));
  EXPECT_LT(marks.front() - from, (to - from) * 0.02);
  EXPECT_LT(to - marks.back(), (to - from) * 0.02);
  for (std::size_t i = 1; i < marks.size(); ++i)  // evenly: no stretch left without
    EXPECT_LT(marks[i] - marks[i - 1], 3.0 * (to - from) / static_cast<double>(marks.size()));

  plot.setView(static_cast<double>(start), static_cast<double>(start + 10 * kStep));
  EXPECT_EQ(plot.setBackMarkTimes().size(), 10u);
}

}  // namespace
}  // namespace bw
