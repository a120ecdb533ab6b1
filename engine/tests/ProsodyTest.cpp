#include "Prosody.h"

#include <gtest/gtest.h>

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "TextScanner.h"
#include "support/TestInventory.h"

namespace vokar {
namespace {

using namespace allo;

// The phrase step as the rules were first made: every accent group ends in
// its final forms. The rhythm the prosody stage asks for (intonation on)
// has tests of its own below.
class Phrases : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.prosody.intonation = false;
    testing::FillTestInventory(db, settings);
  }

  // The prepared tokens of the first sentence of a text.
  std::vector<CWordToken> Prepared(const std::string& utf8) {
    text = cp1250::FromUtf8(utf8);
    CTextScanner scanner(text, {settings, db, nullptr, sink});
    CUtterance* utterance = scanner.NextUtterance();
    phrases = utterance->phrases;
    return utterance->Tokens();
  }
  static std::vector<int> Indices(const CWordToken& token) {
    std::vector<int> out;
    for (const auto& e : token.allophones) out.push_back(e.index);
    return out;
  }

  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CSilentSink sink;
  std::string text;
  std::vector<std::pair<std::size_t, std::size_t>> phrases;
};

TEST_F(Phrases, CliticLeansOnItsHost) {
  const auto tokens = Prepared("na dom.");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(phrases, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 1}, {2, 2}}));
  EXPECT_TRUE(tokens[0].accentBearing);
  EXPECT_TRUE(tokens[1].accentBearing);
  // na takes its accented a; the o of dom, last stress before the full stop,
  // is doubled, and its m takes the phrase-final form.
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kN, kA + kAccentOffset}));
  EXPECT_EQ(Indices(tokens[1]), (std::vector<int>{kD, kO, kO, kMFinal}));
  EXPECT_EQ(Indices(tokens[2]), (std::vector<int>{kPauseInterSentence}));
}

TEST_F(Phrases, WithoutFluentSpeechEveryWordIsItsOwnGroupWithAPause) {
  settings.fluentSpeech = false;
  const auto tokens = Prepared("na dom.");
  EXPECT_EQ(phrases.size(), 3u);
  // na is now phrase-final itself: its final a is stressed by a plain a
  // before it, then a pause follows.
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kN, kA, kA + kFinalOffset, kPauseInterWord}));
  EXPECT_EQ(Indices(tokens[1]), (std::vector<int>{kD, kO, kO, kMFinal, kPauseInterWord}));
}

TEST_F(Phrases, PenultimateStressAndFinalForms) {
  const auto tokens = Prepared("mama woła, tata milczy");
  ASSERT_EQ(tokens.size(), 5u);
  // mama: accented penultimate a, final a; woła before the comma: doubled o.
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kM, kA + kAccentOffset, kM, kA + kFinalOffset}));
  EXPECT_EQ(Indices(tokens[1]), (std::vector<int>{kW, kO, kO, kLDark, kA + kFinalOffset}));
  // milczy at the end of the text: doubled i, final y.
  EXPECT_EQ(Indices(tokens[4]), (std::vector<int>{kMSoft, kI, kI, kL, kCz, kY + kFinalOffset}));
}

// The last stressed word before a comma or a full stop has its vowel
// doubled, whatever the next word begins with: a comma before a vowel also
// carries the pause between words (108 then 107), and without fluent speech
// every word does. A lone pause between words is no such pause.
TEST_F(Phrases, TheLastStressBeforeAPunctuationPauseIsLengthened) {
  const std::vector<int> doubled{kK, kO, kO, kT, kA + kFinalOffset};
  const std::vector<int> accented{kK, kO + kAccentOffset, kT, kA + kFinalOffset};
  auto with = [](std::vector<int> indices, int added) {
    indices.push_back(added);
    return indices;
  };
  struct Case {
    const char* text;
    bool fluent;
    std::vector<int> kota;
    std::vector<int> next;  // the token after kota
  } cases[] = {
      {"Mam kota, psa.", true, doubled, {kPausePunctuation}},
      {"Mam kota, albo psa.", true, doubled, {kPausePunctuation, kPauseInterWord}},
      {"Mam kota, psa.", false, with(doubled, kPauseInterWord), {kPausePunctuation, kPauseInterWord}},
      {"Mam kota.", false, with(doubled, kPauseInterWord), {kPauseInterSentence}},
      {"Mam kota (psa).", true, accented, {kPauseInterWord}},
      // A sentence pause given as an allophone list, inside the sentence.
      {"Mam kota\\Alf=(p100)\\ albo psa.", true, doubled, {kPauseInterSentence, kPauseInterWord}},
      {"Mam kota\\Alf=(p010)\\ albo psa.", true, accented, {kPauseInterWord, kPauseInterWord}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.fluent ? " fluent" : " every word accented"));
    settings.fluentSpeech = c.fluent;
    const auto tokens = Prepared(c.text);
    ASSERT_GE(tokens.size(), 3u);
    EXPECT_EQ(Indices(tokens[1]), c.kota);
    EXPECT_EQ(Indices(tokens[2]), c.next);
  }
}

