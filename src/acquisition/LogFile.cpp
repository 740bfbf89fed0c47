#include "acquisition/LogFile.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "logformat/RecordLine.h"
#include "platform/Clock.h"

namespace bw {

namespace {

QString noAnswer() {
  return QStringLiteral("the disk does not answer");
}

struct RecordEnd {
  bool written;
  QString reason;
};

}  // namespace

// Shared by the log and its writer thread, which keeps it as long as it
// runs: past a close that could not wait for it, too.
struct LogFile::Writer {
  explicit Writer(LogCalls& calls) : target(calls) {}

  // Whether every record handed over has ended; under the mutex.
  bool idle() const { return waiting.empty() && !busy; }
  void run();

  LogTarget target;  // the writer thread's alone once it runs
  std::mutex mutex;
  std::condition_variable wake;    // a record to write, or the close
  std::condition_variable ended;   // a record ended
  std::deque<QByteArray> waiting;  // handed over, not begun
  bool busy = false;               // a record is being written
  std::deque<RecordEnd> ends;      // ended, not told yet
  bool closing = false;
  bool abandoned = false;      // closed before its records ended
  std::function<void()> news;  // tells the log's thread; empty once closed
  std::thread thread;
};

void LogFile::Writer::run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return closing || !waiting.empty(); });
    if (waiting.empty()) break;
    const QByteArray line = std::move(waiting.front());
    waiting.pop_front();
    busy = true;
    lock.unlock();
    const bool written = target.appendLine(line);
    const QString reason = written ? QString() : target.lastError();
    lock.lock();
    busy = false;
    if (abandoned) {
      // Told as failed when the log was closed: it must not stay in the file.
      if (written) target.takeBackLastLine();
      break;
    }
    ends.push_back({written, reason});
    ended.notify_all();
    if (news) news();
  }
  target.close();
}

LogFile::LogFile(const Clock& clock, LogCalls& calls) : clock_(clock), calls_(calls) {
  stallTimer_.setSingleShot(true);
  QObject::connect(&stallTimer_, &QTimer::timeout, &context_, [this] { stalled(); });
}

LogFile::~LogFile() {
  close();
}

void LogFile::setPatience(std::chrono::milliseconds stall, std::chrono::milliseconds close) {
  stallTime_ = stall;
  closeWait_ = close;
}

std::optional<QString> LogFile::open(const QString& path) {
  close();
  lastError_.clear();
  auto writer = std::make_shared<Writer>(calls_);
  // On this thread, so the caller hears at once why the file cannot be used.
  if (auto reason = writer->target.open(path)) return reason;
  writer->news = [this] {
    QMetaObject::invokeMethod(
        &context_, [this] { tellEnded(); }, Qt::QueuedConnection);
  };
  try {
    writer->thread = std::thread([writer] { writer->run(); });
  } catch (const std::system_error& error) {
    return QStringLiteral("no thread can be started to write it (%1)")
        .arg(QString::fromLocal8Bit(error.what()));
  }
  writer_ = std::move(writer);
  path_ = path;
  return std::nullopt;
}

void LogFile::writeRecord(const Readings& readings, int count) {
  if (!writer_) {
    tell(false, QStringLiteral("the log file is not open"));
    return;
  }
  QByteArray line = recordLine(clock_.now(), readings.data(), count);
  bool refused = false;
  {
    const std::lock_guard<std::mutex> lock(writer_->mutex);
    refused = static_cast<int>(writer_->waiting.size()) >= kMostWaiting;
    if (!refused) writer_->waiting.push_back(std::move(line));
  }
  if (refused) {
    tell(false,
         QStringLiteral("%1: %2 records wait to be written").arg(noAnswer()).arg(kMostWaiting));
    return;
  }
  writer_->wake.notify_one();
  // Measured from the last record that ended, or from this one when none waited.
  if (!stallTimer_.isActive()) stallTimer_.start(stallTime_);
}

void LogFile::tellEnded() {
  if (!writer_) return;
  std::deque<RecordEnd> ends;
  bool waiting = false;
  {
    const std::lock_guard<std::mutex> lock(writer_->mutex);
    ends.swap(writer_->ends);
    waiting = !writer_->idle();
  }
  if (!ends.empty()) {
    if (waiting) {
      stallTimer_.start(stallTime_);
    } else {
      stallTimer_.stop();
    }
  }
  for (const RecordEnd& end : ends) tell(end.written, end.reason);
}

void LogFile::tell(bool written, const QString& reason) {
  if (written) {
    lastError_.clear();
    if (listener_) listener_->recordWritten();
  } else {
    lastError_ = reason;
    if (listener_) listener_->recordFailed(reason);
  }
}

void LogFile::stalled() {
  if (!writer_) return;
  {
    const std::lock_guard<std::mutex> lock(writer_->mutex);
    if (writer_->idle()) return;
  }
  lastError_ = noAnswer();
  if (listener_) listener_->logStalled(lastError_);
}

bool LogFile::waitForRecords(std::chrono::milliseconds bound) {
  const std::shared_ptr<Writer> writer = writer_;
  if (!writer) return true;
  bool done = false;
  {
    std::unique_lock<std::mutex> lock(writer->mutex);
    done = writer->ended.wait_for(lock, bound, [&writer] { return writer->idle(); });
  }
  tellEnded();
  return done;
}

void LogFile::close() {
  if (!writer_) return;
  waitForRecords(closeWait_);
  const std::shared_ptr<Writer> writer = std::move(writer_);
  writer_.reset();
  stallTimer_.stop();
  std::deque<RecordEnd> ends;
  std::size_t abandoned = 0;
  {
    const std::lock_guard<std::mutex> lock(writer->mutex);
    writer->closing = true;
    writer->news = nullptr;
    ends.swap(writer->ends);
    if (!writer->idle()) {
      // The one being written ends on its own, and is taken back if the
      // disk takes it after all; those not begun are dropped.
      writer->abandoned = true;
      abandoned = writer->waiting.size() + (writer->busy ? 1 : 0);
      writer->waiting.clear();
    }
  }
  writer->wake.notify_all();
  if (abandoned == 0) {
    writer->thread.join();
  } else {
    writer->thread.detach();
  }
  for (const RecordEnd& end : ends) tell(end.written, end.reason);
  for (std::size_t i = 0; i < abandoned; ++i)
    tell(false, QStringLiteral("%1: the log was closed before it took the record").arg(noAnswer()));
}

}  // namespace bw
