#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>

#include "acquisition/LogTarget.h"
#include "acquisition/RecordLog.h"

namespace bw {

class Clock;

// The log: records are stamped when they are handed over and written, each
// in one write and synced, by a writer thread of the log's own, one after
// another in their order, so a slow or hung disk never holds the thread that
// polls. A record counts (the listener hears recordWritten) only once it is
// on the disk; one that failed is not in the file (see LogTarget).
class LogFile final : public RecordLog {
 public:
  // The disk is taken as not answering once no record has ended for this
  // long while records wait.
  static constexpr std::chrono::milliseconds kStallTime{5000};
  // Closing waits this long at most for the records still on their way.
  static constexpr std::chrono::milliseconds kCloseWait{10000};
  // Records waiting beyond this many are refused: a disk that does not
  // answer for hours does not fill the memory.
  static constexpr int kMostWaiting = 10000;

  explicit LogFile(const Clock& clock, LogCalls& calls = systemLogCalls());
  ~LogFile() override;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Opens `path` for appending, creating it, without ever waiting (a pipe
  // nobody reads fails at once); returns the reason on failure, the log then
  // stays closed. Once open, the log is the file at `path`: a record that
  // finds it deleted, moved or replaced goes to the path opened again, and
  // fails with the reason while the path cannot be opened.
  std::optional<QString> open(const QString& path);
  // Waits for the records still on their way (kCloseWait at most, and the
  // listener hears of each), then closes. A record the disk has not taken by
  // then is told as failed, and taken back off the file should the disk take
  // it later, so the file and the count still agree.
  void close();
  bool isOpen() const { return writer_ != nullptr; }
  QString path() const { return path_; }

  bool loggingOn() const override { return isOpen(); }
  void writeRecord(const Readings& readings, int count) override;
  void setListener(RecordListener* listener) override { listener_ = listener; }
  QString lastError() const override { return lastError_; }

  // Waits up to `bound` until every record handed over has ended and tells
  // the listener of them; false when some are still on their way.
  bool waitForRecords(std::chrono::milliseconds bound);
  // For tests: shorter times than kStallTime and kCloseWait.
  void setPatience(std::chrono::milliseconds stall, std::chrono::milliseconds close);

 private:
  struct Writer;
  // Tells the listener of the records that have ended.
  void tellEnded();
  void tell(bool written, const QString& reason);
  void stalled();

  const Clock& clock_;
  LogCalls& calls_;
  std::shared_ptr<Writer> writer_;
  QString path_;
  QString lastError_;
  RecordListener* listener_ = nullptr;
  std::chrono::milliseconds stallTime_ = kStallTime;
  std::chrono::milliseconds closeWait_ = kCloseWait;
  // Lives on the thread that made the log: the writer's news is posted to
  // it, and the stall timer runs on it.
  QObject context_;
  QTimer stallTimer_;
};

}  // namespace bw
