#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "trend/BadLines.h"
#include "trend/LineSplitter.h"
#include "trend/LogRecord.h"

namespace bw {

// What reading one or several log files found.
struct ReadReport {
  struct FileEnd {
    QString path;
    std::int64_t offset = 0;  // just after the last whole line
    std::int64_t nextLine = 1;
  };
  std::int64_t lines = 0;  // log lines taken
  BadLines bad;
  QStringList errors;  // files that could not be read, with the reason
  std::vector<FileEnd> ends;
  bool cancelled = false;
};

// Stamps a line must lie within to be taken, both ends included.
struct StampFilter {
  std::optional<StampSeconds> from;
  std::optional<StampSeconds> to;
  bool accepts(StampSeconds t) const { return (!from || t >= *from) && (!to || t <= *to); }
};

// Reads log files from the start, in pieces, and hands every log line in the
// filter's range to `take`. Files are read one after the other in the order
// given; a file that cannot be read is reported and the others are still
// read. A last line without its line end is a bad line, unless `holdLast`
// (the file is being followed and the rest may come).
class LogReading {
 public:
  using Take = std::function<void(const LogRecord&)>;
  // Bytes read so far of all the files, and their total size.
  using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

  LogReading(const QStringList& files, StampFilter filter) : files_(files), filter_(filter) {}
  void setHoldLast(bool hold) { holdLast_ = hold; }
  void setCancel(const std::atomic_bool* cancel) { cancel_ = cancel; }
  void setProgress(Progress progress) { progress_ = std::move(progress); }
  // Called before each file's first line; the index into the file list.
  void setFileStart(std::function<void(int)> start) { fileStart_ = std::move(start); }

  ReadReport read(const Take& take);

  // Why a file cannot be read, or empty when it can be opened.
  static QString unreadable(const QString& path);

 private:
  QStringList files_;
  StampFilter filter_;
  bool holdLast_ = false;
  const std::atomic_bool* cancel_ = nullptr;
  Progress progress_;
  std::function<void(int)> fileStart_;
};

}  // namespace bw
