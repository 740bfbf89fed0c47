#include "trend/CsvExport.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <string>

namespace bw {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;
constexpr std::size_t kFlushBytes = 1 << 20;

// The widest line in range; only a line with more commas than the widest so
// far is taken apart, so this pass runs at the speed of a line count.
class WidthSink : public LineSplitter::Sink {
 public:
  explicit WidthSink(const StampFilter& filter) : filter_(filter) {}
  void line(std::string_view line, std::int64_t) override {
    const auto commas = static_cast<int>(std::count(line.begin(), line.end(), ','));
    if (commas <= width || !parseLogLine(line, record_) || !filter_.accepts(record_.stamp)) return;
    width = record_.count;
  }
  void overlong(std::int64_t) override {}
  int width = 0;

 private:
  const StampFilter& filter_;
  LogRecord record_;
};

int widestLine(const QStringList& logs, const StampFilter& filter, const std::atomic_bool* cancel) {
  WidthSink sink(filter);
  QByteArray buffer(kChunkBytes, Qt::Uninitialized);
  for (const QString& path : logs) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) continue;
    LineSplitter splitter;
    qint64 got = 0;
    while ((got = file.read(buffer.data(), kChunkBytes)) > 0) {
      if (cancel && cancel->load(std::memory_order_relaxed)) return 0;
      splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
    }
  }
  return sink.width;
}

}  // namespace

CsvResult writeCsv(const QStringList& logs, const QString& out, const StampFilter& filter,
                   const std::atomic_bool* cancel) {
  CsvResult result;
  for (const QString& path : logs)
    if (const QString why = LogReading::unreadable(path); !why.isEmpty())
      result.report.errors << why;
  if (!result.report.errors.isEmpty()) return result;

  const int width = widestLine(logs, filter, cancel);
  QSaveFile file(out);
  const bool writing = width > 0;
  if (writing && !file.open(QIODevice::WriteOnly)) {
    result.writeError = QStringLiteral("%1: %2").arg(out, file.errorString());
    return result;
  }
  std::string text;
  text.reserve(kFlushBytes + 4096);
  text += "time";
  for (int s = 1; s <= width; ++s) text += ",sensor" + std::to_string(s);
  text += '\n';
  bool failed = false;
  const auto flush = [&] {
    if (!failed && file.write(text.data(), static_cast<qint64>(text.size())) < 0) failed = true;
    text.clear();
  };

  LogReading reading(logs, filter);
  reading.setCancel(cancel);
  result.report = reading.read([&](const LogRecord& record) {
    const std::size_t at = text.size();
    text.resize(at + 19);
    writeCsvStamp(record.stamp, text.data() + at);
    for (int s = 0; s < width; ++s) {
      text += ',';
      if (s < record.count) text += record.texts[static_cast<std::size_t>(s)];
    }
    text += '\n';
    if (text.size() >= kFlushBytes) flush();
  });
  if (!writing || result.report.lines == 0 || result.report.cancelled) return result;
  flush();
  if (failed || !file.commit())
    result.writeError = QStringLiteral("%1: %2").arg(out, file.errorString());
  return result;
}

}  // namespace bw
