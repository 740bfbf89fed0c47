#include "about/FormatGeneral.h"

#include <cstdint>

namespace bw {

namespace {

constexpr qsizetype kPrefixLength = 2;
constexpr qsizetype kShortLiteralDigits = 4;
constexpr qsizetype kLongLiteralDigits = 8;

bool isHexDigit(QChar c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

}  // namespace

QString formatGeneral(const QString& text) {
  if (!text.startsWith(QStringLiteral("&h"), Qt::CaseInsensitive)) return text;
  const QStringView digits = QStringView(text).mid(kPrefixLength);
  if (digits.isEmpty() || digits.size() > kLongLiteralDigits) return text;
  for (const QChar c : digits)
    if (!isHexDigit(c)) return text;
  const auto value = static_cast<std::uint32_t>(digits.toUInt(nullptr, 16));
  if (digits.size() <= kShortLiteralDigits)
    return QString::number(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
  return QString::number(static_cast<std::int32_t>(value));
}

}  // namespace bw
