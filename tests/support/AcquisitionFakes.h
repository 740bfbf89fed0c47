#pragma once

#include <QList>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/LogTarget.h"
#include "acquisition/RecordLog.h"
#include "platform/web/HttpClient.h"

// Stand-ins for what the polling loop works with: the HTTP client, the
// display and the log, and the system calls under the log file.

namespace bw::test {

// Answers each GET from a function on the next turn of the event loop, or
// never while `hangs`, and keeps the URLs asked for.
class FakeHttpClient final : public HttpClient {
 public:
  using Answerer = std::function<HttpAnswer(const QByteArray& url)>;
  explicit FakeHttpClient(Answerer answerer) : answerer_(std::move(answerer)) {}

  void get(const QByteArray& url) override {
    urls.append(url);
    busy_ = true;
    if (hangs) return;
    const int generation = ++generation_;
    QTimer::singleShot(0, this, [this, url, generation] {
      if (generation != generation_ || !busy_) return;
      busy_ = false;
      emit finished(answerer_(url));
    });
  }
  void abort() override { busy_ = false; }
  bool busy() const override { return busy_; }

  QList<QByteArray> urls;
  bool hangs = false;

 private:
  Answerer answerer_;
  bool busy_ = false;
  int generation_ = 0;
};

inline HttpAnswer page(const QByteArray& value) {
  HttpAnswer answer;
  answer.answered = true;
  answer.status = 200;
  answer.body =
      "<html><body><form><input id=Temperature_0 value=\"" + value + "\"></form></body></html>";
  return answer;
}

// Keeps what the loop showed; `onRecord` and `onFailure` hear of each record
// and failed write as it comes.
struct RecordingDisplay final : AcquisitionDisplay {
  void showAddress(const QString& url) override { addresses.append(url); }
  void showWindow() override { ++shows; }
  void showReading(int number, float value) override { readings.append({number, value}); }
  void showRecordNumber(int number) override {
    recordNumbers.append(number);
    if (onRecord) onRecord(number);
  }
  void showLoggingFailure(const QString& reason) override {
    failures.append(reason);
    if (onFailure) onFailure(reason);
  }
  QStringList addresses;
  int shows = 0;
  QList<std::pair<int, float>> readings;
  QList<int> recordNumbers;
  QStringList failures;
  std::function<void(int)> onRecord;
  std::function<void(const QString&)> onFailure;
};

// Takes every record as written at once, or as refused while `succeed` is
// false, and keeps the readings and their count of each.
struct RecordingLog final : RecordLog {
  bool loggingOn() const override { return on; }
  void writeRecord(const Readings& readings, int count) override {
    counts.append(count);
    records.append(readings);
    if (!listener) return;
    if (succeed) {
      listener->recordWritten();
    } else {
      listener->recordFailed(lastError());
    }
  }
  void setListener(RecordListener* heard) override { listener = heard; }
  QString lastError() const override { return QStringLiteral("disk full"); }
  bool on = true;
  bool succeed = true;
  QList<int> counts;
  QList<Readings> records;
  RecordListener* listener = nullptr;
};

// Keeps what a log told of its records, as "written", "failed: REASON" and
// "stalled: REASON".
struct RecordingListener final : RecordListener {
  void recordWritten() override { heard.append(QStringLiteral("written")); }
  void recordFailed(const QString& reason) override {
    heard.append(QStringLiteral("failed: ") + reason);
  }
  void logStalled(const QString& reason) override {
    heard.append(QStringLiteral("stalled: ") + reason);
  }
  QStringList heard;
};

// The log file's system calls, with faults: the next `failingSyncs` syncs
// and `failingTruncates` truncates fail with EIO; while syncs are held
// (hold()), each sync waits until release(), as on a disk that does not
// answer, and 20 s at most. Everything else goes to the system. Counts
// the syncs asked for and those waiting.
class FaultyLogCalls final : public LogCalls {
 public:
  ~FaultyLogCalls() override {
    release();
    // A writer thread let go by its log may still be in a sync.
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait_for(lock, std::chrono::seconds(60), [this] { return held == 0; });
  }
  void hold() {
    const std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
  }
  void release() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      holding_ = false;
    }
    released_.notify_all();
  }
  int sync(int fd) override {
    ++syncs;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (holding_) {
        ++held;
        released_.wait_for(lock, std::chrono::seconds(20), [this] { return !holding_; });
        --held;
        released_.notify_all();
      }
    }
    if (failingSyncs > 0) {
      --failingSyncs;
      errno = EIO;
      return -1;
    }
    return LogCalls::sync(fd);
  }
  int truncate(int fd, std::int64_t size) override {
    if (failingTruncates > 0) {
      --failingTruncates;
      errno = EIO;
      return -1;
    }
    return LogCalls::truncate(fd, size);
  }
  std::atomic<int> failingSyncs{0};
  std::atomic<int> failingTruncates{0};
  std::atomic<int> syncs{0};
  std::atomic<int> held{0};

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool holding_ = false;
};

}  // namespace bw::test
