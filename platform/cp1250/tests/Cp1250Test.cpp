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

TEST(Cp1250IncomingText, Utf8IsConvertedAndWindows1250KeptAsItIs) {
  const std::string cp1250 = FromUtf8("Zażółć gęślą jaźń.");
  EXPECT_EQ(IncomingText("Zażółć gęślą jaźń."), cp1250);
  EXPECT_EQ(IncomingText(cp1250), cp1250);
  EXPECT_EQ(IncomingText("plain ascii\r\n"), "plain ascii\r\n");
  EXPECT_EQ(IncomingText(""), "");
  // A byte order mark is no character of the text.
  EXPECT_EQ(IncomingText("\xEF\xBB\xBFżółw"), FromUtf8("żółw"));
  EXPECT_EQ(IncomingText("\xEF\xBB\xBF" "abc"), "abc");
  // One invalid byte anywhere makes the whole text code page 1250.
  EXPECT_EQ(IncomingText("żółw \xB9"), "żółw \xB9");
  // A byte order mark is dropped there too, and only at the start.
  EXPECT_EQ(IncomingText("\xEF\xBB\xBF" "g\xEA\x9C"), "g\xEA\x9C");
  EXPECT_EQ(IncomingText("ż\xEF\xBB\xBF"), "\xBF?");  // U+FEFF inside: a character the code page lacks
  EXPECT_EQ(IncomingText("\xEF\xBB\xBF"), "");
}

TEST(Cp1250IncomingText, ACharacterCutOffAtTheEndOfAStart) {
  // "gęś" is 67 C4 99 C5 9B; the start of a longer text may end inside ś.
  const std::string start = "g\xC4\x99\xC5";
  EXPECT_EQ(IncomingText(start, TextEnd::Cut), FromUtf8("gę"));
  // As a whole text the same bytes are not UTF-8.
  EXPECT_EQ(IncomingText(start, TextEnd::Whole), start);
  // Three bytes of a four-byte character, two of a three-byte one.
  EXPECT_EQ(IncomingText("ż\xF0\x9F\x98", TextEnd::Cut), FromUtf8("ż"));
  EXPECT_EQ(IncomingText("ż\xE2\x82", TextEnd::Cut), FromUtf8("ż"));
  // A whole character at the end stays.
  EXPECT_EQ(IncomingText("ż\xE2\x82\xAC", TextEnd::Cut), FromUtf8("ż€"));
  // A code page 1250 start keeps every byte, the last one too.
  EXPECT_EQ(IncomingText("ab\xB9", TextEnd::Cut), "ab\xB9");
  // A byte order mark and a cut character in one start.
  EXPECT_EQ(IncomingText("\xEF\xBB\xBF" "ą\xC5", TextEnd::Cut), "\xB9");
}
