#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bw {

// A record's stamp as the logger writes it: "yyyy-MM-dd HH:mm:ss", the date
// alone at exactly midnight. It sorts as text, parses everywhere and holds no
// comma.
QString stampText(const QDateTime& stamp);

// Stamps are local wall-clock time without an offset. They are kept as
// seconds counted on that wall clock from 1970-01-01 00:00, with no time zone
// applied: a clock set back then simply reads earlier, as the log does.
using StampSeconds = std::int64_t;

// "yyyy-MM-dd", or "yyyy-MM-dd" + `separator` + "HH:mm:ss", nothing more.
// readStamp sets `seconds` only when it returns true. It is what a line's
// reading calls: an optional returned through memory is stored a byte at a
// time and loaded as a word, which stalls the processor on every line.
bool readStamp(std::string_view text, char separator, StampSeconds& seconds);
inline std::optional<StampSeconds> parseStamp(std::string_view text, char separator) {
  StampSeconds seconds = 0;
  if (!readStamp(text, separator, seconds)) return std::nullopt;
  return seconds;
}

// Writes "yyyy-MM-ddTHH:mm:ss" (19 characters) at `out`.
void writeCsvStamp(StampSeconds stamp, char* out);

// The wall-clock date and time the seconds stand for, as a QDateTime in UTC
// so that no zone shifts it again.
QDateTime stampDateTime(StampSeconds stamp);
StampSeconds stampOf(const QDateTime& wallClock);

}  // namespace bw
