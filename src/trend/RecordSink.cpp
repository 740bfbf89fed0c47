#include "trend/RecordSink.h"

namespace bw {

void RecordSink::line(std::string_view line, std::int64_t number) {
  if (!parseLogLine(line, record_)) {
    report_.bad.add(file_, number,
                    line.empty() ? QStringLiteral("empty line") : QStringLiteral("not a log line"));
    return;
  }
  if (!filter_.accepts(record_.stamp)) {
    ++report_.outOfRange;
    return;
  }
  ++report_.lines;
  take_(record_);
}

void RecordSink::overlong(std::int64_t number) {
  report_.bad.add(file_, number,
                  QStringLiteral("longer than %1 bytes, not a log line").arg(kMaxLineBytes));
}

}  // namespace bw
