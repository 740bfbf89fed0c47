#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "logformat/LogRecord.h"
#include "trend/BadLines.h"
#include "trend/LineSplitter.h"
#include "trend/LogInput.h"

namespace bw {

// What reading one or several log files found.
struct ReadReport {
  // Where a file's reading stopped, for following it on from there.
  struct FileEnd {
    QString path;
    std::int64_t offset = 0;  // just after the last whole line
    std::int64_t nextLine = 1;
    QByteArray tail;  // the bytes just before `offset`, to tell a rewrite from an append
  };
  std::int64_t lines = 0;       // log lines taken
  std::int64_t outOfRange = 0;  // log lines left out by the stamp filter
  BadLines bad;
  QStringList errors;         // files that could not be read, with the reason
  std::vector<FileEnd> ends;  // files read to their end, in order
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
// given, each up to the size it had when opened, so a log still being
// appended to is read to a line end that was there at the start. A file that
// cannot be read is reported and the others are still read; a file that
// turns out to hold no line ends (endless overlong lines) ends with a bad
// line. A last line without its line end is a bad line, unless `holdLast`
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
  // The files opened already, one per name, that are read instead of opening
  // the names again: two readings of the same inputs see the same bytes.
  void setInputs(std::vector<LogInput>* inputs) { inputs_ = inputs; }

  ReadReport read(const Take& take);

  // Opens every file; the reasons of those that cannot be read.
  static QStringList open(const QStringList& files, std::vector<LogInput>& inputs);

 private:
  void readFile(int index, LogInput& input, const Take& take, ReadReport& report,
                std::int64_t& done, std::int64_t total);

  QStringList files_;
  StampFilter filter_;
  bool holdLast_ = false;
  const std::atomic_bool* cancel_ = nullptr;
  Progress progress_;
  std::function<void(int)> fileStart_;
  std::vector<LogInput>* inputs_ = nullptr;
};

// The bad line that ends the reading of a file that never gives a line end.
QString endlessReason();

// How much of what was read, just before where reading stopped, is kept to
// recognise the file again.
inline constexpr std::int64_t kFingerprintBytes = 4096;

}  // namespace bw
