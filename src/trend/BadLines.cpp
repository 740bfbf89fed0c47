#include "trend/BadLines.h"

namespace bw {

void BadLines::add(const QString& file, std::int64_t line, const QString& reason) {
  ++count_;
  if (listed_.size() < kListed) listed_.push_back({file, line, reason});
}

QStringList BadLines::report() const {
  QStringList lines;
  for (const Entry& e : listed_)
    lines << QStringLiteral("%1:%2: %3").arg(e.file).arg(e.line).arg(e.reason);
  if (count_ > static_cast<std::int64_t>(listed_.size()))
    lines << QStringLiteral("%1 lines that are not log lines in all, %2 more not listed")
                 .arg(count_)
                 .arg(count_ - static_cast<std::int64_t>(listed_.size()));
  return lines;
}

}  // namespace bw
