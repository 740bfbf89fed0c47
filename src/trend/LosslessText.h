#pragma once

#include <QByteArray>
#include <QString>

namespace bw {

// File names as the system gives them are bytes, not always UTF-8. A byte
// that is no part of valid UTF-8 is kept as the lone surrogate U+DC80 +
// (byte - 0x80), so the name goes back to the very bytes it came from: a log
// whose name is not UTF-8 opens by the name given, and messages print it as
// given.
QString losslessText(const char* bytes);
QByteArray losslessBytes(const QString& text);

}  // namespace bw
