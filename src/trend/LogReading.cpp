#include "trend/LogReading.h"

namespace bw {

namespace {

constexpr std::int64_t kChunkBytes = 1 << 20;

class RecordSink : public LineSplitter::Sink {
 public:
  RecordSink(const QString& file, const StampFilter& filter, const LogReading::Take& take,
             ReadReport& report)
      : file_(file), filter_(filter), take_(take), report_(report) {}

  void line(std::string_view line, std::int64_t number) override {
    if (!parseLogLine(line, record_)) {
      report_.bad.add(
          file_, number,
          line.empty() ? QStringLiteral("empty line") : QStringLiteral("not a log line"));
      return;
    }
    if (!filter_.accepts(record_.stamp)) {
      ++report_.outOfRange;
      return;
    }
    ++report_.lines;
    take_(record_);
  }
  void overlong(std::int64_t number) override {
    report_.bad.add(file_, number,
                    QStringLiteral("longer than %1 bytes, not a log line").arg(kMaxLineBytes));
  }

 private:
  const QString& file_;
  const StampFilter& filter_;
  const LogReading::Take& take_;
  ReadReport& report_;
  LogRecord record_;
};

}  // namespace

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

ReadReport LogReading::read(const Take& take) {
  ReadReport report;
  std::vector<LogInput> own;
  std::vector<LogInput>* inputs = inputs_;
  if (!inputs) {
    report.errors = open(files_, own);
    inputs = &own;
  } else {
    for (const LogInput& input : *inputs)
      if (!input.isOpen()) report.errors << input.errorText();
  }
  std::int64_t total = 0;
  for (const LogInput& input : *inputs) total += input.isOpen() ? input.size() : 0;
  std::int64_t done = 0;
  for (int index = 0; index < files_.size() && !report.cancelled; ++index) {
    LogInput& input = (*inputs)[static_cast<std::size_t>(index)];
    if (input.isOpen()) readFile(index, input, take, report, done, total);
  }
  return report;
}

void LogReading::readFile(int index, LogInput& input, const Take& take, ReadReport& report,
                          std::int64_t& done, std::int64_t total) {
  const QString& path = files_[index];
  if (fileStart_) fileStart_(index);
  LineSplitter splitter;
  RecordSink sink(path, filter_, take, report);
  QByteArray buffer(kChunkBytes, Qt::Uninitialized);
  std::int64_t offset = 0;
  while (offset < input.size()) {
    if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
      report.cancelled = true;
      return;
    }
    const std::int64_t got =
        input.readAt(offset, buffer.data(), std::min(kChunkBytes, input.size() - offset));
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
  if (splitter.holding() && !holdLast_)
    report.bad.add(path, splitter.nextLineNumber(),
                   QStringLiteral("last line has no line end (cut off?)"));
  const std::int64_t end = offset - static_cast<std::int64_t>(splitter.heldBytes());
  report.ends.push_back({path, end, splitter.nextLineNumber(),
                         input.bytes(end - std::min(end, kFingerprintBytes), end)});
}

}  // namespace bw
