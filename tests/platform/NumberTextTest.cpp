#include <gtest/gtest.h>
#include <QLocale>
#include <clocale>
#include <limits>

#include "platform/NumberText.h"

namespace bw {
namespace {

TEST(GeneralNumber, ShortestTextThatReadsBack) {
  EXPECT_EQ(generalNumber(23.5625f), QStringLiteral("23.5625"));
  EXPECT_EQ(generalNumber(0.5f), QStringLiteral("0.5"));
  EXPECT_EQ(generalNumber(-0.0625f), QStringLiteral("-0.0625"));
  EXPECT_EQ(generalNumber(-1.0f), QStringLiteral("-1"));
  EXPECT_EQ(generalNumber(-2.0f), QStringLiteral("-2"));
  EXPECT_EQ(generalNumber(0.1f), QStringLiteral("0.1"));  // not 0.100000001
  EXPECT_EQ(generalNumber(0.0f), QStringLiteral("0"));
  EXPECT_EQ(generalNumber(-0.0f), QStringLiteral("0"));
  for (float v : {0.1f, 1.0f / 3.0f, 85.0f, -55.0f, 1e-7f, 3.0e38f, 125.9375f})
    EXPECT_EQ(parseNumber(generalNumber(v)), v) << generalNumber(v).toStdString();
}

TEST(GeneralNumber, PointSeparatorUnderCommaLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  QLocale::setDefault(QLocale(QLocale::German));
  EXPECT_EQ(generalNumber(23.5f), QStringLiteral("23.5"));
  EXPECT_EQ(parseNumber(u"23.5"), 23.5f);
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ParseNumber, AcceptsSignDigitsFractionExponentAndBlanks) {
  EXPECT_EQ(parseNumber(u"23.5625"), 23.5625f);
  EXPECT_EQ(parseNumber(u"  -1.5\t"), -1.5f);
  EXPECT_EQ(parseNumber(u"+7"), 7.0f);
  EXPECT_EQ(parseNumber(u".5"), 0.5f);
  EXPECT_EQ(parseNumber(u"5."), 5.0f);
  EXPECT_EQ(parseNumber(u"2.5e1"), 25.0f);
  EXPECT_EQ(parseNumber(u"25E-1"), 2.5f);
  EXPECT_EQ(parseNumber(u"0"), 0.0f);
}

TEST(ParseNumber, RejectsWhatIsNotAPlainNumber) {
  for (const char16_t* text :
       {u"", u"   ", u"n/a", u"23,5", u"1.2.3", u"--1", u"+-1", u"1e", u"e5", u".", u"-", u"0x1A",
        u"inf", u"-Infinity", u"NaN", u"nan", u"23.5C", u"2 3", u"1e+"}) {
    EXPECT_FALSE(parseNumber(text).has_value()) << QString::fromUtf16(text).toStdString();
  }
}

TEST(ParseNumber, RejectsValuesOutsideSinglePrecision) {
  EXPECT_FALSE(parseNumber(u"3.5e38").has_value());
  EXPECT_FALSE(parseNumber(u"-1e39").has_value());
  EXPECT_FALSE(parseNumber(u"1e-60").has_value());
  EXPECT_FALSE(parseNumber(u"1e400").has_value());
  EXPECT_EQ(parseNumber(u"3.4e38"), 3.4e38f);
  EXPECT_EQ(parseNumber(u"0e-60"), 0.0f);
}

}  // namespace
}  // namespace bw
