#pragma once

#include <QString>
#include <QStringList>

#include "trend/LogReading.h"

namespace bw {

struct CsvResult {
  ReadReport report;
  QString writeError;  // empty when OUT was written or there was nothing to write
};

// Writes `time,sensor1,…,sensorN` (N the most readings a taken line holds)
// and one row per log line in file order: the stamp as yyyy-MM-ddTHH:mm:ss,
// each reading's text as it stands in the log, an empty cell where a line
// holds fewer. With `columnNames` the header names the columns by them
// instead (quoted where a name holds a comma or a quote). Two passes over the logs, both up to the
// sizes they had at the start: the header needs N before the first row, and lines appended
// meanwhile are left out whole. Nothing is written when no line is taken, and
// an output that is one of the logs is refused.
CsvResult writeCsv(const QStringList& logs, const QString& out, const StampFilter& filter,
                   const std::atomic_bool* cancel = nullptr, const QStringList& columnNames = {});

}  // namespace bw
