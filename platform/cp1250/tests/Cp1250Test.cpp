#include "Cp1250.h"

#include <gtest/gtest.h>

using namespace vokar::cp1250;

TEST(Cp1250Classes, PolishLettersAreLettersWithCase) {
  const std::string lower = FromUtf8("ąćęłńóśźż");
  const std::string upper = FromUtf8("ĄĆĘŁŃÓŚŹŻ");
  ASSERT_EQ(lower.size(), 9u);
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const auto lo = static_cast<unsigned char>(lower[i]);
    const auto up = static_cast<unsigned char>(upper[i]);
    EXPECT_TRUE(IsAlpha(lo) && IsLower(lo) && !IsUpper(lo)) << i;
    EXPECT_TRUE(IsAlpha(up) && IsUpper(up) && !IsLower(up)) << i;
    EXPECT_EQ(FoldPolish(up), lo) << i;
    EXPECT_EQ(ToUpper(lo), up) << i;
  }
}

TEST(Cp1250Classes, EngineFoldingIsNarrowerThanThePlatforms) {
  const auto sCaron = static_cast<unsigned char>(FromUtf8("Š")[0]);
  EXPECT_TRUE(IsUpper(sCaron));
  EXPECT_EQ(FoldPolish(sCaron), sCaron);
  EXPECT_EQ(ToLower(sCaron), static_cast<unsigned char>(FromUtf8("š")[0]));
  EXPECT_EQ(FoldPolish('Q'), 'q');
  EXPECT_EQ(FoldPolish('1'), '1');
}

TEST(Cp1250Classes, DigitsPunctuationAndSymbolsAreNotLetters) {
  for (unsigned char c : std::string("0123456789.,;!?-\\ \t\"")) EXPECT_FALSE(IsAlpha(c)) << int(c);
  EXPECT_FALSE(IsAlpha(0x80));  // euro sign
  EXPECT_FALSE(IsAlpha(0xA0));  // no-break space
  EXPECT_FALSE(IsAlpha(0xD7));  // multiplication sign
  EXPECT_FALSE(IsAlpha(0x81));  // undefined
}

TEST(Cp1250Conversion, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(FromUtf8(ToUtf8(all)), all);
}

TEST(Cp1250Conversion, UnmappableAndInvalidBecomeQuestionMarks) {
  EXPECT_EQ(FromUtf8("a\xE2\x82\xAC" "b"), "a\x80" "b");  // the euro sign maps
  EXPECT_EQ(FromUtf8("x\xE4\xB8\xAD" "y"), "x?y");       // a CJK character does not
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), "?");           // nor an emoji
  EXPECT_EQ(FromUtf8("\xC5"), "?");                       // truncated sequence
  EXPECT_EQ(FromUtf8("\xC0\x80"), "??");                  // overlong NUL
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), "???");             // surrogate
}

TEST(Cp1250Conversion, TellsUtf8FromWindows1250) {
  EXPECT_TRUE(LooksLikeUtf8("chrząszcz"));
  EXPECT_FALSE(LooksLikeUtf8(FromUtf8("chrząszcz")));
  EXPECT_FALSE(LooksLikeUtf8("plain ascii"));
}
