#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace bw {

// The calls that put a record on the disk, as the system makes them; tests
// make them fail. Each returns what its system call does, -1 with errno set
// on failure.
class LogCalls {
 public:
  virtual ~LogCalls() = default;
  virtual std::int64_t write(int fd, const char* data, std::size_t size);
  virtual int sync(int fd);
  virtual int truncate(int fd, std::int64_t size);
};
// The system's calls; never destroyed, so a writer still waiting on the disk
// at the program's end may use it.
LogCalls& systemLogCalls();

// The file a log's lines go to: opened for appending, one write per record
// line, each line synced to the disk before it counts. A crash or power cut loses at most
// the line being written. A line that could not be written whole, or whose
// sync failed, is cut back off the file: a half record is never followed by
// a new one on the same line, and the file holds exactly the records that
// were counted (a failed sync may have left the line on the disk or not, and
// a later sync that succeeds says nothing of it, so it is taken back rather
// than counted later).
// Used by one thread at a time.
class LogTarget {
 public:
  explicit LogTarget(LogCalls& calls = systemLogCalls());
  ~LogTarget();
  LogTarget(const LogTarget&) = delete;
  LogTarget& operator=(const LogTarget&) = delete;

  // Opens `path` for appending, creating it, without ever waiting (a pipe
  // nobody reads fails at once). Returns the reason on failure;
  // the log then stays closed. Once open, the log is the file at `path`: a
  // record that finds it deleted, moved or replaced goes to the path opened
  // again, and fails with the reason while the path cannot be opened. A
  // regular file is held by this logger alone while it is open: another
  // logger's open of it fails, naming the holder where the system tells.
  std::optional<QString> open(const QString& path);
  void close();
  bool isOpen() const { return fd_ >= 0 || reopenPending_; }
  QString path() const { return path_; }

  QString lastError() const { return lastError_; }

  // Appends `line` in one write and syncs it; false (with lastError) when it
  // did not reach the disk whole. A file that does not end in a line end
  // (cut by an earlier crash, or text added by another program) gets one in
  // the same write, so the line always starts a line of its own.
  bool appendLine(const QByteArray& line);
  // Takes the line appended last back off the file, when nothing came after
  // it: it was written after all, but too late to be counted.
  void takeBackLastLine();

 private:
  std::optional<QString> openAt(const QString& path);
  // Why the open file is no longer the log at path_, if it is not.
  std::optional<QString> goneReason() const;
  void closeFile();
  bool writeAll(const QByteArray& bytes);
  bool sync();
  // Takes a line that did not reach the disk back off the file; false when
  // it is still there (the cut is tried again before the next record).
  bool cutBack(std::int64_t size);
  // Before a record: a line left by a failed cut is taken back first.
  bool retryCut();

  LogCalls& calls_;
  int fd_ = -1;
  int reader_ = -1;  // the same regular file, read-only: for its last bytes
  QString path_;
  QString lastError_;
  bool pendingLineEnd_ = false;  // a cut in a pipe or device: start a fresh line
  bool reopenPending_ = false;   // the file at path_ must be opened again
  // A line that did not reach the disk and could not be cut off yet: the
  // size to cut back to, and the size the file had with it.
  std::optional<std::pair<std::int64_t, std::int64_t>> pendingCut_;
  // The size before and after the line appended last.
  std::optional<std::pair<std::int64_t, std::int64_t>> lastLine_;
};

}  // namespace bw
