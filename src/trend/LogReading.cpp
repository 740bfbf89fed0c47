#include "trend/LogReading.h"

#include <thread>

#include "trend/ParallelLogParser.h"
#include "trend/RecordSink.h"

namespace bw {

QString endlessReason() {
  return QStringLiteral("no line end in %1 bytes, again and again: not a log; the rest is not read")
      .arg(kMaxLineBytes);
}

QStringList LogReading::open(const QStringList& files, std::vector<LogInput>& inputs) {
  QStringList errors;
  inputs.clear();
  inputs.resize(static_cast<std::size_t>(files.size()));
  for (int i = 0; i < files.size(); ++i)
    if (const QString why = inputs[static_cast<std::size_t>(i)].open(files[i]); !why.isEmpty())
      errors << why;
  return errors;
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
    if (input.isOpen()) readFile(index, input, take, report, done, total);
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
  std::int64_t offset = 0;
  while (offset < input.size()) {
    if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
      report.cancelled = true;
      return;
    }
    const std::int64_t got =
        input.readAt(offset, buffer.data(), std::min(kReadPieceBytes, input.size() - offset));
    if (got < 0) {
      report.errors << input.errorText();
      return;
    }
    if (got == 0) break;  // cut shorter since it was opened
    splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
    offset += got;
    done += got;
    if (progress_) progress_(done, std::max(done, total));
    if (splitter.endless()) {
      report.bad.add(path, splitter.nextLineNumber(), endlessReason());
      return;
    }
  }
  endFile(index, input, offset, splitter.nextLineNumber(), splitter.heldBytes(), report);
}

void LogReading::endFile(int index, LogInput& input, std::int64_t end, std::int64_t nextLine,
                         std::size_t heldBytes, ReadReport& report) {
  const QString& path = files_.at(index);
  if (heldBytes > 0 && !holdLast_)
    report.bad.add(path, nextLine, QStringLiteral("last line has no line end (cut off?)"));
  const std::int64_t lineEnd = end - static_cast<std::int64_t>(heldBytes);
  report.ends.push_back({path, lineEnd, nextLine,
                         input.bytes(lineEnd - std::min(lineEnd, kFingerprintBytes), lineEnd)});
}

ReadReport LogReading::readColumns(const TakeColumns& take) {
  ReadReport report;
  std::vector<LogInput> own;
  std::vector<LogInput>* inputs = openInputs(own, report);
  const std::int64_t total = totalSize(*inputs);
  const int threads =
      threads_ > 0 ? threads_ : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  ParallelLogParser parser(*inputs, files_, filter_, threads, chunkBytes_, cancel_);
  int file = -1;
  std::int64_t before = 0;  // bytes of the files before this one
  while (ParsedChunk* chunk = parser.next()) {
    if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
      report.cancelled = true;
      break;
    }
    LogInput& input = (*inputs)[static_cast<std::size_t>(chunk->file)];
    if (chunk->file != file) {
      if (file >= 0) before += (*inputs)[static_cast<std::size_t>(file)].size();
      file = chunk->file;
      overlongRun_ = 0;
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
  return report;
}

bool LogReading::takeChunk(ParsedChunk& chunk, LogInput& input, const TakeColumns& take,
                           ReadReport& report) {
  const QString& path = files_.at(chunk.file);
  if (!chunk.error.isEmpty()) {
    report.errors << chunk.error;
    return false;
  }
  if (chunk.empty) return true;
  // Where a reading in pieces would have given the file up, what came
  // before in the chunk is taken and no more.
  for (const ParsedChunk::Check& check : chunk.checks) {
    if ((check.sawShortLine ? check.run : overlongRun_ + check.run) <=
        LineSplitter::kMostOverlongBytes)
      continue;
    chunk.lines.truncate(check.taken);
    if (chunk.lines.size() > 0) take(chunk.lines);
    report.lines += static_cast<std::int64_t>(check.taken);
    report.outOfRange += check.outOfRange;
    report.bad.add(chunk.found.bad, nextLine_ - 1, check.bad);
    report.bad.add(path, nextLine_ - 1 + check.nextLine, endlessReason());
    return false;
  }
  if (chunk.lines.size() > 0) take(chunk.lines);
  report.lines += chunk.found.lines;
  report.outOfRange += chunk.found.outOfRange;
  report.bad.add(chunk.found.bad, nextLine_ - 1, chunk.found.bad.count());
  overlongRun_ = chunk.sawShortLine ? chunk.run : overlongRun_ + chunk.run;
  nextLine_ += chunk.lineCount;
  if (!chunk.fileEnds) return true;
  endFile(chunk.file, input, chunk.end, nextLine_, chunk.heldBytes, report);
  return false;
}

}  // namespace bw
