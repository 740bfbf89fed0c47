#include "logformat/LogRecord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

// BRINEWATCH_PORTABLE_PARSE keeps to the words-only way, for machines
// without SSE2 and for its own tests.
#if defined(__SSE2__) && !defined(BRINEWATCH_PORTABLE_PARSE)
#define BRINEWATCH_SSE2_PARSE 1
#include <emmintrin.h>
#endif

namespace bw {

namespace {

constexpr auto kPrintZone = static_cast<std::size_t>(kPrintZoneWidth);

// A year's log is tens of millions of readings, each of a length of its
// own: looking at eight bytes at once, with masks instead of a branch per
// byte, is what keeps reading near the speed of the disk cache.
constexpr std::uint64_t kEachByte = 0x0101010101010101ull;
constexpr std::uint64_t kTopBits = 0x8080808080808080ull;
constexpr std::uint64_t kLowBits = 0x7f7f7f7f7f7f7f7full;
constexpr std::uint64_t kEightBlanks = kEachByte * ' ';
constexpr std::uint64_t kEightZeros = kEachByte * '0';

// The eight bytes at p, the first in the lowest byte on any machine.
inline std::uint64_t eightBytes(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// The top bit of every byte of `word` that is `c`, and no other bit.
inline std::uint64_t bytesEqualTo(std::uint64_t word, char c) {
  const std::uint64_t x = word ^ (kEachByte * static_cast<unsigned char>(c));
  return ~(((x & kLowBits) + kLowBits) | x) & kTopBits;
}

// The top bit of every byte that is not an ASCII digit. No sum or
// difference carries into the next byte.
inline std::uint64_t nonDigits(std::uint64_t word) {
  const std::uint64_t low = word & kLowBits;
  const std::uint64_t aboveNine = low + kEachByte * (0x80 - ('9' + 1));
  const std::uint64_t fromZero = (low | kTopBits) - kEightZeros;
  return (word | aboveNine | ~fromZero) & kTopBits;
}

// Eight digits of 0 to 9 a byte, the first the most significant, as a
// number.
inline std::uint32_t eightDigits(std::uint64_t word) {
  word = word * 10 + (word >> 8);
  word = ((word & 0x000000ff000000ffull) * (100 + (1000000ull << 32)) +
          ((word >> 16) & 0x000000ff000000ffull) * (1 + (10000ull << 32))) >>
         32;
  return static_cast<std::uint32_t>(word);
}

// Below `bytes` (0 to 7) bytes, the mask of those bytes.
inline std::uint64_t lowBytes(int bytes) {
  return (std::uint64_t{1} << (8 * bytes)) - 1;
}

// True when [p, p + n) holds blanks only, eight at a time where it can.
inline bool allBlanks(const char* p, std::size_t n) {
  for (; n >= 8; p += 8, n -= 8)
    if (eightBytes(p) != kEightBlanks) return false;
  for (; n > 0; ++p, --n)
    if (*p != ' ') return false;
  return true;
}

// The padding [pos, zone) of a reading, 1 to 14 bytes, when eight bytes
// from `pos` lie within the line: the first and the last eight bytes before
// the zone, each cut to the padding's length.
inline bool paddingBlanks(const char* line, std::size_t pos, std::size_t zone) {
  const std::size_t bytes = std::min<std::size_t>(zone - pos, 8);
  const auto cut = static_cast<unsigned>(8 * (8 - bytes));
  return ((eightBytes(line + pos) ^ kEightBlanks) << cut) == 0 &&
         ((eightBytes(line + zone - 8) ^ kEightBlanks) >> cut) == 0;
}

// Powers of ten that a float holds exactly.
constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                  1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number in the first `length` bytes of `word`, known to be digits
// with at most one '.' (at byte `at`, or `at` == length without one), and
// at least one digit.
[[gnu::always_inline]] inline float shortValue(std::uint64_t word, int length, int at,
                                               bool negative) {
  const bool dot = at < length;
  const int digits = length - dot;
  const std::uint64_t below = lowBytes(at);
  std::uint64_t packed = (word & below) | ((word >> 8) & ~below);
  const int decimals = length - 1 - at + !dot;
  // Each digit's own value, then the digits moved up to the last bytes:
  // what is shifted in before them is zeros. The bytes after the number
  // borrow only from bytes that are shifted out.
  const std::uint64_t values = (packed - kEightZeros) << (8 * (8 - digits));
  const float magnitude = static_cast<float>(eightDigits(values)) / kPowersOfTen[decimals];
  // The sign bit set without a branch: the sign of a reading is not foreseeable.
  std::uint32_t bits;
  std::memcpy(&bits, &magnitude, 4);
  bits |= static_cast<std::uint32_t>(negative) << 31;
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

// Whether the first `length` bytes of `word` are up to seven digits and a
// '.', with `at` where the '.' stands (the number's end without one).
[[gnu::always_inline]] inline bool shortDigits(std::uint64_t word, int length, int& at) {
  const std::uint64_t inside = lowBytes(length);
  const std::uint64_t dot = bytesEqualTo(word, '.') & inside;
  const int digits = length - (dot != 0);
  if ((nonDigits(word) & inside & ~dot) != 0 || (dot & (dot - 1)) != 0 || digits == 0) return false;
  at = __builtin_ctzll(dot | (std::uint64_t{0x80} << (8 * length))) / 8;
  return true;
}

// The common case of readNumber below: a short number followed by a blank
// within the eight bytes at `pos`, or within what is left of the line, as
// for its last reading. Returns the end, or npos when the number is of
// another form (readNumber then reads it byte by byte). Its value only
// when kValues.
template <bool kValues>
[[gnu::always_inline]] inline std::size_t readShortNumber(std::string_view line, std::size_t pos,
                                                          bool negative, float& value) {
  const std::size_t left = line.size() - pos;
  if (left == 0 || line.size() < 8) return std::string_view::npos;
  // Near the end, the line's last eight bytes moved down to `pos`, zeros
  // after them.
  const std::uint64_t word = left >= 8
                                 ? eightBytes(line.data() + pos)
                                 : eightBytes(line.data() + line.size() - 8) >> (8 * (8 - left));
  const std::uint64_t blanks = bytesEqualTo(word, ' ');
  if (blanks == 0) return std::string_view::npos;
  const int length = __builtin_ctzll(blanks) / 8;
  int at = 0;
  if (!shortDigits(word, length, at)) return std::string_view::npos;
  if constexpr (kValues) value = shortValue(word, length, at, negative);
  return pos + static_cast<std::size_t>(length);
}

// A reading after the first, at `pos`, which then lies 3 bytes into its
// print zone, as the logger mostly writes it: the sign, a short number and
// blanks filling the zone, then " , " and more. Its 14 bytes are checked
// at once; false when it is of another form (or the last), for the general
// way to read. Its value only when kValues.
#ifdef BRINEWATCH_SSE2_PARSE
// The 14 bytes in one vector: blanks, commas, dots and digits each a mask
// of 16 bits, one bit a byte.
template <bool kValues, bool kTexts>
bool readZonedReading(std::string_view line, std::size_t pos, float& value,
                      std::string_view& text) {
  if (line.size() < pos + 17) return false;
  const char* p = line.data() + pos;
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const auto maskOf = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
  const unsigned blanks = maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')));
  const unsigned commas = maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')));
  const unsigned dots = maskOf(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.')));
  const __m128i fromZero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const unsigned digits =
      maskOf(_mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero));
  const bool negative = p[0] == '-';
  // The number ends at the first blank after the sign, within 8 bytes.
  const unsigned end = static_cast<unsigned>(__builtin_ctz((blanks & 0x1feu) | 0x200u));
  const unsigned number = ((1u << end) - 1) & ~1u;
  const unsigned dot = dots & number;
  constexpr unsigned kComma = 1u << 12;
  const unsigned tail = ((0x3fffu >> end) << end) & ~kComma;  // blanks up to " , "
  if (!(negative || (blanks & 1)) || end > 8 || (blanks & 0x3ffeu) != tail || !(commas & kComma) ||
      ((digits | dot) & number) != number || (dot & (dot - 1)) != 0 || (digits & number) == 0)
    return false;
  const int length = static_cast<int>(end) - 1;
  const int at = dot ? __builtin_ctz(dot) - 1 : length;
  if constexpr (kValues) value = shortValue(eightBytes(p + 1), length, at, negative);
  if constexpr (kTexts) {
    const std::size_t textStart = negative ? 0 : 1;
    text = std::string_view(p + textStart, end - textStart);
  }
  return true;
}
#else
// The bytes a reading after the first ends with when it is short: two of
// its padding at least, then " , " on the zone boundary.
constexpr std::uint64_t kZoneEnd = 0x202c202020ull;
constexpr std::uint64_t kZoneEndBytes = 0xffffffffffull;

// The 14 bytes in two words.
template <bool kValues, bool kTexts>
bool readZonedReading(std::string_view line, std::size_t pos, float& value,
                      std::string_view& text) {
  if (line.size() < pos + 17) return false;
  const char sign = line[pos];
  if (sign != ' ' && sign != '-') return false;
  const std::uint64_t number = eightBytes(line.data() + pos + 1);
  const std::uint64_t blanks = bytesEqualTo(number, ' ');
  if (blanks == 0 || (eightBytes(line.data() + pos + 9) & kZoneEndBytes) != kZoneEnd) return false;
  const int length = __builtin_ctzll(blanks) / 8;
  int at = 0;
  if (((number ^ kEightBlanks) & ~lowBytes(length)) != 0 || !shortDigits(number, length, at))
    return false;
  if constexpr (kValues) value = shortValue(number, length, at, sign == '-');
  if constexpr (kTexts) {
    const std::size_t textStart = sign == '-' ? pos : pos + 1;
    text = std::string_view(line.data() + textStart,
                            pos + 1 + static_cast<std::size_t>(length) - textStart);
  }
  return true;
}
#endif

// The number at `pos`, byte by byte: digits with an optional '.' fraction
// and an optional exponent. Short ones (a DS18B20 reading has at most four
// decimals) are read as digits and a count of decimals: when both fit a
// float exactly, one float division rounds correctly, as from_chars would.
// Returns the end, or npos when there is no number there.
std::size_t readLongNumber(std::string_view line, std::size_t pos, bool negative, float& value) {
  const std::size_t n = line.size();
  const std::size_t start = pos;
  std::uint32_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  while (pos < n && isDigit(line[pos])) {
    mantissa = mantissa * 10 + static_cast<std::uint32_t>(line[pos++] - '0');
    ++digits;
  }
  if (pos < n && line[pos] == '.') {
    ++pos;
    while (pos < n && isDigit(line[pos])) {
      mantissa = mantissa * 10 + static_cast<std::uint32_t>(line[pos++] - '0');
      ++digits;
      ++decimals;
    }
  }
  if (digits == 0) return std::string_view::npos;
  bool exponent = false;
  if (pos < n && (line[pos] == 'e' || line[pos] == 'E')) {
    exponent = true;
    ++pos;
    if (pos < n && (line[pos] == '-' || line[pos] == '+')) ++pos;
    const std::size_t exponentStart = pos;
    while (pos < n && isDigit(line[pos])) ++pos;
    if (pos == exponentStart) return std::string_view::npos;
  }
  if (!exponent && digits <= 7) {
    const float magnitude = static_cast<float>(mantissa) / kPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return pos;
  }
  // from_chars reads no plus sign and no blanks; the grammar above has
  // already shut out "inf", "nan" and hex forms it would take.
  const char* first = line.data() + start - (negative ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(first, line.data() + pos, value);
  if (ec != std::errc() || ptr != line.data() + pos || !std::isfinite(value))
    return std::string_view::npos;
  return pos;
}

// The number at `pos`, the short way where it can.
template <bool kValues>
std::size_t readNumber(std::string_view line, std::size_t pos, bool negative, float& value) {
  if (const std::size_t end = readShortNumber<kValues>(line, pos, negative, value);
      end != std::string_view::npos)
    return end;
  return readLongNumber(line, pos, negative, value);
}

// The line taken apart; the values or the texts are left out where they are
// not wanted.
template <bool kValues, bool kTexts>
bool parseLine(std::string_view line, LogRecord& record) {
  if (line.size() < 10) return false;
  const std::size_t stampLength = line.size() > 10 && line[10] == ' ' ? 19 : 10;
  if (line.size() < stampLength + 2) return false;
  StampSeconds stamp = 0;
  if (!readStamp(line.substr(0, stampLength), ' ', stamp)) return false;
  std::size_t pos = stampLength;
  if (line[pos] != ',' || line[pos + 1] != ' ') return false;
  pos += 2;

  record.stamp = stamp;
  int count = 0;
  const std::size_t n = line.size();
  while (true) {
    if (count == kMaxReadings || pos >= n) return false;
    if (count > 0 &&
        readZonedReading<kValues, kTexts>(line, pos, record.values[static_cast<std::size_t>(count)],
                                          record.texts[static_cast<std::size_t>(count)])) {
      ++count;
      pos += kPrintZone;
      continue;
    }
    const char sign = line[pos];
    if (sign != ' ' && sign != '-') return false;
    const std::size_t textStart = sign == '-' ? pos : pos + 1;
    float value = 0.0f;
    const std::size_t end = readNumber<kValues>(line, pos + 1, sign == '-', value);
    if (end == std::string_view::npos || end >= n || line[end] != ' ') return false;
    record.values[static_cast<std::size_t>(count)] = value;
    if constexpr (kTexts)
      record.texts[static_cast<std::size_t>(count)] = line.substr(textStart, end - textStart);
    ++count;
    pos = end + 1;
    if (pos == n) break;
    const std::size_t zone = (pos / kPrintZone + 1) * kPrintZone;
    if (zone + 3 > n) return false;
    if (pos + 8 <= n ? !paddingBlanks(line.data(), pos, zone)
                     : !allBlanks(line.data() + pos, zone - pos))
      return false;
    if (line[zone] != ' ' || line[zone + 1] != ',' || line[zone + 2] != ' ') return false;
    pos = zone + 3;
  }
  record.count = count;
  return true;
}

}  // namespace

bool parseLogLine(std::string_view line, LogRecord& record) {
  return parseLine<true, true>(line, record);
}

bool parseLogLineTexts(std::string_view line, LogRecord& record) {
  return parseLine<false, true>(line, record);
}

bool parseLogLineValues(std::string_view line, LogRecord& record) {
  return parseLine<true, false>(line, record);
}

}  // namespace bw
