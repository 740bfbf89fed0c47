#include "trend/CsvExport.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "trend/ExportTarget.h"

namespace bw {

namespace {

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

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::size_t kDateBytes = 11;  // yyyy-MM-ddT
constexpr std::size_t kStampBytes = 19;

// The stamp, its date taken from the row before where the day is the same:
// a log holds thousands of lines a day, and working out the date is most
// of a stamp's cost. Each thread keeps its own.
void writeStamp(StampSeconds stamp, char* out) {
  thread_local StampSeconds cachedDay = std::numeric_limits<StampSeconds>::min();
  thread_local std::array<char, kStampBytes> cached{};
  StampSeconds day = stamp / kSecondsPerDay;
  StampSeconds rest = stamp % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --day;
  }
  if (day != cachedDay) {
    writeCsvStamp(stamp, cached.data());
    cachedDay = day;
    std::memcpy(out, cached.data(), kStampBytes);
    return;
  }
  std::memcpy(out, cached.data(), kDateBytes);
  const auto two = [](char* at, StampSeconds value) {
    at[0] = static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
  };
  two(out + 11, rest / 3600);
  out[13] = ':';
  two(out + 14, rest / 60 % 60);
  out[16] = ':';
  two(out + 17, rest % 60);
}

// A reading's text, mostly two to eight bytes: copied in two overlapping
// words rather than by a call for each of a year's forty million.
void copyCell(std::string_view cell, char* out) {
  const std::size_t n = cell.size();
  if (n >= 4 && n <= 8) {
    std::memcpy(out, cell.data(), 4);
    std::memcpy(out + n - 4, cell.data() + n - 4, 4);
  } else if (n < 4) {
    for (std::size_t i = 0; i < n; ++i) out[i] = cell[i];
  } else {
    std::memcpy(out, cell.data(), n);
  }
}

}  // namespace

// The row is sized first and its bytes put in place: appended cell by cell,
// a year's forty million cells cost more than their parsing.
void appendCsvRow(const LogRecord& record, int width, std::string& text) {
  const int cells = std::min(width, record.count);
  std::size_t bytes = kStampBytes + static_cast<std::size_t>(std::max(width, 0)) + 1;
  for (int s = 0; s < cells; ++s) bytes += record.texts[static_cast<std::size_t>(s)].size();
  const std::size_t at = text.size();
  text.resize(at + bytes + 8);  // a word of room after the row, for the cells' words
  char* out = text.data() + at;
  writeStamp(record.stamp, out);
  out += kStampBytes;
  for (int s = 0; s < cells; ++s) {
    const std::string_view cell = record.texts[static_cast<std::size_t>(s)];
    *out++ = ',';
    // A text before the line's last is followed in its line by the padding,
    // the separator and the next reading: its first word can be read whole,
    // and copied without a branch on its length.
    if (cell.size() <= 8 && s + 1 < record.count)
      std::memcpy(out, cell.data(), 8);
    else
      copyCell(cell, out);
    out += cell.size();
  }
  for (int s = cells; s < width; ++s) *out++ = ',';
  *out = '\n';
  text.resize(at + bytes);
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

  // The header needs N before the first row: the logs are read twice.
  LogReading reading(logs, filter);
  reading.setInputs(&inputs);
  reading.setCancel(cancel);
  reading.setThreads(how.threads);
  reading.setChunkBytes(how.chunkBytes);
  const int width = reading.widestLine();
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
