#include "platform/NumberText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace bw {

QString generalNumber(float value) {
  if (value == 0.0f) return QStringLiteral("0");  // also folds -0
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return QString::fromLatin1(buffer.data(), static_cast<qsizetype>(result.ptr - buffer.data()));
}

namespace {

bool isBlank(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool isDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

// Checks the grammar and copies the number's characters; strtod alone would
// also take hex floats, "inf", "nan" and locale separators.
std::optional<std::string> numberChars(QStringView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;

  std::string out;
  qsizetype i = begin;
  if (i < end && (text[i] == u'+' || text[i] == u'-'))
    out += static_cast<char>(text[i++].unicode());
  int mantissaDigits = 0;
  while (i < end && isDigit(text[i])) {
    out += static_cast<char>(text[i++].unicode());
    ++mantissaDigits;
  }
  if (i < end && text[i] == u'.') {
    out += '.';
    ++i;
    while (i < end && isDigit(text[i])) {
      out += static_cast<char>(text[i++].unicode());
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < end && (text[i] == u'e' || text[i] == u'E')) {
    out += 'e';
    ++i;
    if (i < end && (text[i] == u'+' || text[i] == u'-'))
      out += static_cast<char>(text[i++].unicode());
    int exponentDigits = 0;
    while (i < end && isDigit(text[i])) {
      out += static_cast<char>(text[i++].unicode());
      ++exponentDigits;
    }
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  return out;
}

}  // namespace

std::optional<float> parseNumber(QStringView text) {
  auto chars = numberChars(text);
  if (!chars) return std::nullopt;
  if (chars->front() == '+') chars->erase(0, 1);  // from_chars takes no plus sign
  // from_chars ignores the C locale, which the application sets from the
  // environment; strtod would stop at '.' under a comma locale.
  double wide = 0.0;
  const char* first = chars->data();
  const char* last = first + chars->size();
  const auto [ptr, ec] = std::from_chars(first, last, wide);
  if (ec != std::errc() || ptr != last || !std::isfinite(wide)) return std::nullopt;
  if (std::fabs(wide) > static_cast<double>(std::numeric_limits<float>::max())) return std::nullopt;
  const float value = static_cast<float>(wide);
  if (value == 0.0f && wide != 0.0) return std::nullopt;  // too small to keep
  return value;
}

}  // namespace bw
