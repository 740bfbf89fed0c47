#include "trend/SeriesReading.h"

#include <algorithm>

namespace bw {

namespace {

// Below this a line is no log line of twelve readings; a file of such is
// not reserved for from its size.
constexpr std::int64_t kShortestLikelyLine = 100;

}  // namespace

ReadReport readSeries(const QStringList& files, TrendSeries& series,
                      const SeriesReadOptions& options) {
  LogReading reading(files, options.filter);
  reading.setHoldLast(options.holdLast);
  reading.setCancel(options.cancel);
  reading.setInputs(options.inputs);
  reading.setThreads(options.threads);
  reading.setChunkBytes(options.chunkBytes);
  reading.setFileStart([&series](int) { series.breakLine(); });
  bool reserved = false;
  const std::size_t before = series.size();
  reading.setProgress([&](std::int64_t done, std::int64_t total) {
    if (!reserved && series.size() > before) {
      reserved = true;
      const std::int64_t perLine =
          std::max<std::int64_t>(done / static_cast<std::int64_t>(series.size() - before), 1);
      if (perLine >= kShortestLikelyLine) {
        const std::int64_t lines = total / perLine;
        series.reserve(before + static_cast<std::size_t>(lines + lines / 50 + 64));
      }
    }
    if (options.progress) options.progress(done, total);
  });
  return reading.readColumns([&series](const LineColumns& lines) { series.append(lines); });
}

}  // namespace bw
