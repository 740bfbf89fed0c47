#pragma once

#include <QFile>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "trend/LineSplitter.h"
#include "trend/LogRecord.h"

namespace bw {

// Reads what is appended to a log file after a given offset. A file watcher
// says when it changed; a poll once a second catches what the watcher misses
// (network file systems, a file replaced under it). A last line without its
// line end is held until the rest is written.
class FileFollower : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kPoll{1000};

  using Take = std::function<void(const LogRecord&)>;

  FileFollower(const QString& path, std::int64_t offset, std::int64_t nextLine, Take take,
               QObject* parent = nullptr);
  ~FileFollower() override;

  const QString& path() const { return path_; }
  // Reads what is new now; the watcher and the poll call it too.
  void check();

 signals:
  void appended(int lines);
  void badLine(std::int64_t line, const QString& reason);
  // Truncated, or another file now stands under the name: what was read no
  // longer stands and the file must be read again from the start.
  void replaced();

 private:
  class Sink;

  bool reopen();

  QString path_;
  std::int64_t offset_;
  Take take_;
  LineSplitter splitter_;
  std::unique_ptr<Sink> sink_;
  QFile file_;
  unsigned long long device_ = 0;
  unsigned long long inode_ = 0;
  QFileSystemWatcher watcher_;
  QTimer poll_;
  bool gone_ = false;
};

}  // namespace bw
