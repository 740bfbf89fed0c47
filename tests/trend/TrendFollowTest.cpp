#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Compressed.h"
#include "LogLines.h"
#include "TrendWindowFakes.h"
#include "trend/FileFollower.h"

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
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
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

// A log rewritten in place (the same file, as large or larger, as a copy
// over it leaves it) is read again from the start, not taken for an append;
// an empty log waits for its lines without calling itself no log.
TEST(TrendFollow, ARewriteInPlaceIsReadAgain_AndAnEmptyLogWaitsForLines) {
  test::LogFolder folder;
  const QString path = folder.write(QStringLiteral("live.log"), {});
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({path});
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(window.message(), QStringLiteral("Waiting for lines…"));
  append(path, logLine(at(8, 10), {3.0f}) + logLine(at(8, 10, 0, 9), {3.0f}));
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 2u, 10000);
  EXPECT_TRUE(window.message().isEmpty());

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));  // no truncation: the same inode throughout
  ASSERT_TRUE(file.write(logLine(at(9, 8), {7.0f}) + logLine(at(9, 8, 0, 9), {7.5f}) +
                         logLine(at(9, 8, 0, 18), {8.0f})));
  file.close();
  window.findChild<FileFollower*>()->check();
  ASSERT_TRUE(loaded.wait(10000));
  ASSERT_EQ(window.series().size(), 3u);
  EXPECT_EQ(window.series().values(0)[0], 7.0f);
  EXPECT_TRUE(window.message().isEmpty()) << window.message().toStdString();
  EXPECT_TRUE(window.following());
}

// A copy over the log of the same size whose end is the same (`cp
// backup.log LOG`), the change far from the end, is read again too; a log
// that stands still is not.
TEST(TrendFollow, ARewriteThatKeepsTheSizeAndTheEnd_IsReadAgain) {
  test::LogFolder folder;
  const auto lines = [](float value, int from, int count) {
    QByteArray bytes;
    for (int i = from; i < from + count; ++i) bytes += logLine(at(8, 10).addSecs(9 * i), {value});
    return bytes;
  };
  const QByteArray end = lines(3.0f, 20000, 400);  // more than 4 KiB
  const QString path = folder.write(QStringLiteral("live.log"), lines(4.5f, 0, 20000) + end);
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({path});
  ASSERT_TRUE(loaded.wait(10000));
  auto* follower = window.findChild<FileFollower*>();
  ASSERT_NE(follower, nullptr);
  follower->check();
  follower->check();
  EXPECT_EQ(loaded.size(), 1);  // nothing changed: nothing read again

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));  // the same inode, the same size
  ASSERT_TRUE(file.write(lines(5.5f, 0, 20000) + end));
  file.close();
  follower->check();
  ASSERT_TRUE(loaded.wait(10000));
  ASSERT_EQ(window.series().size(), 20400u);
  EXPECT_EQ(window.series().values(0)[100], 5.5f);
}

// While the view is at the latest line, a reading far outside the
// temperatures in view widens them.
TEST(TrendFollow, ANewReadingOutsideTheViewWidensIt) {
  test::LogFolder folder;
  QByteArray cold;
  for (int i = 0; i < 20; ++i) cold += logLine(at(8, 10, 0, 9 * i), {3.0f, 3.125f});
  const QString path = folder.write(QStringLiteral("live.log"), cold);
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  QSignalSpy appended(&window, &TrendWindow::linesAppended);
  window.openFiles({path});
  ASSERT_TRUE(loaded.wait(10000));
  ASSERT_LT(window.plot()->viewHigh(), 20.0);
  append(path, logLine(at(8, 10, 3, 0), {20.0f, 3.0f}));
  window.findChild<FileFollower*>()->check();
  ASSERT_EQ(appended.size(), 1);
  EXPECT_GT(window.plot()->viewHigh(), 20.0);
  EXPECT_LT(window.plot()->viewLow(), 3.0);
}

// A named pipe would hold the reading for ever; it is refused and the window
// goes on answering.
// A live log opened with its rotated, compressed predecessors: all of them
// in time order, and the live one followed.
TEST(TrendFollow, TheLiveLogOfARotatedSet_IsFollowed) {
  test::LogFolder folder;
  const QString live = folder.write(QStringLiteral("brine.log"), logLine(at(9, 10), {2.0f}));
  const QString old =
      folder.write(QStringLiteral("brine.log.1.gz"), test::gzipped(logLine(at(8, 10), {1.0f})));
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({live, old});
  ASSERT_TRUE(loaded.wait(10000));
  ASSERT_EQ(window.series().size(), 2u);
  EXPECT_EQ(window.series().values(0)[0], 1.0f);
  ASSERT_TRUE(window.following());
  append(live, logLine(at(9, 10, 0, 9), {3.0f}));
  QTRY_COMPARE_WITH_TIMEOUT(window.series().size(), 3u, 10000);
  EXPECT_EQ(window.series().values(0)[2], 3.0f);

  // Only the rotated ones: nothing is followed.
  window.openFiles({old});
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_FALSE(window.following());
}

TEST(TrendWindowReading, ANamedPipe_IsRefusedAndTheWindowStaysUsable) {
  test::LogFolder folder;
  const QString fifo = folder.path(QStringLiteral("pipe.log"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles({fifo});
  const bool refused = loaded.wait(10000);
  if (!refused) {  // a reading blocked in the pipe: free it, so the test fails and ends
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  ASSERT_TRUE(refused);
  EXPECT_TRUE(window.message().contains(QStringLiteral("not a regular file")));
  EXPECT_FALSE(window.loading());
  window.openFiles({folder.write(QStringLiteral("a.log"), logLine(at(8, 10), {4.5f}))});
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(window.series().size(), 1u);
}

TEST(TrendWindowReading, ALargeFileCancelled_LeavesTheChartAsItWas) {
  test::LogFolder folder;
  const QString small = folder.write(QStringLiteral("small.log"), logLine(at(8, 10), {4.5f}));
  QByteArray big;
  for (int i = 0; i < 200000; ++i) big += logLine(at(8, 10).addSecs(9 * i), {4.5f, 4.5f, 4.5f});
  const QString large = folder.write(QStringLiteral("large.log"), big);
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
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
  test::FakeServices services;
  TrendWindow window(test::trendServices(services));
  QSignalSpy loaded(&window, &TrendWindow::loaded);
  window.openFiles(
      {folder.write(QStringLiteral("picture.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10))});
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(window.series().size(), 0u);
  EXPECT_TRUE(window.message().contains(QStringLiteral("is not a Brinewatch log")));
}

}  // namespace
}  // namespace bw