TEST_F(Phrases, FinalDevoicingAndVoicingAcrossWords) {
  // Final devoicing of a phrase: chleb. Regressive voicing across words: "las duży".
  auto tokens = Prepared("chleb.");
  EXPECT_EQ(Indices(tokens[0]).back(), kP);
  tokens = Prepared("las duży");
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kL, kA + kAccentOffset, kZ}));
  // No progressive devoicing across words: the w of "las wielki" stays voiced.
  tokens = Prepared("kot wielki");
  EXPECT_EQ(Indices(tokens[0]).back(), kT);
  EXPECT_EQ(Indices(tokens[1])[0], kWSoft);
}

TEST_F(Phrases, PauseBeforeAVowelInFluentSpeech) {
  const auto tokens = Prepared("dom ojca");
  EXPECT_EQ(Indices(tokens[0]).back(), kPauseInterWord);
}

// Under intonation the long final forms end a phrase only, and no pause
// stands where the text has no punctuation; the stress is the same.
TEST_F(Phrases, WithIntonationFinalFormsEndOnlyAPhrase) {
  settings.prosody.intonation = true;
  auto tokens = Prepared("mama woła, tata milczy");
  ASSERT_EQ(tokens.size(), 5u);
  // mama inside the phrase: a plain final a; woła before the comma keeps
  // its doubled o and final a.
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kM, kA + kAccentOffset, kM, kA}));
  EXPECT_EQ(Indices(tokens[1]), (std::vector<int>{kW, kO, kO, kLDark, kA + kFinalOffset}));
  EXPECT_EQ(Indices(tokens[3]), (std::vector<int>{kT, kA + kAccentOffset, kT, kA}));
  EXPECT_EQ(Indices(tokens[4]), (std::vector<int>{kMSoft, kI, kI, kL, kCz, kY + kFinalOffset}));
  // A consonant's final form too, and a figure's boundary ends no phrase.
  tokens = Prepared("dom 5 dom");
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kD, kO + kAccentOffset, kM}));
  EXPECT_EQ(Indices(tokens.back()), (std::vector<int>{kD, kO, kO, kMFinal}));
}

TEST_F(Phrases, WithIntonationNoPauseWhereTheTextHasNone) {
  settings.prosody.intonation = true;
  auto tokens = Prepared("dom ojca");
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kD, kO + kAccentOffset, kM}));
  // Accent on every word is the user's choice of a pause after each.
  settings.fluentSpeech = false;
  tokens = Prepared("dom ojca");
  EXPECT_EQ(Indices(tokens[0]).back(), kPauseInterWord);
}

// The phrase step tells the stage which vowel carries each word's stress
// and which word carries its group's pitch accent: the word before a
// one-syllable host, else the host.
TEST_F(Phrases, StressedVowelAndGroupAccentAreKept) {
  auto tokens = Prepared("na dom.");
  EXPECT_TRUE(tokens[0].groupAccent);
  EXPECT_FALSE(tokens[1].groupAccent);
  EXPECT_EQ(tokens[0].stressedElement, 1);  // n a'
  EXPECT_EQ(tokens[1].stressedElement, 1);  // d o o m_: the first of the doubled o
  tokens = Prepared("mama woła.");
  EXPECT_TRUE(tokens[0].groupAccent);
  EXPECT_TRUE(tokens[1].groupAccent);
  EXPECT_EQ(tokens[0].stressedElement, 1);
  EXPECT_EQ(tokens[1].stressedElement, 1);
  // A word without a vowel has no stress.
  tokens = Prepared("w dom.");
  EXPECT_EQ(tokens[0].stressedElement, -1);
}

TEST_F(Phrases, ControlTokensKeepTheirArguments) {
  // A speed argument of 56 is the index of a soft w; voicing across the word
  // boundary must not touch it.
  const auto tokens = Prepared("\\Spd=55\\kot");
  ASSERT_GE(tokens.size(), 2u);
  EXPECT_EQ(Indices(tokens[0]), (std::vector<int>{kControlBase + 7, 56}));
}

TEST(FunctionWords, TheTwentyTwoWords) {
  for (const char* word : {"że", "ze", "za", "we", "u", "to", "przy", "po", "od", "o", "nie", "na", "jest", "i", "do",
                           "dla", "czy", "co", "by", "bo", "bez", "a"}) {
    EXPECT_TRUE(IsFunctionWord(cp1250::FromUtf8(word))) << word;
  }
  // Short words that are not in the set, among them other Polish function
  // words: a set with a word too many would make them lean on their host.
  for (const char* word : {"dom", "w", "z", "ja", "ty", "on", "się", "ale", "lub", "jak", "już", "oraz", "przez",
                           "pod", "nad", "też", "tu", "ta", "ten", "mi", "go", "no", "zo", "ża", "", "na "}) {
    EXPECT_FALSE(IsFunctionWord(cp1250::FromUtf8(word))) << word;
  }
  EXPECT_FALSE(IsFunctionWord("Na"));  // the set holds folded words only
}

}  // namespace
}  // namespace vokar
