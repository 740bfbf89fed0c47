#include <gtest/gtest.h>

#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "TrendLogs.h"
#include "trend/FileFollower.h"
#include "trend/ui/TrendWindow.h"

namespace bw {
namespace {

using test::at;
using test::logLine;

// Another process appends to the log the window has open: a whole line, then
// a line in two writes a moment apart, as a slow disk might leave it.
TEST(TrendFollow, LinesAnotherProcessAppends_ShowAndAHalfLineWaitsForItsEnd) {
  test::LogFolder folder;
  const QString path = folder.write(QStringLiteral("live.log"), logLine(at(8, 10), {4.5f, 4.5f}));
  TrendWindow window;
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({path});
  ASSERT_TRUE(loaded.wait(10000));
  ASSERT_EQ(window.series().size(), 1u);
  EXPECT_TRUE(window.following());

  const QByteArray second = logLine(at(8, 10, 0, 9), {4.625f, -1.0f});
  const QByteArray third = logLine(at(8, 10, 0, 18), {4.75f, 4.5f});
  QProcess writer;
  writer.start(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"),
                QStringLiteral("printf '%s' \"$1\" >> \"$4\"; sleep 0.3; "
                               "printf '%s' \"$2\" >> \"$4\"; sleep 1.5; "
                               "printf '%s' \"$3\" >> \"$4\""),
                QStringLiteral("sh"), QString::fromLatin1(second),
                QString::fromLatin1(third.left(25)), QString::fromLatin1(third.mid(25)), path});
  ASSERT_TRUE(writer.waitForStarted());
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 2u, 3000);
  QTest::qWait(1000);  // the half line is on disk now and must not count
  EXPECT_EQ(window.series().size(), 2u);
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 3u, 4000);
  EXPECT_EQ(window.series().values(0)[2], 4.75f);
  EXPECT_EQ(window.series().values(1)[1], -1.0f);
  writer.waitForFinished();

  // Replaced by a shorter file: read again from the start.
  folder.write(QStringLiteral("live.log"), logLine(at(9, 8), {1.0f}));
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 1u, 4000);
  EXPECT_EQ(window.series().values(0)[0], 1.0f);
  EXPECT_TRUE(window.following());
}

TEST(TrendWindowReading, ALargeFileCancelled_LeavesTheChartAsItWas) {
  test::LogFolder folder;
  const QString small = folder.write(QStringLiteral("small.log"), logLine(at(8, 10), {4.5f}));
  QByteArray big;
  for (int i = 0; i < 200000; ++i) big += logLine(at(8, 10).addSecs(9 * i), {4.5f, 4.5f, 4.5f});
  const QString large = folder.write(QStringLiteral("large.log"), big);
  TrendWindow window;
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({small});
  ASSERT_TRUE(loaded.wait(10000));
  window.openFiles({large});
  EXPECT_TRUE(window.loading());
  window.findChild<QPushButton*>()->click();  // the progress bar's Cancel
  QTRY_VERIFY_WITH_TIMEOUT(!window.loading(), 10000);
  EXPECT_EQ(window.series().size(), 1u);
  EXPECT_TRUE(window.message().contains(QStringLiteral("cancelled")));
}

TEST(TrendWindowReading, AFileThatIsNoLog_SaysSoInTheWindow) {
  test::LogFolder folder;
  TrendWindow window;
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({folder.write(QStringLiteral("picture.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10))});
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(window.series().size(), 0u);
  EXPECT_TRUE(window.message().contains(QStringLiteral("is not a Brinewatch log")));
}

}  // namespace
}  // namespace bw
