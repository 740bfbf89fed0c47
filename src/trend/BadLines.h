#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace bw {

// Lines that are not log lines: the first few with where they are, and how
// many there were in all. Memory stays the same however many there are.
class BadLines {
 public:
  static constexpr std::size_t kListed = 20;

  void add(const QString& file, std::int64_t line, const QString& reason);
  // The first `count` lines of `more`, a later part of a file whose lines it
  // numbered from 1, numbered on from `lineOffset`.
  void add(const BadLines& more, std::int64_t lineOffset, std::int64_t count);
  std::int64_t count() const { return count_; }
  // "FILE:LINE: REASON" for the listed ones, then "N lines in all" when
  // more were left off.
  QStringList report() const;

 private:
  struct Entry {
    QString file;
    std::int64_t line;
    QString reason;
  };
  std::vector<Entry> listed_;
  std::int64_t count_ = 0;
};

}  // namespace bw
