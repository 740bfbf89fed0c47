#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <thread>

#include "Fakes.h"
#include "acquisition/LogFile.h"

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
};

TEST_F(LogFileTest, StopAndStartAgain_AppendsAfterExistingLinesWithoutHeader) {
  const QString file = path("brine.log");
  writeFile(file, "2026-12-07 09:00:00,  1 \r\n");
  LogFile log(clock);
  ASSERT_FALSE(log.open(file).has_value());
  EXPECT_TRUE(log.loggingOn());
  readings[0] = 4.5f;
  ASSERT_TRUE(log.writeRecord(readings, 1));
  log.close();
  EXPECT_FALSE(log.loggingOn());
  ASSERT_FALSE(log.open(file).has_value());
  readings[0] = -2.0f;
  ASSERT_TRUE(log.writeRecord(readings, 1));
  log.close();
  EXPECT_EQ(contents(file), QByteArray("2026-12-07 09:00:00,  1 \r\n"
                                       "2026-12-08 10:00:00,  4.5 \r\n"
                                       "2026-12-08 10:00:00, -2 \r\n"));
}

TEST_F(LogFileTest, ExistingLastLineWithoutLineEnd_GetsOneBeforeTheNextRecord) {
  const QString file = path("cut.log");
  writeFile(file, "2026-12-07 09:00:00,  1 \r\n2026-12-07 09:00:01,  1");
  LogFile log(clock);
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(log.writeRecord(readings, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-07 09:00:00,  1 \r\n2026-12-07 09:00:01,  1\r\n"
                                       "2026-12-08 10:00:00,  0 \r\n"));
  log.close();
  // Cut between CR and LF: only the LF is missing.
  writeFile(file, "2026-12-07 09:00:00,  1 \r");
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(log.writeRecord(readings, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-07 09:00:00,  1 \r\n2026-12-08 10:00:00,  0 \r\n"));
}

TEST_F(LogFileTest, NewFileAndFileEndingInLineEnd_AreLeftAsTheyAre) {
  LogFile log(clock);
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
  LogFile log(clock);
  const auto missingFolder = log.open(path("no/such/folder/x.log"));
  ASSERT_TRUE(missingFolder.has_value());
  EXPECT_FALSE(missingFolder->isEmpty());
  EXPECT_FALSE(log.loggingOn());
  const auto directory = log.open(dir.path());
  ASSERT_TRUE(directory.has_value());
  EXPECT_FALSE(log.loggingOn());
  writeFile(path("plain"), "x");
  EXPECT_TRUE(log.open(path("plain") + QStringLiteral("/x.log")).has_value());
  EXPECT_FALSE(log.loggingOn());
  if (::geteuid() != 0) {
    const QString locked = path("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_TRUE(log.open(locked + QStringLiteral("/x.log")).has_value());
  }
}

TEST_F(LogFileTest, WriteToFullDevice_IsReportedAndNotCounted) {
  LogFile log(clock);
  ASSERT_FALSE(log.open(QStringLiteral("/dev/full")).has_value());
  EXPECT_FALSE(log.writeRecord(readings, 12));
  EXPECT_FALSE(log.lastError().isEmpty());
  EXPECT_TRUE(log.loggingOn());  // logging goes on and retries the next record
  EXPECT_FALSE(log.writeRecord(readings, 12));
}

TEST_F(LogFileTest, LineCutShortByAFullDisk_IsTakenBackAndWritingResumes) {
  const QString file = path("limit.log");
  LogFile log(clock);
  ASSERT_FALSE(log.open(file).has_value());
  ASSERT_TRUE(log.writeRecord(readings, 2));
  const qint64 whole = QFile(file).size();

  // A file size limit makes the kernel accept only part of the next line.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(whole + 10);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool written = log.writeRecord(readings, 2);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(QFile(file).size(), whole);
  ASSERT_TRUE(log.writeRecord(readings, 2));
  EXPECT_EQ(contents(file).count("\r\n"), 2);
  EXPECT_EQ(contents(file), contents(file).left(static_cast<int>(whole)).repeated(2));
}

TEST_F(LogFileTest, APipeNeverHoldsTheProgram) {
  const QString fifo = path("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  LogFile log(clock);
  // Nobody reads: the open fails at once instead of waiting for a reader.
  const auto noReader = log.open(fifo);
  ASSERT_TRUE(noReader.has_value());
  EXPECT_FALSE(log.loggingOn());
  // A reader that takes nothing: once the pipe is full, a write fails
  // instead of waiting.
  const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_FALSE(log.open(fifo).has_value());
  int written = 0;
  while (written < 100000 && log.writeRecord(readings, 16)) ++written;
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 100000);
  EXPECT_FALSE(log.lastError().isEmpty());
  EXPECT_TRUE(log.loggingOn());
  ::close(reader);
}

TEST_F(LogFileTest, ALogDeletedOrMovedAwayIsMadeAgainAtItsPath) {
  const QString folder = path("logs");
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString file = folder + QStringLiteral("/brine.log");
  LogFile log(clock);
  ASSERT_FALSE(log.open(file).has_value());
  readings[0] = 1.0f;
  ASSERT_TRUE(log.writeRecord(readings, 1));
  // Moved away by a rotation: the next record starts the new file.
  ASSERT_TRUE(QFile::rename(file, file + QStringLiteral(".1")));
  readings[0] = 2.0f;
  ASSERT_TRUE(log.writeRecord(readings, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-08 10:00:00,  2 \r\n"));
  EXPECT_EQ(contents(file + QStringLiteral(".1")), QByteArray("2026-12-08 10:00:00,  1 \r\n"));
  // The folder deleted: records fail, with the reason, until it is back.
  ASSERT_TRUE(QDir(folder).removeRecursively());
  EXPECT_FALSE(log.writeRecord(readings, 1));
  EXPECT_FALSE(log.lastError().isEmpty());
  EXPECT_TRUE(log.loggingOn());
  EXPECT_FALSE(log.writeRecord(readings, 1));
  ASSERT_TRUE(QDir().mkdir(folder));
  readings[0] = 3.0f;
  ASSERT_TRUE(log.writeRecord(readings, 1));
  EXPECT_EQ(contents(file), QByteArray("2026-12-08 10:00:00,  3 \r\n"));
}

// A rotation may move the file away while a record is being written and
// synced: the record is then in the moved file, and counts as written.
TEST_F(LogFileTest, ARecordWrittenAsTheFileIsMovedAwayCountsAsWritten) {
  const QString file = path("brine.log");
  LogFile log(clock);
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
  // the way.
  int records = 0, written = 0;
  while ((moves < 100 || records < 300) && records < 5000) {
    written += log.writeRecord(readings, 1);
    ++records;
  }
  done = true;
  rotation.join();
  qsizetype lines = contents(file).count('\n');
  for (int n = 0; n < moves; ++n)
    lines += contents(file + QLatin1Char('.') + QString::number(n)).count('\n');
  EXPECT_EQ(written, records);
  EXPECT_EQ(lines, records);
}

}  // namespace
}  // namespace bw
