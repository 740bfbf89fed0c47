#include "trend/LogReading.h"

#include <algorithm>
#include <limits>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "trend/ParallelLogParser.h"
#include "trend/RecordSink.h"

namespace bw {

QString cutShortReason(std::int64_t size, std::int64_t sizeWhenOpened) {
  return QStringLiteral(
             "the file was cut to %1 bytes while it was read (it had %2): the lines after "
             "that are not read")
      .arg(size)
      .arg(sizeWhenOpened);
}

namespace {

// How many logs are held open from the start: as many as the limit of open
// files leaves room for beside what the program itself opens (its output,
// the platform's files). The others are opened when they are read.
int logsOpenAtOnce() {
#ifdef _WIN32
  return std::numeric_limits<int>::max();
#else
  constexpr rlim_t kLeftForTheRest = 128;
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return std::numeric_limits<int>::max();
  return static_cast<int>(
      std::min<rlim_t>(limit.rlim_cur > kLeftForTheRest ? limit.rlim_cur - kLeftForTheRest : 0,
                       std::numeric_limits<int>::max()));
#endif
}

}  // namespace

QStringList LogReading::open(const QStringList& files, std::vector<LogInput>& inputs) {
  QStringList errors;
  inputs.clear();
  inputs.resize(static_cast<std::size_t>(files.size()));
  const int atOnce = logsOpenAtOnce();
  for (int i = 0; i < files.size(); ++i) {
    LogInput& input = inputs[static_cast<std::size_t>(i)];
    QString why = i < atOnce ? input.open(files[i]) : input.openLater(files[i]);
    if (!why.isEmpty() && input.outOfDescriptors()) why = input.openLater(files[i]);
    if (!why.isEmpty()) errors << why;
  }
  return errors;
}

namespace {

// What is looked through for a file's first log line.
constexpr std::int64_t kFirstLineBytes = 64 << 10;

class FirstStamp : public LineSplitter::Sink {
 public:
  void line(std::string_view line, std::int64_t) override {
    if (!stamp && (parseLogLine(line, record_) || parseLogLine(afterLastZero(line), record_)))
      stamp = record_.stamp;
  }
  void overlong(std::int64_t, std::int64_t, std::string_view afterZeros) override {
    if (!stamp && !afterZeros.empty() && parseLogLine(afterZeros, record_)) stamp = record_.stamp;
  }
  std::optional<StampSeconds> stamp;

 private:
  LogRecord record_;
};

}  // namespace

std::optional<StampSeconds> firstStamp(const QString& path) {
  const QByteArray start = contentStart(path, kFirstLineBytes);
  FirstStamp sink;
  LineSplitter splitter;
  splitter.feed(start.constData(), static_cast<std::size_t>(start.size()), sink);
  return sink.stamp;
}

QStringList inTimeOrder(const QStringList& files) {
  struct File {
    QString path;
    std::optional<StampSeconds> stamp;
  };
  std::vector<File> all;
  all.reserve(static_cast<std::size_t>(files.size()));
  for (const QString& path : files) all.push_back({path, firstStamp(path)});
  // Stable: files that start at the same second, or whose start cannot be
  // told, keep the order they were given in, the latter after the others.
  std::stable_sort(all.begin(), all.end(), [](const File& a, const File& b) {
    if (!a.stamp || !b.stamp) return a.stamp.has_value() && !b.stamp.has_value();
    return *a.stamp < *b.stamp;
  });
  QStringList ordered;
  for (const File& f : all) ordered << f.path;
  return ordered;
}

std::vector<LogInput>* LogReading::openInputs(std::vector<LogInput>& own, ReadReport& report) {
  if (!inputs_) {
    report.errors = open(files_, own);
    return &own;
  }
  for (const LogInput& input : *inputs_)
    if (!input.isOpen()) report.errors << input.errorText();
  return inputs_;
}

namespace {

std::int64_t totalSize(const std::vector<LogInput>& inputs) {
  std::int64_t total = 0;
  for (const LogInput& input : inputs) total += input.isOpen() ? input.size() : 0;
  return total;
}

}  // namespace

ReadReport LogReading::read(const Take& take) {
  ReadReport report;
  std::vector<LogInput> own;
  std::vector<LogInput>* inputs = openInputs(own, report);
  const std::int64_t total = totalSize(*inputs);
  std::int64_t done = 0;
  for (int index = 0; index < files_.size() && !report.cancelled; ++index) {
    LogInput& input = (*inputs)[static_cast<std::size_t>(index)];
    if (!input.isOpen()) continue;
    if (const QString why = input.acquire(); !why.isEmpty()) {
      report.errors << why;
      continue;
    }
    readFile(index, input, take, report, done, total);
    input.release();
  }
  return report;
}

void LogReading::readFile(int index, LogInput& input, const Take& take, ReadReport& report,
                          std::int64_t& done, std::int64_t total) {
  const QString& path = files_.at(index);
  if (fileStart_) fileStart_(index);
  LineSplitter splitter;
  RecordSink sink(path, filter_, take, report);
  QByteArray buffer(kReadPieceBytes, Qt::Uninitialized);
  if (input.compression() != Compression::kNone) {
    Decompressor d(input, input.compression());
    while (true) {
      if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
        report.cancelled = true;
        return;
      }
      const std::int64_t before = d.consumed();
      const std::int64_t got = d.read(buffer.data(), kReadPieceBytes);
      if (got < 0) {
        report.errors << d.error();
        return;
      }
      splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
      done += d.consumed() - before;
      if (progress_) progress_(done, std::max(done, total));
      if (d.finished()) break;
    }
    if (!d.stopReason().isEmpty())
      report.bad.addStop(path, splitter.nextLineNumber(), d.stopReason());
    endFile(index, input, d.consumed(), splitter.nextLineNumber(), splitter.heldBytes(), report);
    return;
  }
  std::int64_t offset = 0;
  while (offset < input.size()) {
    if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
      report.cancelled = true;
      return;
    }
    // A hole is zeros that were never written: passed over, not read.
    const std::int64_t data = input.dataFrom(offset, input.size());
    const std::int64_t got =
        data > offset
            ? data - offset
            : input.readAt(offset, buffer.data(), std::min(kReadPieceBytes, input.size() - offset));
    if (got < 0) {
      report.errors << input.errorText();
      return;
    }
    if (got == 0) {
      report.bad.addStop(path, splitter.nextLineNumber(), cutShortReason(offset, input.size()));
      break;
    }
    if (data > offset)
      splitter.feedZeros(got);
    else
      splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
    offset += got;
    done += got;
    if (progress_) progress_(done, std::max(done, total));
  }
  endFile(index, input, offset, splitter.nextLineNumber(), splitter.heldBytes(), report);
}

