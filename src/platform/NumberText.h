#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace bw {

// The number texts the program shows and logs. '.' is the decimal separator
// in every locale: the log file uses the comma as its field separator.

// Shortest text that reads back as the same single-precision value, with a
// leading zero below 1: "0.5", "-1", "23.5625". Negative zero reads "0".
QString generalNumber(float value);

// Text to single precision: optional blanks, optional sign, digits with an
// optional '.' fraction, optional exponent, optional blanks. No NaN, no
// infinity, nothing outside the single-precision range.
std::optional<float> parseNumber(QStringView text);

}  // namespace bw
