#include "site/TextColumns.h"

#include <QList>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <iterator>

namespace bw {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// East Asian Wide and Fullwidth ranges (Unicode's EastAsianWidth.txt, W and F).
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202}, {0x1F210, 0x1F23B},
    {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

int columns(char32_t c) {
  switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
      return 0;
    default:
      break;
  }
  // The vowels and final consonants that join a Hangul syllable.
  if ((c >= 0x1160 && c <= 0x11FF) || (c >= 0xD7B0 && c <= 0xD7FF)) return 0;
  const Range* wide =
      std::upper_bound(std::begin(kWide), std::end(kWide), c,
                       [](char32_t point, const Range& r) { return point < r.first; });
  return wide != std::begin(kWide) && c <= std::prev(wide)->last ? 2 : 1;
}

}  // namespace

int displayWidth(QStringView text) {
  int width = 0;
  for (const char32_t code : text.toUcs4()) width += columns(code);
  return width;
}

QString elidedToColumns(const QString& text, int columns) {
  if (displayWidth(text) <= columns) return text;
  static const QString kEllipsis = QStringLiteral("…");
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  int width = 0;
  qsizetype kept = 0;
  for (qsizetype at = graphemes.toNextBoundary(); at > 0; at = graphemes.toNextBoundary()) {
    width += displayWidth(QStringView(text).mid(kept, at - kept));
    if (width > columns - 1) break;
    kept = at;
  }
  return text.left(kept) + kEllipsis;
}

}  // namespace bw
