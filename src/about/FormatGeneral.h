#pragma once

#include <QString>

namespace bw {

// General formatting of a text with no pattern, as the program has always
// applied it to registry numbers. A hexadecimal literal, "&h" (either case)
// and 1 to 8 hex digits, becomes the decimal text of its value: a literal of up
// to 4 digits is a signed 16-bit number ("&hFFFF" gives "-1"), a longer one a
// signed 32-bit number ("&hFFFFFFFF" gives "-1"). Any other text, "&h" alone
// among them, is no number and comes back as it is.
QString formatGeneral(const QString& text);

}  // namespace bw
