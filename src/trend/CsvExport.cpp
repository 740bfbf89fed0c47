#include "trend/CsvExport.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "trend/ExportTarget.h"

namespace bw {

namespace {

constexpr std::int64_t kChunkBytes = 1 << 20;

// The widest line in range; only a line with more commas than the widest so
// far is taken apart, so this pass runs at the speed of a line count. It
// takes what the reading takes: a log line after zero bytes too.
class WidthSink : public LineSplitter::Sink {
 public:
  explicit WidthSink(const StampFilter& filter) : filter_(filter) {}
  void line(std::string_view line, std::int64_t) override {
    const auto commas = static_cast<int>(std::count(line.begin(), line.end(), ','));
    if (commas <= width) return;
    if (!widen(line)) widen(afterLastZero(line));
  }
  void overlong(std::int64_t, std::int64_t, std::string_view afterZeros) override {
    if (!afterZeros.empty()) widen(afterZeros);
  }
  int width = 0;

 private:
  bool widen(std::string_view line) {
    if (!parseLogLine(line, record_)) return false;
    if (filter_.accepts(record_.stamp)) width = std::max(width, record_.count);
    return true;
  }
  const StampFilter& filter_;
  LogRecord record_;
};

int widestLine(std::vector<LogInput>& inputs, const StampFilter& filter,
               const std::atomic_bool* cancel) {
  WidthSink sink(filter);
  QByteArray buffer(kChunkBytes, Qt::Uninitialized);
  for (LogInput& input : inputs) {
    if (!input.acquire().isEmpty()) continue;  // the reading of the rows says why
    LineSplitter splitter;
    if (input.compression() != Compression::kNone) {
      Decompressor d(input, input.compression());
      while (!d.finished()) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
          input.release();
          return 0;
        }
        const std::int64_t got = d.read(buffer.data(), kChunkBytes);
        if (got < 0) break;
        splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
      }
      input.release();
      continue;
    }
    for (std::int64_t offset = 0; offset < input.size();) {
      if (cancel && cancel->load(std::memory_order_relaxed)) {
        input.release();
        return 0;
      }
      const std::int64_t data = input.dataFrom(offset, input.size());
      if (data > offset) {
        splitter.feedZeros(data - offset);
        offset = data;
        continue;
      }
      const std::int64_t got =
          input.readAt(offset, buffer.data(), std::min(kChunkBytes, input.size() - offset));
      if (got <= 0) break;
      splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
      offset += got;
    }
    input.release();
  }
  return sink.width;
}

// A header cell: quoted, with its quotes doubled, where it holds a comma, a
// quote or a line end. A name that a spreadsheet would take for a formula (it starts with
// =, +, -, @, a tab or a CR) is quoted with a ' before it, which spreadsheets
// read as "text follows" and do not show.
std::string csvCell(const QString& text) {
  const std::string cell = text.toStdString();
  const bool formula =
      !cell.empty() && cell.front() != '\0' && std::strchr("=+-@\t\r", cell.front()) != nullptr;
  if (!formula && cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = formula ? "\"'" : "\"";
  for (char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

}  // namespace

void appendCsvRow(const LogRecord& record, int width, std::string& text) {
  const std::size_t at = text.size();
  text.resize(at + 19);
  writeCsvStamp(record.stamp, text.data() + at);
  for (int s = 0; s < width; ++s) {
    text += ',';
    if (s < record.count) text += record.texts[static_cast<std::size_t>(s)];
  }
  text += '\n';
}

CsvResult writeCsv(const QStringList& logs, const QString& out, const StampFilter& filter,
                   const std::atomic_bool* cancel, const QStringList& columnNames,
                   const CsvReading& how) {
  CsvResult result;
  std::vector<LogInput> inputs;
  result.report.errors = LogReading::open(logs, inputs);
  if (!result.report.errors.isEmpty()) return result;
  if (const QString clash = ExportTarget::clash(out, logs); !clash.isEmpty()) {
    result.writeError = clash;
    return result;
  }
  ExportTarget target(out);
  if (!target.open()) {
    result.writeError = target.errorString();
    return result;
  }

  const int width = widestLine(inputs, filter, cancel);
  std::string header = "time";
  for (int s = 1; s <= width; ++s)
    header += ',' + (s <= columnNames.size() ? csvCell(columnNames[s - 1])
                                             : "sensor" + std::to_string(s));
  header += '\n';
  bool failed = false;
  const auto write = [&](const std::string& text) {
    if (!failed && !target.write(text.data(), static_cast<qint64>(text.size()))) failed = true;
  };

  // The rows are formatted on the reading's threads, a chunk at a time.
  LogReading reading(logs, filter);
  reading.setInputs(&inputs);
  reading.setCancel(cancel);
  reading.setThreads(how.threads);
  reading.setChunkBytes(how.chunkBytes);
  const LogReading::FormatRow format = [width](const LogRecord& record, std::string& text) {
    appendCsvRow(record, width, text);
  };
  bool started = false;  // a pipe gets nothing, not even the header, when no line is taken
  result.report = reading.readRows(format, [&](const std::string& rows) {
    if (!std::exchange(started, true)) write(header);
    write(rows);
  });
  if (width == 0 || result.report.lines == 0 || result.report.cancelled) return result;
  if (failed || !target.commit()) result.writeError = target.errorString();
  return result;
}

}  // namespace bw
