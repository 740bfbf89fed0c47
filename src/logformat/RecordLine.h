#pragma once

#include <QByteArray>
#include <QDateTime>

namespace bw {

// The sensors a logger polls at most, and so the most readings a log line
// holds: one per sensor slot. Every table of sensors or readings is this long.
inline constexpr int kMaxReadings = 16;

// Print zones are 14 columns wide, counted from the start of the line.
inline constexpr int kPrintZoneWidth = 14;

// One whole record line: the stamp, ", ", then each of `count` readings (a
// blank or the minus sign, the number, a blank) padded with blanks to the
// next print zone and followed by " , ", the last reading without padding,
// then CR LF.
QByteArray recordLine(const QDateTime& stamp, const float* readings, int count);

// A reading as the line writes it: " 23.5 " or "-2 ".
QByteArray readingText(float value);

}  // namespace bw
