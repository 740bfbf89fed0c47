#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logformat/LogRecord.h"
#include "trend/BadLines.h"
#include "trend/ContentSamples.h"
#include "trend/LineColumns.h"
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
    ContentSamples samples;   // of [0, offset), to tell a rewrite from an append
    bool compressed = false;  // a rotated log, never followed
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

// A file is read in pieces of this size.
inline constexpr std::int64_t kReadPieceBytes = 1 << 20;
// What a worker thread takes apart at a time: large enough that handing
// chunks over costs next to nothing, small enough that a few per thread
// are little memory.
inline constexpr std::int64_t kDefaultChunkBytes = 4 << 20;

struct ParsedChunk;

// Reads log files from the start, in pieces, and hands every log line in the
// filter's range to `take`. Files are read one after the other in the order
// given, each up to the size it had when opened, so a log still being
// appended to is read to a line end that was there at the start. A file that
// cannot be read is reported and the others are still read. However long a
// stretch without a line end (overlong lines, a hole of zeros, which is
// passed over without reading it), it is one bad line and the reading goes
// on after it; a file cut shorter while it is read is the one place a
// reading stops before the end, and says so (BadLines::addStop). A last
// line without its line end is a bad line, unless `holdLast` and it is the
// last file's, uncompressed (the live log is followed and the rest may
// come). A compressed file (gzip, xz, zstd, told by its first bytes) is
// read as its content, decompressed a piece at a time; one cut short or
// corrupt is read up to there and stops as a cut file does.
class LogReading {
 public:
  using Take = std::function<void(const LogRecord&)>;
  using TakeColumns = std::function<void(const LineColumns&)>;
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
  // The same, with the lines parsed on several threads and handed over a
  // chunk at a time, in file order, as columns: what is left out of them
  // (the readings' texts) is never copied.
  ReadReport readColumns(const TakeColumns& take);
  // Formats a log line as text from its stamp and its readings' texts (its
  // values are not read for it); called on several threads at once.
  using FormatRow = std::function<void(const LogRecord&, std::string&)>;
  using TakeRows = std::function<void(const std::string&)>;
  // The same again, with each line in range formatted by `format` on the
  // worker threads and handed over as the text of a chunk at a time, in
  // file order.
  ReadReport readRows(const FormatRow& format, const TakeRows& take);
  // The most readings a line in range holds, found on the same threads at
  // the speed of a line count (only a line with more commas than the widest
  // so far is taken apart); 0 when cancelled. What the files hold besides is
  // left to a reading of their lines to report.
  int widestLine();
  // Worker threads for readColumns and readRows, one per core unless set;
  // and the bytes of a chunk, for tests.
  void setThreads(int threads) { threads_ = threads; }
  void setChunkBytes(std::int64_t bytes) { chunkBytes_ = bytes; }

  // Opens every file; the reasons of those that cannot be read.
  static QStringList open(const QStringList& files, std::vector<LogInput>& inputs);

 private:
  std::vector<LogInput>* openInputs(std::vector<LogInput>& own, ReadReport& report);
  void readFile(int index, LogInput& input, const Take& take, ReadReport& report,
                std::int64_t& done, std::int64_t total);
  // Takes one parsed chunk into the report and hands its lines over; false
  // when the rest of its file is not to be read.
  using TakeChunk = std::function<void(const ParsedChunk&)>;
  // Without a format the chunks hold their lines, or with widestOnly only
  // their widest line's width.
  ReadReport readChunks(const FormatRow* format, bool widestOnly, const TakeChunk& take);
  void readFromParser(std::vector<LogInput>& inputs, int threads, const FormatRow* format,
                      bool widestOnly, const TakeChunk& take, ReadReport& report);
  bool takeChunk(ParsedChunk& chunk, LogInput& input, const TakeChunk& take, ReadReport& report);
  void endFile(int index, LogInput& input, std::int64_t end, std::int64_t nextLine,
               std::int64_t heldBytes, ReadReport& report);

  const QStringList files_;  // const: worker threads read it, and a detach would move it
  StampFilter filter_;
  bool holdLast_ = false;
  const std::atomic_bool* cancel_ = nullptr;
  Progress progress_;
  std::function<void(int)> fileStart_;
  std::vector<LogInput>* inputs_ = nullptr;
  int threads_ = 0;
  std::int64_t chunkBytes_ = kDefaultChunkBytes;
  std::int64_t nextLine_ = 1;  // of the file being taken from chunks
};

// The stamp of a log's first line (within its first 64 KiB, decompressed);
// none when it holds none there or cannot be read.
std::optional<StampSeconds> firstStamp(const QString& path);
// The files ordered by the stamps of their first lines, as a rotated log
// and its predecessors are read as one series whatever their names
// (brine.log.10 sorts before brine.log.2). Files that overlap are not
// merged: each is read whole after the one that starts before it, and the
// chart shows the overlap as a clock set back.
QStringList inTimeOrder(const QStringList& files);

// The stop of a file that was cut to `size` bytes while it was read.
QString cutShortReason(std::int64_t size, std::int64_t sizeWhenOpened);

}  // namespace bw
