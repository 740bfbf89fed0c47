#include "trend/LogReading.h"

#include <QFile>
#include <QFileInfo>

namespace bw {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;

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
    if (!filter_.accepts(record_.stamp)) return;
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

QString LogReading::unreadable(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return QStringLiteral("%1: no such file").arg(path);
  if (info.isDir()) return QStringLiteral("%1: is a folder, not a log file").arg(path);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return QStringLiteral("%1: %2").arg(path, file.errorString());
  return {};
}

ReadReport LogReading::read(const Take& take) {
  ReadReport report;
  std::int64_t total = 0;
  for (const QString& path : files_) total += QFileInfo(path).size();
  std::int64_t done = 0;
  QByteArray buffer(kChunkBytes, Qt::Uninitialized);
  for (int index = 0; index < files_.size(); ++index) {
    const QString& path = files_[index];
    if (const QString why = unreadable(path); !why.isEmpty()) {
      report.errors << why;
      continue;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
      report.errors << QStringLiteral("%1: %2").arg(path, file.errorString());
      continue;
    }
    if (fileStart_) fileStart_(index);
    LineSplitter splitter;
    RecordSink sink(path, filter_, take, report);
    std::int64_t offset = 0;
    while (true) {
      if (cancel_ && cancel_->load(std::memory_order_relaxed)) {
        report.cancelled = true;
        return report;
      }
      const qint64 got = file.read(buffer.data(), kChunkBytes);
      if (got < 0) {
        report.errors << QStringLiteral("%1: %2").arg(path, file.errorString());
        break;
      }
      if (got == 0) break;
      splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
      offset += got;
      done += got;
      if (progress_) progress_(done, std::max(done, total));
    }
    if (splitter.holding() && !holdLast_)
      report.bad.add(path, splitter.nextLineNumber(),
                     QStringLiteral("last line has no line end (cut off?)"));
    report.ends.push_back({path, offset - static_cast<std::int64_t>(splitter.heldBytes()),
                           splitter.nextLineNumber()});
  }
  return report;
}

}  // namespace bw
