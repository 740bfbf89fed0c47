#pragma once

#include <QString>

#include "acquisition/Readings.h"

namespace bw {

// Hears what became of the records handed to a log: on the thread that
// handed them, in the order they were handed.
class RecordListener {
 public:
  virtual ~RecordListener() = default;
  // The record is on the disk.
  virtual void recordWritten() = 0;
  // The record is not in the log, for `reason`.
  virtual void recordFailed(const QString& reason) = 0;
  // The disk has not answered for a long time while records wait; the next
  // record that ends says how it went.
  virtual void logStalled(const QString& reason) = 0;
};

// Where a polling cycle's record goes at its end.
class RecordLog {
 public:
  virtual ~RecordLog() = default;
  // True exactly while a log file is open.
  virtual bool loggingOn() const = 0;
  // Hands over one line for slots 0 to count - 1, stamped now; the listener
  // hears how it ended, maybe before this returns, maybe much later.
  virtual void writeRecord(const Readings& readings, int count) = 0;
  // Who hears of the records; nullptr for nobody.
  virtual void setListener(RecordListener* listener) = 0;
  // Why the last record failed.
  virtual QString lastError() const = 0;
};

}  // namespace bw
