#include "about/FormatGeneral.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

struct FormatCase {
  const char* text;
  const char* formatted;
};

class FormatGeneral : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatGeneral, GivesTheLiteralsValueOrTheTextAsItIs) {
  EXPECT_EQ(formatGeneral(QString::fromLatin1(GetParam().text)),
            QString::fromLatin1(GetParam().formatted));
}

INSTANTIATE_TEST_SUITE_P(HexLiterals, FormatGeneral,
                         ::testing::Values(
                             // Up to 4 digits: signed 16-bit.
                             FormatCase{"&h1", "1"}, FormatCase{"&H7FFF", "32767"},
                             FormatCase{"&h8000", "-32768"}, FormatCase{"&hffff", "-1"},
                             // 5 to 8 digits: signed 32-bit.
                             FormatCase{"&h10000", "65536"}, FormatCase{"&h12345678", "305419896"},
                             FormatCase{"&h80000000", "-2147483648"},
                             FormatCase{"&hFFFFFFFF", "-1"}));

INSTANTIATE_TEST_SUITE_P(NotNumbers, FormatGeneral,
                         ::testing::Values(FormatCase{"&h", "&h"},
                                           FormatCase{"&h123456789", "&h123456789"},
                                           FormatCase{"&hG1", "&hG1"}, FormatCase{"&h-1", "&h-1"},
                                           FormatCase{"&h 1", "&h 1"}, FormatCase{"&h0x1", "&h0x1"},
                                           FormatCase{"12", "12"}, FormatCase{"", ""}));

}  // namespace
}  // namespace bw
