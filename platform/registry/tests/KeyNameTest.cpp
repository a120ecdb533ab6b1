#include "KeyName.h"

#include <gtest/gtest.h>

#include "Cp1250.h"

namespace {

using vokar::registry::FoldName;
using vokar::registry::SplitKeyPath;

TEST(KeyName, FoldsPolishAndOtherLatinLetters) {
  EXPECT_EQ(FoldName("ŻÓŁW Ąę ĆŃŚŹ"), "żółw ąę ćńśź");
  EXPECT_EQ(FoldName("Software\\QUILLMARK"), "software\\quillmark");
  EXPECT_EQ(FoldName("ÄÖÜ ÀÉ Ő Ű Ř Č Ĺ Ľ Ÿ"), "äöü àé ő ű ř č ĺ ľ ÿ");
  EXPECT_EQ(FoldName("ПРИВЕТ ΑΘΗΝΑ"), "привет αθηνα");
  // Letters without a lower-case partner and non-letters stay.
  EXPECT_EQ(FoldName("ß × 1 ı"), "ß × 1 ı");
}

TEST(KeyName, SameNameIgnoresCaseButNothingElse) {
  using vokar::registry::SameName;
  EXPECT_TRUE(SameName("Remarka.Komentarz", "remarka.KOMENTARZ"));
  EXPECT_TRUE(SameName("Łódź", "łÓDŹ"));
  EXPECT_FALSE(SameName("Remarka.Komentarz", "Remarka.Komentarz "));
  EXPECT_FALSE(SameName("Remarka.Komentarz", "Remarka_Komentarz"));
  EXPECT_FALSE(SameName("Łódź", "Lodz"));
}

TEST(KeyName, AgreesWithTheCodePageCaseMapping) {
  // Every letter the programs can write in code page 1250 folds the way the
  // code page's own lower-casing does.
  for (int byte = 0; byte < 256; ++byte) {
    const auto c = static_cast<unsigned char>(byte);
    if (!vokar::cp1250::IsUpper(c)) continue;
    const std::string upper = vokar::cp1250::ToUtf8(std::string(1, static_cast<char>(c)));
    const std::string lower = vokar::cp1250::ToUtf8(std::string(1, static_cast<char>(vokar::cp1250::ToLower(c))));
    EXPECT_EQ(FoldName(upper), lower) << "byte " << byte;
  }
}

TEST(KeyName, InvalidUtf8IsKeptAsBytes) {
  EXPECT_EQ(FoldName("A\xFF" "B"), "a\xFF" "b");
  EXPECT_FALSE(vokar::registry::IsValidUtf8("\xC0\xAF"));  // overlong '/'
  EXPECT_FALSE(vokar::registry::IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_EQ(vokar::registry::FirstInvalidUtf8("ab\xC5"), 2u);  // cut short
  EXPECT_TRUE(vokar::registry::IsValidUtf8("żółw 😀"));
}

TEST(KeyName, SplitsAndChecksKeyPaths) {
  EXPECT_EQ(SplitKeyPath("")->size(), 0u);
  EXPECT_EQ(*SplitKeyPath("Software\\Quillmark\\Vokar"),
            (std::vector<std::string>{"Software", "Quillmark", "Vokar"}));
  EXPECT_FALSE(SplitKeyPath("\\Software"));
  EXPECT_FALSE(SplitKeyPath("Software\\\\Vokar"));
  EXPECT_FALSE(SplitKeyPath("Software\\"));
  EXPECT_FALSE(SplitKeyPath(std::string_view("a\0b", 3)));
  EXPECT_FALSE(SplitKeyPath("bad\xFF"));
  // 255 characters (not bytes) is the longest name.
  std::string longest;
  for (int i = 0; i < 255; ++i) longest += "ż";
  EXPECT_TRUE(SplitKeyPath(longest));
  EXPECT_FALSE(SplitKeyPath(longest + "a"));
}

TEST(KeyName, ValueNamesMayHoldBackslashesButNotNul) {
  EXPECT_TRUE(vokar::registry::IsValidValueName(""));
  EXPECT_TRUE(vokar::registry::IsValidValueName("C:\\path\\name"));
  EXPECT_FALSE(vokar::registry::IsValidValueName(std::string_view("a\0", 2)));
  EXPECT_FALSE(vokar::registry::IsValidValueName(std::string(16384, 'x')));
}

}  // namespace
