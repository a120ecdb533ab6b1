// Tokens remember where in the job's text their piece begins, and a rendered
// chunk says where each of its tokens begins in its samples: together they
// tell a host how far through the text the speech has come.
#include <gtest/gtest.h>

#include <cstdio>

#include "Assembly.h"
#include "Cp1250.h"
#include "TextScanner.h"
#include "support/TestInventory.h"

namespace vokar {
namespace {

class TextPositions : public ::testing::Test, public IControlHandler {
 protected:
  void SetUp() override { testing::FillTestInventory(db, settings); }
  void ApplyControl(ControlCode, int, CUtterance&) override {}

  // "text@position" for every token of every sentence; one-byte tokens that
  // are not letters as <c>, control bytes in hexadecimal: <0a>, <05>, <06>.
  std::vector<std::string> Positions(const std::string& utf8) {
    text = cp1250::FromUtf8(utf8);
    CTextScanner scanner(text, {settings, db, useDictionary ? &dictionary : nullptr, sink});
    std::vector<std::string> out;
    while (CUtterance* utterance = scanner.NextUtterance()) {
      for (const auto& token : utterance->Tokens()) {
        std::string name = cp1250::ToUtf8(token.text);
        const auto first = static_cast<unsigned char>(token.text.empty() ? 0 : token.text[0]);
        if (token.text.size() == 1 && first < 32) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "<%02x>", first);
          name = hex;
        }
        else if (token.text.size() == 1 && !cp1250::IsAlpha(first)) name = "<" + name + ">";
        out.push_back(name + "@" + std::to_string(token.textPosition));
      }
    }
    return out;
  }

  using Lines = std::vector<std::string>;
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CExceptionDict dictionary;
  bool useDictionary = false;
  CSilentSink sink;
  std::string text;
};

TEST_F(TextPositions, WordsAndMarksBeginWhereTheirFirstByteIs) {
  EXPECT_EQ(Positions("Ala ma kota."), (Lines{"Ala@0", "ma@4", "kota@7", "<.>@11"}));
  // Several blanks, a line break and a comma before the word.
  EXPECT_EQ(Positions("raz,  \ndwa"), (Lines{"raz@0", "<,>@3", "<0a>@6", "dwa@7"}));
}

TEST_F(TextPositions, LaterSentencesCountFromTheStartOfTheWholeText) {
  EXPECT_EQ(Positions("Raz. Dwa! Trzy"), (Lines{"Raz@0", "<.>@3", "Dwa@5", "<!>@8", "Trzy@10"}));
}

TEST_F(TextPositions, EveryWordOfAFigureHasThePlaceOfItsFirstDigit) {
  // "Mam 25 lat": the number's words and its boundary token all begin at 4.
  EXPECT_EQ(Positions("Mam 25 lat"),
            (Lines{"Mam@0", "dwadzieścia@4", "pięć@4", "<06>@4", "lat@7"}));
}

TEST_F(TextPositions, ADictionaryReplacementHasThePlaceOfTheWordItReplaces) {
  useDictionary = true;
  dictionary.LoadFromText(cp1250::FromUtf8("np. na przykład\nkot pies i kot\n"));
  EXPECT_EQ(Positions("To np. kot"), (Lines{"To@0", "na@3", "przykład@3", "pies@7", "i@7", "kot@7"}));
}

TEST_F(TextPositions, SpelledCapitalsHaveThePlaceOfTheirWord) {
  EXPECT_EQ(Positions("To NATO"), (Lines{"To@0", "en@3", "a@3", "te@3", "o@3", "<05>@3"}));
}

TEST_F(TextPositions, AWordCutAtSixtyFiveLettersContinuesWhereTheCutFell) {
  // 100 letters: a piece of 65 at 0 and the rest at 65.
  const auto lines = Positions(std::string(100, 'a'));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(65, 'a') + "@0");
  EXPECT_EQ(lines[1], std::string(35, 'a') + "@65");
}

TEST_F(TextPositions, AChunkTellsWhereEachOfItsTokensBeginsInItsSamples) {
  // Entries of the test's own: big of 100 bytes, small of 7.
  db.SetEntry(CAllophone{0, 100, "big", std::vector<std::uint8_t>(100, 140)});
  db.SetEntry(CAllophone{0, 101, "small", std::vector<std::uint8_t>(7, 150)});
  text = "\\Alf=(big)\\ \\Alf=(small small)\\ \\Alf=(big)\\";
  CTextScanner scanner(text, {settings, db, nullptr, sink});
  CUtterance* utterance = scanner.NextUtterance();
  ASSERT_NE(utterance, nullptr);
  ASSERT_TRUE(RenderNextChunk(*utterance, db, *this));
  EXPECT_EQ(utterance->chunk.samples.size(), 214u);
  EXPECT_EQ(utterance->chunkFirstToken, 0u);
  EXPECT_EQ(utterance->chunkTokenOffsets, (std::vector<std::size_t>{0, 100, 114}));
  ASSERT_EQ(utterance->Tokens().size(), 3u);
  EXPECT_EQ(utterance->Tokens()[1].textPosition, 12u);  // after 11 bytes and a blank
  EXPECT_EQ(utterance->Tokens()[2].textPosition, 32u);  // 12 + 19 + 1
  EXPECT_FALSE(RenderNextChunk(*utterance, db, *this));
}

TEST_F(TextPositions, ALaterChunkNamesItsOwnFirstToken) {
  // "raz, dwa." renders as raz , | dwa . : the second chunk starts at token 2.
  text = "raz, dwa.";
  CTextScanner scanner(text, {settings, db, nullptr, sink});
  CUtterance* utterance = scanner.NextUtterance();
  ASSERT_NE(utterance, nullptr);
  ASSERT_TRUE(RenderNextChunk(*utterance, db, *this));
  EXPECT_EQ(utterance->chunkFirstToken, 0u);
  EXPECT_EQ(utterance->chunkTokenOffsets.size(), 2u);
  ASSERT_TRUE(RenderNextChunk(*utterance, db, *this));
  EXPECT_EQ(utterance->chunkFirstToken, 2u);
  ASSERT_EQ(utterance->chunkTokenOffsets.size(), 2u);
  EXPECT_EQ(utterance->chunkTokenOffsets[0], 0u);
  EXPECT_EQ(utterance->Tokens()[2].textPosition, 5u);
}

}  // namespace
}  // namespace vokar
