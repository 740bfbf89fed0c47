#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <thread>

#include "AcquisitionFakes.h"
#include "Fakes.h"
#include "acquisition/LogFile.h"
#include "logformat/RecordLine.h"

namespace bw {
namespace {

using test::FixedClock;

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

class LogFileTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  FixedClock clock;
  Readings readings{};
  QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
  // One record line of `count` readings, as the log stamps it.
  bool write(LogTarget& log, int count) {
    return log.appendLine(recordLine(clock.now(), readings.data(), count));
  }
};

TEST_F(LogFileTest, StopAndStartAgain_AppendsAfterExistingLinesWithoutHeader) {
  const QString file = path("brine.log");
  writeFile(file, "2026-12-07 09:00:00,  1 \r\n");
  LogTarget log;
  ASSERT_FALSE(log.open(file).has_value());
  EXPECT_TRUE(log.isOpen());
  readings[0] = 4.5f;
  ASSERT_TRUE(write(log, 1));
  log.close();
  EXPECT_FALSE(log.isOpen());
  ASSERT_FALSE(log.open(file).has_value());
  readings[0] = -2.0f;
  ASSERT_TRUE(write(log, 1));
  log.close();
  EXPECT_EQ(contents(file), QByteArray("2026-12-07 09:00:00,  1 \r\n"
                                       "2026-12-08 10:00:00,  4.5 \r\n"
                                       "2026-12-08 10:00:00, -2 \r\n"));
}

TEST_F(LogFileTest, ExistingLastLineWithoutLineEnd_GetsOneBeforeTheNextRecord) {
  const QString file = path("cut.log");
  writeFile(file, "2026-12-07 09:00:00,  1 \r\n2026-12-07 09:00:01,  1");
  LogTarget log;
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(write(log, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-07 09:00:00,  1 \r\n2026-12-07 09:00:01,  1\r\n"
                                       "2026-12-08 10:00:00,  0 \r\n"));
  log.close();
  // Cut between CR and LF: only the LF is missing.
  writeFile(file, "2026-12-07 09:00:00,  1 \r");
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(write(log, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-07 09:00:00,  1 \r\n2026-12-08 10:00:00,  0 \r\n"));
}

// Text added by another program while the log is open (a note, a tool that
// cut the file mid-line) is ended before the next record, not glued to it.
TEST_F(LogFileTest, TextWithoutALineEndAddedWhileOpen_IsEndedBeforeTheNextRecord) {
  const QString file = path("noted.log");
  LogTarget log;
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(write(log, 1));
  const QByteArray record = contents(file);
  auto append = [&](const QByteArray& bytes) {
    QFile other(file);
    ASSERT_TRUE(other.open(QIODevice::Append));
    other.write(bytes);
  };
  append("pump serviced");
  ASSERT_TRUE(write(log, 1));
  append("2026-12-08 10:00:00,  0 \r");  // cut between CR and LF
  ASSERT_TRUE(write(log, 1));
  EXPECT_EQ(contents(file), record + "pump serviced\r\n" + record + record + record);
}

TEST_F(LogFileTest, NewFileAndFileEndingInLineEnd_AreLeftAsTheyAre) {
  LogTarget log;
  ASSERT_FALSE(log.open(path("new.log")).has_value());
  log.close();
  EXPECT_TRUE(QFile::exists(path("new.log")));
  EXPECT_TRUE(contents(path("new.log")).isEmpty());
  writeFile(path("whole.log"), "a\r\n");
  ASSERT_FALSE(log.open(path("whole.log")).has_value());
  log.close();
  EXPECT_EQ(contents(path("whole.log")), QByteArray("a\r\n"));
}

TEST_F(LogFileTest, PathsThatCannotBeOpened_GiveAReasonAndStayClosed) {
  LogTarget log;
  const auto missingFolder = log.open(path("no/such/folder/x.log"));
  ASSERT_TRUE(missingFolder.has_value());
  EXPECT_FALSE(missingFolder->isEmpty());
  EXPECT_FALSE(log.isOpen());
  const auto directory = log.open(dir.path());
  ASSERT_TRUE(directory.has_value());
  EXPECT_FALSE(log.isOpen());
  writeFile(path("plain"), "x");
  EXPECT_TRUE(log.open(path("plain") + QStringLiteral("/x.log")).has_value());
  EXPECT_FALSE(log.isOpen());
  if (::geteuid() != 0) {
    const QString locked = path("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_TRUE(log.open(locked + QStringLiteral("/x.log")).has_value());
  }
}

TEST_F(LogFileTest, WriteToFullDevice_IsReportedAndNotCounted) {
  LogTarget log;
  ASSERT_FALSE(log.open(QStringLiteral("/dev/full")).has_value());
  EXPECT_FALSE(write(log, 12));
  EXPECT_FALSE(log.lastError().isEmpty());
  EXPECT_TRUE(log.isOpen());  // logging goes on and retries the next record
  EXPECT_FALSE(write(log, 12));
}

TEST_F(LogFileTest, LineCutShortByAFullDisk_IsTakenBackAndWritingResumes) {
  const QString file = path("limit.log");
  LogTarget log;
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(write(log, 2));
  const qint64 whole = QFile(file).size();

  // A file size limit makes the kernel accept only part of the next line.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(whole + 10);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool written = write(log, 2);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(QFile(file).size(), whole);
  ASSERT_TRUE(write(log, 2));
  EXPECT_EQ(contents(file).count("\r\n"), 2);
  EXPECT_EQ(contents(file), contents(file).left(static_cast<int>(whole)).repeated(2));
}

// A failed sync may or may not have left the line on the disk, and a later
// sync that succeeds tells nothing of it: the line is taken back, so the file
// holds the records counted, once writing works again too.
TEST_F(LogFileTest, RecordsWhoseSyncFailed_AreTakenBackSoTheFileHoldsWhatWasCounted) {
  const QString file = path("eio.log");
  test::FaultyLogCalls calls;
  LogTarget log(calls);
  ASSERT_FALSE(log.open(file).has_value());
  int counted = 0;
  auto record = [&] { counted += write(log, 12) ? 1 : 0; };
  record();
  const QByteArray one = contents(file);
  record();
  calls.failingSyncs = 3;
  for (int i = 0; i < 3; ++i) {
    record();
    EXPECT_FALSE(log.lastError().isEmpty());
  }
  EXPECT_EQ(counted, 2);
  // The cut itself fails once: it is made before the next record instead,
  // and that record waits for it.
  calls.failingSyncs = 1;
  calls.failingTruncates = 2;
  record();
  record();
  EXPECT_EQ(counted, 2);
  record();
  record();
  EXPECT_EQ(counted, 4);
  EXPECT_EQ(contents(file), one.repeated(counted));
}

// Two loggers given one log would interleave their lines: the second is
// refused, told who holds it, and the lock goes with the file at the path.
TEST_F(LogFileTest, ALogHeldByAnotherLoggerIsRefusedNamingTheHolder_AndARotatedLogIsHeldAnew) {
  const QString file = path("shared.log");
  LogTarget first;
  LogTarget second;
  ASSERT_FALSE(first.open(file).has_value());
  const auto refused = second.open(file);
  ASSERT_TRUE(refused.has_value());
  EXPECT_TRUE(refused->contains(QStringLiteral("process %1").arg(::getpid())))
      << refused->toStdString();
  EXPECT_FALSE(second.isOpen());
  // Rotated: the first logger lets the old file go and holds the new one.
  ASSERT_TRUE(write(first, 1));
  ASSERT_TRUE(QFile::rename(file, file + QStringLiteral(".1")));
  ASSERT_TRUE(write(first, 1));
  EXPECT_TRUE(second.open(file).has_value());
  ASSERT_FALSE(second.open(file + QStringLiteral(".1")).has_value());
  second.close();
  first.close();
  ASSERT_FALSE(second.open(file).has_value());
  ASSERT_TRUE(write(second, 1));
  EXPECT_EQ(contents(file).count("\r\n"), 2);
}

TEST_F(LogFileTest, ALogLockedByAnotherProcessIsRefusedNamingItsProgramAndProcess) {
  const QString file = path("locked.log");
  writeFile(file, "");
  QProcess holder;
  holder.start(QStringLiteral("flock"), {file, QStringLiteral("sleep"), QStringLiteral("60")});
  if (!holder.waitForStarted()) GTEST_SKIP() << "no flock tool";
  LogTarget log;
  std::optional<QString> refused;
  for (int i = 0; i < 200 && !(refused = log.open(file)); ++i) {
    log.close();
    QThread::msleep(50);
  }
  const qint64 pid = holder.processId();
  holder.kill();
  holder.waitForFinished();
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(*refused, QStringLiteral("another program logs to it (flock, process %1)").arg(pid));
}

TEST_F(LogFileTest, APipeNeverHoldsTheProgram) {
  const QString fifo = path("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  LogTarget log;
  // Nobody reads: the open fails at once instead of waiting for a reader.
  const auto noReader = log.open(fifo);
  ASSERT_TRUE(noReader.has_value());
  EXPECT_FALSE(log.isOpen());
  // A reader that takes nothing: once the pipe is full, a write fails
  // instead of waiting.
  const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_FALSE(log.open(fifo).has_value());
  int written = 0;
  while (written < 100000 && write(log, 16)) ++written;
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 100000);
  EXPECT_FALSE(log.lastError().isEmpty());
  EXPECT_TRUE(log.isOpen());
  ::close(reader);
}

TEST_F(LogFileTest, ALogDeletedOrMovedAwayIsMadeAgainAtItsPath) {
  const QString folder = path("logs");
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString file = folder + QStringLiteral("/brine.log");
  LogTarget log;
  ASSERT_FALSE(log.open(file).has_value());
  readings[0] = 1.0f;
  ASSERT_TRUE(write(log, 1));
  // Moved away by a rotation: the next record starts the new file.
  ASSERT_TRUE(QFile::rename(file, file + QStringLiteral(".1")));
  readings[0] = 2.0f;
  ASSERT_TRUE(write(log, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-08 10:00:00,  2 \r\n"));
  EXPECT_EQ(contents(file + QStringLiteral(".1")), QByteArray("2026-12-08 10:00:00,  1 \r\n"));
  // The folder deleted: records fail, with the reason, until it is back.
  ASSERT_TRUE(QDir(folder).removeRecursively());
  EXPECT_FALSE(write(log, 1));
  EXPECT_FALSE(log.lastError().isEmpty());
  EXPECT_TRUE(log.isOpen());
  EXPECT_FALSE(write(log, 1));
  ASSERT_TRUE(QDir().mkdir(folder));
  readings[0] = 3.0f;
  ASSERT_TRUE(write(log, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-08 10:00:00,  3 \r\n"));
}

// The log's writer thread: records are handed over at once, written in their
// order and counted once on the disk, however long the disk takes.
class LogFileWriter : public LogFileTest {
 protected:
  LogFileWriter() { log.setListener(&heard); }
  void hand(float value) {
    readings[0] = value;
    log.writeRecord(readings, 1);
  }
  QByteArray line(float value) {
    readings[0] = value;
    return recordLine(clock.now(), readings.data(), 1);
  }
  test::FaultyLogCalls calls;
  LogFile log{clock, calls};
  test::RecordingListener heard;
};

TEST_F(LogFileWriter, WhileASyncTakesLong_RecordsAreHandedOverAtOnceAndCountedInOrderOnTheDisk) {
  const QString file = path("slow.log");
  ASSERT_FALSE(log.open(file).has_value());
  calls.hold();
  for (int i = 0; i < 3; ++i) hand(static_cast<float>(i));
  QTRY_COMPARE_WITH_TIMEOUT(calls.held.load(), 1, 20000);
  QCoreApplication::processEvents();
  EXPECT_TRUE(heard.heard.isEmpty()) << "counted before it was on the disk";
  calls.release();
  ASSERT_TRUE(log.waitForRecords(std::chrono::seconds(20)));
  EXPECT_EQ(heard.heard, QStringList(3, QStringLiteral("written")));
  EXPECT_EQ(contents(file), line(0) + line(1) + line(2));
  // What comes later is told through the event loop.
  hand(3);
  QTRY_COMPARE_WITH_TIMEOUT(heard.heard.size(), 4, 20000);
  EXPECT_EQ(contents(file), line(0) + line(1) + line(2) + line(3));
}

TEST_F(LogFileWriter, ADiskThatDoesNotAnswerIsToldAsStalledUntilARecordEnds) {
  ASSERT_FALSE(log.open(path("stalled.log")).has_value());
  log.setPatience(std::chrono::milliseconds(50), LogFile::kCloseWait);
  calls.hold();
  hand(1);
  QTRY_VERIFY_WITH_TIMEOUT(!heard.heard.isEmpty(), 20000);
  EXPECT_EQ(heard.heard, QStringList{QStringLiteral("stalled: the disk does not answer")});
  calls.release();
  ASSERT_TRUE(log.waitForRecords(std::chrono::seconds(20)));
  EXPECT_EQ(heard.heard.last(), QStringLiteral("written"));
}

// Closing waits for the disk only so long; a record it took too late is
// taken back off the file, since it was told as failed.
TEST_F(LogFileWriter, ClosingWhileTheDiskDoesNotAnswer_IsBoundedAndTheFileKeepsToTheCount) {
  const QString file = path("hung.log");
  ASSERT_FALSE(log.open(file).has_value());
  hand(1);
  ASSERT_TRUE(log.waitForRecords(std::chrono::seconds(20)));
  log.setPatience(LogFile::kStallTime, std::chrono::milliseconds(100));
  calls.hold();
  hand(2);
  hand(3);
  QTRY_COMPARE_WITH_TIMEOUT(calls.held.load(), 1, 20000);
  log.close();
  EXPECT_FALSE(log.isOpen());
  ASSERT_EQ(heard.heard.size(), 3);
  EXPECT_EQ(heard.heard[0], QStringLiteral("written"));
  for (int i = 1; i < 3; ++i)
    EXPECT_TRUE(heard.heard[i].startsWith(QStringLiteral("failed: the disk does not answer")));
  calls.release();
  QTRY_COMPARE_WITH_TIMEOUT(contents(file), line(1), 20000);
  // The writer let go, the file is free for the next logger.
  QTRY_VERIFY_WITH_TIMEOUT(!log.open(file).has_value(), 20000);
}

// A rotation may move the file away while a record is being written and
// synced: the record is then in the moved file, and counts as written.
TEST_F(LogFileWriter, ARecordWrittenAsTheFileIsMovedAwayCountsAsWritten) {
  const QString file = path("brine.log");
  ASSERT_FALSE(log.open(file).has_value());
  std::atomic_bool done{false};
  std::atomic_int moves{0};
  std::thread rotation([&] {
    const QByteArray from = QFile::encodeName(file);
    while (!done) {
      const QByteArray to = from + '.' + QByteArray::number(moves.load());
      if (::rename(from.constData(), to.constData()) == 0) ++moves;
    }
  });
  // Until the file has been moved away often enough to catch records on
  // the way; each record waits for the one before, as a cycle does.
  int records = 0;
  while ((moves < 100 || records < 300) && records < 5000) {
    hand(1);
    ++records;
    ASSERT_TRUE(log.waitForRecords(std::chrono::seconds(20)));
  }
  done = true;
  rotation.join();
  QCoreApplication::processEvents();
  qsizetype lines = contents(file).count('\n');
  for (int n = 0; n < moves; ++n)
    lines += contents(file + QLatin1Char('.') + QString::number(n)).count('\n');
  EXPECT_EQ(heard.heard.count(QStringLiteral("written")), records);
  EXPECT_EQ(lines, records);
}

}  // namespace
}  // namespace bw
