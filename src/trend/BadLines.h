#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace bw {

// Lines that are not log lines: the first few with where they are, and how
// many there were in all. Memory stays the same however many there are.
// Apart from them, the places where the reading of a file stopped before
// its end (the file was cut shorter while it was read): each is always
// listed, however many bad lines came before, for the lines after it are
// not read.
class BadLines {
 public:
  static constexpr std::size_t kListed = 20;

  void add(const QString& file, std::int64_t line, const QString& reason);
  // The first `count` lines of `more`, a later part of a file whose lines it
  // numbered from 1, numbered on from `lineOffset`; and all its stops.
  void add(const BadLines& more, std::int64_t lineOffset, std::int64_t count);
  void addStop(const QString& file, std::int64_t line, const QString& reason);
  std::int64_t count() const { return count_; }
  std::size_t stops() const { return stops_.size(); }
  // "FILE:LINE: REASON" for the listed ones, then "N lines in all" when
  // more were left off, then the stops.
  QStringList report() const;
  QStringList stopReport() const;

 private:
  struct Entry {
    QString file;
    std::int64_t line;
    QString reason;
    QString text() const;
  };
  std::vector<Entry> listed_;
  std::vector<Entry> stops_;
  std::int64_t count_ = 0;
};

}  // namespace bw
