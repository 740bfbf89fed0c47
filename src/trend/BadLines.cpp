#include "trend/BadLines.h"

#include <algorithm>

namespace bw {

QString BadLines::Entry::text() const {
  return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason);
}

void BadLines::add(const QString& file, std::int64_t line, const QString& reason) {
  ++count_;
  if (listed_.size() < kListed) listed_.push_back({file, line, reason});
}

void BadLines::add(const BadLines& more, std::int64_t lineOffset, std::int64_t count) {
  const auto listed = std::min(static_cast<std::int64_t>(more.listed_.size()), count);
  for (std::size_t i = 0; i < static_cast<std::size_t>(listed); ++i)
    add(more.listed_[i].file, lineOffset + more.listed_[i].line, more.listed_[i].reason);
  // More than `listed` only when `more` listed all it could: so has this one now.
  count_ += count - listed;
  for (const Entry& stop : more.stops_) addStop(stop.file, lineOffset + stop.line, stop.reason);
}

void BadLines::addStop(const QString& file, std::int64_t line, const QString& reason) {
  stops_.push_back({file, line, reason});
}

QStringList BadLines::report() const {
  QStringList lines;
  for (const Entry& e : listed_) lines << e.text();
  if (count_ > static_cast<std::int64_t>(listed_.size()))
    lines << QStringLiteral("%1 lines that are not log lines in all, %2 more not listed")
                 .arg(count_)
                 .arg(count_ - static_cast<std::int64_t>(listed_.size()));
  return lines + stopReport();
}

QStringList BadLines::stopReport() const {
  QStringList lines;
  for (const Entry& e : stops_) lines << e.text();
  return lines;
}

}  // namespace bw
