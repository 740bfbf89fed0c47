#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "acquisition/RecordLog.h"

namespace bw {

class Clock;

// The log file: opened for appending, one write per record line, each line
// synced to the disk before it counts. A crash or power cut loses at most
// the line being written, and a line that could not be written whole is cut
// back, so a half record is never followed by a new one on the same line.
class LogFile final : public RecordLog {
 public:
  explicit LogFile(const Clock& clock);
  ~LogFile() override;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Opens `path` for appending, creating it, without ever waiting (a pipe
  // nobody reads fails at once). Returns the reason on failure;
  // the log then stays closed. Once open, the log is the file at `path`: a
  // record that finds it deleted, moved or replaced fails with the reason,
  // and the path is opened again for the next one.
  std::optional<QString> open(const QString& path);
  void close();
  bool isOpen() const { return fd_ >= 0 || reopenPending_; }
  QString path() const { return path_; }

  bool loggingOn() const override { return isOpen(); }
  bool writeRecord(const Readings& readings, int count) override;
  QString lastError() const override { return lastError_; }

  // Appends `line` in one write and syncs it; false (with lastError) when it
  // did not reach the disk whole. A file that does not end in a line end
  // (cut by an earlier crash, or text added by another program) gets one in
  // the same write, so the line always starts a line of its own.
  bool appendLine(const QByteArray& line);

 private:
  std::optional<QString> openAt(const QString& path);
  // Why the open file is no longer the log at path_, if it is not.
  std::optional<QString> goneReason() const;
  void closeFile();
  bool writeAll(const QByteArray& bytes);
  bool sync();

  const Clock& clock_;
  int fd_ = -1;
  int reader_ = -1;  // the same regular file, read-only: for its last bytes
  QString path_;
  QString lastError_;
  bool pendingLineEnd_ = false;  // a cut in a pipe or device: start a fresh line
  bool reopenPending_ = false;   // the file at path_ must be opened again
};

}  // namespace bw
