#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "trend/LogReading.h"

namespace bw {

struct CsvResult {
  ReadReport report;
  QString writeError;  // empty when OUT was written or there was nothing to write
};

// How the rows are read: worker threads (one per core unless set) and the
// bytes of a chunk, for tests.
struct CsvReading {
  int threads = 0;
  std::int64_t chunkBytes = kDefaultChunkBytes;
};

// Writes `time,sensor1,…,sensorN` (N the most readings a taken line holds)
// and one row per log line in file order: the stamp as yyyy-MM-ddTHH:mm:ss,
// each reading's text as it stands in the log, an empty cell where a line
// holds fewer. With `columnNames` the header names the columns by them
// instead (quoted where a name holds a comma or a quote). The logs are read
// twice on several threads, both times up to the sizes they had at the
// start: once for N, at the speed of a line count, since the header needs
// it before the first row; then for the rows, parsed and formatted (lines
// appended meanwhile are left out whole). Nothing is written when no line is
// taken, and an output that is one of the logs is refused.
CsvResult writeCsv(const QStringList& logs, const QString& out, const StampFilter& filter,
                   const std::atomic_bool* cancel = nullptr, const QStringList& columnNames = {},
                   const CsvReading& how = {});

// One CSV row of `width` cells after the stamp, appended to `text`; the
// record as parseLogLine leaves it, each text before the last still in its
// line.
void appendCsvRow(const LogRecord& record, int width, std::string& text);

}  // namespace bw
