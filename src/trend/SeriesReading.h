#pragma once

#include "trend/LogReading.h"
#include "trend/TrendSeries.h"

namespace bw {

struct SeriesReadOptions {
  StampFilter filter;
  bool holdLast = false;
  const std::atomic_bool* cancel = nullptr;
  LogReading::Progress progress;
  std::vector<LogInput>* inputs = nullptr;  // the files opened already, if they are
  int threads = 0;                          // one per core
  std::int64_t chunkBytes = kDefaultChunkBytes;
};

// Reads log files into `series` on several threads (LogReading::readColumns),
// each file a piece of its own, with room
// reserved from the first lines' length so the columns do not grow by
// doubling (which would hold up to twice the memory).
ReadReport readSeries(const QStringList& files, TrendSeries& series,
                      const SeriesReadOptions& options = {});

}  // namespace bw
