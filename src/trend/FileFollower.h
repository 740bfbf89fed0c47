#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "trend/LogInput.h"
#include "trend/LogReading.h"

namespace bw {

// Reads what is appended to a log file after where a reading ended. A file
// watcher says when it changed; a poll once a second catches what the watcher
// misses (network file systems, a file replaced under it). A last line
// without its line end is read again until the rest is written. A file
// rewritten in place (the same file, as large or larger, `cp backup.log LOG`)
// is read again from the start rather than taken for an append: whenever
// the file's size or change times moved, blocks sampled across what was
// read (ContentSamples) must still hold what they held. A file whose size
// and times stand still costs one fstat a check.
class FileFollower : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kPoll{1000};

  using Take = std::function<void(const LogRecord&)>;

  FileFollower(const ReadReport::FileEnd& end, Take take, QObject* parent = nullptr);
  ~FileFollower() override;

  const QString& path() const { return path_; }
  // Reads what is new now; the watcher and the poll call it too.
  void check();

 signals:
  void appended(int lines);
  void badLine(std::int64_t line, const QString& reason);
  // Truncated, rewritten, or another file now stands under the name: what
  // was read no longer stands and the file must be read again from the start.
  void replaced();

 private:
  class Sink;

  enum class Look { kReplaced, kGone, kUnchanged, kChanged };
  // Whether the file at the path is still the one read, and whether it was
  // written since the last look.
  Look look();
  void stop();

  QString path_;
  std::int64_t offset_;  // just after the last whole line read
  std::int64_t nextLine_;
  ContentSamples samples_;         // of [0, offset_)
  std::optional<FileStamp> seen_;  // the stamp the file had when it last held the samples
  bool settled_ = false;           // the times of seen_ lie far enough back to trust them unchanged
  Take take_;
  LogInput input_;
  QFileSystemWatcher watcher_;
  QTimer poll_;
  bool gone_ = false;
};

}  // namespace bw
