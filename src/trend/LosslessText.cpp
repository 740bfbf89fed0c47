#include "trend/LosslessText.h"

#include <cstring>

namespace bw {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The code point of the well-formed UTF-8 sequence at `p` and its length, or
// a length of 0 when there is none there.
int sequenceAt(const unsigned char* p, const unsigned char* end, char32_t& code) {
  const unsigned char lead = *p;
  int length = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2, least = 0x80, code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, least = 0x800, code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, least = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (end - p < length) return 0;
  for (int i = 1; i < length; ++i) {
    if (!isContinuation(p[i])) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < least || code > 0x10FFFF || surrogate) return 0;
  return length;
}

void appendUtf8(QByteArray& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

QString losslessText(const char* bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  const auto* end = p + std::strlen(bytes);
  QString text;
  text.reserve(static_cast<qsizetype>(end - p));
  while (p < end) {
    char32_t code = 0;
    const int length = sequenceAt(p, end, code);
    if (length == 0) {
      text += QChar(static_cast<char16_t>(kEscapeBase + *p));  // *p >= 0x80 here
      ++p;
      continue;
    }
    text += QString::fromUcs4(&code, 1);
    p += length;
  }
  return text;
}

QByteArray losslessBytes(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      appendUtf8(out, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
      ++i;
    } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      out += static_cast<char>(unit - kEscapeBase);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace bw