void LogReading::endFile(int index, LogInput& input, std::int64_t end, std::int64_t nextLine,
                         std::int64_t heldBytes, ReadReport& report) {
  const QString& path = files_.at(index);
  // Only the last file may still be written to, and only as it was written:
  // a compressed one is whole, or it was cut.
  const bool compressed = input.compression() != Compression::kNone;
  const bool mayGrow = holdLast_ && index == files_.size() - 1 && !compressed;
  if (heldBytes > 0 && !mayGrow)
    report.bad.add(
        path, nextLine,
        heldBytes > static_cast<std::int64_t>(kMaxLineBytes)
            ? QStringLiteral("no line end in the last %1 bytes, not a log line").arg(heldBytes)
            : QStringLiteral("last line has no line end (cut off?)"));
  const std::int64_t lineEnd = end - heldBytes;
  report.ends.push_back({path, lineEnd, nextLine,
                         compressed ? ContentSamples() : ContentSamples::of(input, lineEnd),
                         compressed});
}

ReadReport LogReading::readColumns(const TakeColumns& take) {
  return readChunks(nullptr, false, [&take](const ParsedChunk& chunk) { take(chunk.lines); });
}

ReadReport LogReading::readRows(const FormatRow& format, const TakeRows& take) {
  return readChunks(&format, false, [&take](const ParsedChunk& chunk) { take(chunk.rows); });
}

int LogReading::widestLine() {
  int widest = 0;
  const ReadReport report = readChunks(nullptr, true, [&widest](const ParsedChunk& chunk) {
    widest = std::max(widest, chunk.widest);
  });
  return report.cancelled ? 0 : widest;
}

ReadReport LogReading::readChunks(const FormatRow* format, bool widestOnly, const TakeChunk& take) {
  ReadReport report;
  std::vector<LogInput> own;
  std::vector<LogInput>* inputs = openInputs(own, report);
  const int threads =
      threads_ > 0 ? threads_ : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  readFromParser(*inputs, threads, format, widestOnly, take, report);
  // The workers are done: the files opened when read are closed again.
  for (LogInput& input : *inputs) input.release();
  return report;
}

void LogReading::readFromParser(std::vector<LogInput>& inputs, int threads, const FormatRow* format,
                                bool widestOnly, const TakeChunk& take, ReadReport& report) {
  const std::int64_t total = totalSize(inputs);
  ParallelLogParser parser(inputs, files_, filter_, threads, chunkBytes_, cancel_,
                           {format, widestOnly});
  int file = -1;
  std::int64_t before = 0;  // bytes of the files before this one
  while (ParsedChunk* chunk = parser.next()) {
    if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
      report.cancelled = true;
      break;
    }
    LogInput& input = inputs[static_cast<std::size_t>(chunk->file)];
    if (chunk->file != file) {
      // Every chunk of the file before has been taken: no worker reads it now.
      if (file >= 0) {
        inputs[static_cast<std::size_t>(file)].release();
        before += inputs[static_cast<std::size_t>(file)].size();
      }
      file = chunk->file;
      nextLine_ = 1;
      if (fileStart_) fileStart_(file);
    }
    const bool goOn = takeChunk(*chunk, input, take, report);
    if (progress_ && !chunk->empty && chunk->error.isEmpty()) {
      const std::int64_t done = before + chunk->end;
      progress_(done, std::max(done, total));
    }
    if (!goOn) parser.dropUpTo(file);
  }
}

bool LogReading::takeChunk(ParsedChunk& chunk, LogInput& input, const TakeChunk& take,
                           ReadReport& report) {
  const QString& path = files_.at(chunk.file);
  if (!chunk.error.isEmpty()) {
    report.errors << chunk.error;
    return false;
  }
  if (chunk.empty) return true;
  if (chunk.found.lines > 0 || chunk.widest > 0) take(chunk);
  report.lines += chunk.found.lines;
  report.outOfRange += chunk.found.outOfRange;
  report.bad.add(chunk.found.bad, nextLine_ - 1, chunk.found.bad.count());
  nextLine_ += chunk.lineCount;
  if (chunk.cutShort)
    report.bad.addStop(
        path, nextLine_,
        chunk.stopReason.isEmpty() ? cutShortReason(chunk.end, input.size()) : chunk.stopReason);
  if (!chunk.fileEnds) return true;
  endFile(chunk.file, input, chunk.end, nextLine_, chunk.heldBytes, report);
  return false;
}

}  // namespace bw
