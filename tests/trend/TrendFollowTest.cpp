#include <gtest/gtest.h>

#include <QFile>
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

void append(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::Append));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

// Lines appended to the log the window has open show; a line written in two
// parts, as a slow writer might leave it, waits for its end.
TEST(TrendFollow, AppendedLinesShowAndAHalfLineWaitsForItsEnd) {
  test::LogFolder folder;
  const QString path = folder.write(QStringLiteral("live.log"), logLine(at(8, 10), {4.5f, 4.5f}));
  TrendWindow window;
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({path});
  ASSERT_TRUE(loaded.wait(10000));
  ASSERT_EQ(window.series().size(), 1u);
  ASSERT_TRUE(window.following());
  auto* follower = window.findChild<FileFollower*>();
  ASSERT_NE(follower, nullptr);

  append(path, logLine(at(8, 10, 0, 9), {4.625f, -1.0f}));
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 2u, 10000);
  const QByteArray third = logLine(at(8, 10, 0, 18), {4.75f, 4.5f});
  append(path, third.left(25));
  follower->check();  // has read the half line
  EXPECT_EQ(window.series().size(), 2u);
  append(path, third.mid(25));
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 3u, 10000);
  EXPECT_EQ(window.series().values(0)[2], 4.75f);
  EXPECT_EQ(window.series().values(1)[1], -1.0f);

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
  window.openFiles(
      {folder.write(QStringLiteral("picture.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10))});
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(window.series().size(), 0u);
  EXPECT_TRUE(window.message().contains(QStringLiteral("is not a Brinewatch log")));
}

}  // namespace
}  // namespace bw
