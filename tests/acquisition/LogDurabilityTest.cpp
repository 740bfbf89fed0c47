#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include "AdapterSimulator.h"

namespace bw {
namespace {

// A logging process killed without warning leaves only whole lines, at least
// as many as it had reported written, and no more than it had handed over.
TEST(LogDurability, KilledWhileLogging_LeavesOnlyWholeLines) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("killed.log"));
  int before = 0;  // lines left by the earlier rounds: each run appends
  for (int round = 0; round < 3; ++round) {
    QProcess child;
    child.start(QStringLiteral(LOG_WRITER_CHILD), {adapter.host(), path});
    ASSERT_TRUE(child.waitForStarted());
    int reported = 0;
    int handed = 0;
    const int target = 20 + 7 * round;
    while (reported < target && child.waitForReadyRead(10000)) {
      while (child.canReadLine()) {
        const QByteArray line = child.readLine().trimmed();
        if (line.startsWith("record ")) reported = line.mid(7).toInt();
        if (line.startsWith("handed ")) handed = line.mid(7).toInt();
      }
    }
    ASSERT_GE(reported, target) << "the child stopped logging";
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    while (child.canReadLine()) {
      const QByteArray line = child.readLine().trimmed();
      if (line.startsWith("record ")) reported = line.mid(7).toInt();
      if (line.startsWith("handed ")) handed = line.mid(7).toInt();
    }

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    ASSERT_TRUE(text.endsWith("\r\n"));
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();  // after the final line end
    static const QRegularExpression whole(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d( \\d\\d:\\d\\d:\\d\\d)?, ( |-)\\d[^,]*( +, ( "
                       "|-)\\d[^,]*){15} \\r$"));
    for (const QByteArray& line : lines)
      ASSERT_TRUE(whole.match(QString::fromLatin1(line)).hasMatch()) << line.toStdString();
    // Records reach the disk on the log's own thread, before their report; the
    // last one handed may reach it just before it is reported handed.
    const int written = static_cast<int>(lines.size()) - before;
    EXPECT_GE(written, reported);
    EXPECT_LE(written, handed + 1);
    before = static_cast<int>(lines.size());
  }
}

// A pipe whose reader goes away makes a failed write, not the end of the
// process.
TEST(LogDurability, APipeWhoseReaderGoesAwayIsAFailedWrite) {
  sim::AdapterSimulator adapter;
  ASSERT_TRUE(adapter.start());
  QTemporaryDir dir;
  const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe")));
  ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
  int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  QProcess child;
  child.start(QStringLiteral(LOG_WRITER_CHILD), {adapter.host(), QFile::decodeName(fifo)});
  ASSERT_TRUE(child.waitForStarted());
  bool failed = false;
  while (!failed && child.waitForReadyRead(10000)) {
    while (child.canReadLine()) {
      const QByteArray line = child.readLine().trimmed();
      if (line == "record 2" && reader >= 0) {
        ::close(reader);
        reader = -1;
      }
      if (line.startsWith("failed ")) failed = true;
    }
  }
  EXPECT_TRUE(failed);
  EXPECT_EQ(child.state(), QProcess::Running) << "exit code " << child.exitCode();
  child.kill();
  child.waitForFinished();
}

}  // namespace
}  // namespace bw
