#pragma once

#include <QString>

#include "acquisition/Readings.h"

namespace bw {

// Where a polling cycle's record goes at its end.
class RecordLog {
 public:
  virtual ~RecordLog() = default;
  // True exactly while a log file is open.
  virtual bool loggingOn() const = 0;
  // Appends one line for slots 0 to count - 1; true once it is on the disk.
  virtual bool writeRecord(const Readings& readings, int count) = 0;
  // Why the last write failed.
  virtual QString lastError() const = 0;
};

}  // namespace bw
