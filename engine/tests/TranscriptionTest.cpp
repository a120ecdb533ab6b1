#include "Transcription.h"

#include <gtest/gtest.h>

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "support/TestInventory.h"

namespace vokar {
namespace {

using namespace allo;

CWordToken Token(const std::string& utf8, bool colloquial = true) {
  CWordToken token;
  token.text = cp1250::FromUtf8(utf8);
  token.colloquial = colloquial;
  Transcribe(token);
  return token;
}

std::vector<int> Indices(const CWordToken& token) {
  std::vector<int> out;
  for (const auto& e : token.allophones) out.push_back(e.index);
  return out;
}

class Rules : public ::testing::Test {
 protected:
  void SetUp() override { testing::FillTestInventory(db, settings); }
  std::vector<int> AfterRules(const std::string& utf8, bool colloquial = true) {
    CWordToken token = Token(utf8, colloquial);
    WordRules(token, db);
    return Indices(token);
  }
  CSpeechSettingsValues settings;
  CAllophoneDb db;
};

TEST(Transcribe, LettersAndDigraphs) {
  EXPECT_EQ(Indices(Token("chrząszcz")), (std::vector<int>{kCh, kZh, kANasal, kSz, kCz}));
  EXPECT_EQ(Indices(Token("kwiat")), (std::vector<int>{kK, kWSoft, kIGlide, kIa, kT}));
  EXPECT_EQ(Indices(Token("Anna")), (std::vector<int>{kA, kNBeforeN, kN, kA}));
  EXPECT_EQ(Indices(Token("dżdżownica")), (std::vector<int>{kDzh, kDzh, kO, kW, kNi, kI, kC, kA}));
  EXPECT_EQ(Indices(Token("bank")), (std::vector<int>{kB, kA, kNVelar, kK}));
  EXPECT_EQ(Indices(Token("łuk")), (std::vector<int>{kUGlide, kU, kK}));
  EXPECT_EQ(Indices(Token("Óśćźż")), (std::vector<int>{kU, kSi, kCi, kZi, kZh}));
  EXPECT_EQ(Indices(Token("xq")), (std::vector<int>{kK, kS, kK, kU}));
}

TEST(Transcribe, SoftIMergesWithTheNextVowelOrStandsAlone) {
  // ci + e: soft c without a glide; bie: soft b with the i glide.
  EXPECT_EQ(Indices(Token("ciebie")), (std::vector<int>{kCi, kIe, kB + 1, kIGlide, kIe}));
  // nic: soft n and the i as a vowel of its own.
  EXPECT_EQ(Indices(Token("nic")), (std::vector<int>{kNi, kI, kC}));
  // dzie: dz softened after the z.
  EXPECT_EQ(Indices(Token("dzień")), (std::vector<int>{kDzi, kIe, kNi}));
  // chi: the soft h of ch, with the glide before a vowel.
  EXPECT_EQ(Indices(Token("chiór")), (std::vector<int>{kChi, kIGlide, kIu, kR}));
  // siy is no Polish spelling: the default entry.
  EXPECT_EQ(Indices(Token("siy")), (std::vector<int>{kDefault}));
  // A word-initial i before a vowel is one soft vowel; ii is the accented i.
  EXPECT_EQ(Indices(Token("iii")), (std::vector<int>{kIiAccented, kI}));
}

TEST(Transcribe, GlidesAndJ) {
  EXPECT_EQ(Indices(Token("auto")), (std::vector<int>{kA, kUGlide, kU, kT, kO}));
  EXPECT_EQ(Indices(Token("kraj")), (std::vector<int>{kK, kR, kA, kJ}));
  EXPECT_EQ(Indices(Token("jajo")), (std::vector<int>{kJ, kIa, kJ, kIo}));
  EXPECT_EQ(Indices(Token("jy")), (std::vector<int>{kDefault}));
}

TEST(Transcribe, PunctuationBecomesPausesOrNothing) {
  EXPECT_EQ(Indices(Token(".")), std::vector<int>{kPauseInterSentence});
  EXPECT_EQ(Indices(Token(",")), std::vector<int>{kPausePunctuation});
  EXPECT_EQ(Indices(Token("\n")), std::vector<int>{kPausePunctuation});
  EXPECT_EQ(Indices(Token("(")), std::vector<int>{kPauseInterWord});
  EXPECT_EQ(Indices(Token("\x05")), std::vector<int>{kPausePunctuation});
  EXPECT_EQ(Indices(Token("\x06")), std::vector<int>{kPauseInterWord});
  EXPECT_EQ(Indices(Token("\x07")), std::vector<int>{kPauseDoubleLetter});
  for (const char* silent : {"-", "\"", "/", "*", "\xE2\x80\x94"}) {
    const CWordToken token = Token(silent);
    EXPECT_TRUE(token.silent) << silent;
    EXPECT_TRUE(token.allophones.empty()) << silent;
  }
}

TEST(Transcribe, ControlTokensAreFixedPseudoAllophones) {
  CWordToken speed;
  speed.text = std::string{'\x03', '\x07', '\x51'};
  Transcribe(speed);
  EXPECT_TRUE(speed.control);
  ASSERT_EQ(speed.allophones.size(), 2u);
  EXPECT_EQ(speed.allophones[0], (AllophoneElement{kControlBase + 7, true}));
  EXPECT_EQ(speed.allophones[1], (AllophoneElement{0x51, true}));

  CWordToken list;
  list.text = std::string{'\x03', '\x01', '\x02', '\x01', '\x4F'};
  Transcribe(list);
  EXPECT_TRUE(list.allophoneList);
  EXPECT_FALSE(list.control);
  EXPECT_EQ(list.allophones, (std::vector<AllophoneElement>{{kA, true}, {kN, true}}));

  // A list token whose count claims more bytes than it has stops at its end.
  CWordToken truncated;
  truncated.text = std::string{'\x03', '\x01', '\x09', '\x01'};
  Transcribe(truncated);
  EXPECT_EQ(truncated.allophones.size(), 1u);
}

TEST_F(Rules, VoicingAssimilationInsideAWord) {
  // The w of kwiat loses its voice after k.
  EXPECT_EQ(AfterRules("kwiat"), (std::vector<int>{kK, kWSoft + kVoicingOffset, kIGlide, kIa, kT}));
  // Regressive: the voiced b of "babka" devoices before k.
  EXPECT_EQ(AfterRules("babka"), (std::vector<int>{kB, kA, kP, kK, kA}));
  // Regressive: a voiceless consonant takes voice before a voiced one (prośba).
  EXPECT_EQ(AfterRules("prośba"), (std::vector<int>{kP, kR, kO, kZi, kB, kA}));
  // trz: rz after t is devoiced to sz.
  EXPECT_EQ(AfterRules("trzy"), (std::vector<int>{kT, kSz, kY}));
}

TEST_F(Rules, ColloquialNasalVowels) {
  EXPECT_EQ(AfterRules("ręka", true), (std::vector<int>{kR, kE, kN, kK, kA}));
  EXPECT_EQ(AfterRules("ręka", false), (std::vector<int>{kR, kENasal, kK, kA}));
  EXPECT_EQ(AfterRules("dąb", true), (std::vector<int>{kD, kO, kM, kB}));   // ą before b: om
  EXPECT_EQ(AfterRules("kąpać", true), (std::vector<int>{kK, kO, kM, kP, kA, kCi}));
  EXPECT_EQ(AfterRules("pięć", true), (std::vector<int>{kP + 1, kIGlide, kIe, kNi, kCi}));
  // Before a fricative the vowel stays nasal.
  EXPECT_EQ(AfterRules("węszy", true), (std::vector<int>{kW, kENasal, kSz, kY}));
  EXPECT_EQ(AfterRules("idę", true), (std::vector<int>{kI, kD, kE}));
  EXPECT_EQ(AfterRules("idę", false), (std::vector<int>{kI, kD, kENasal}));
}

TEST_F(Rules, TwoVowelsAndDoubledConsonants) {
  // The first of two vowels closes its syllable; the second, not last, is accented.
  EXPECT_EQ(AfterRules("poeta"), (std::vector<int>{kP, kO + kFinalOffset, kE + kAccentOffset, kT, kA}));
  // The second vowel at the end of the word keeps its plain form.
  EXPECT_EQ(AfterRules("boa"), (std::vector<int>{kB, kO + kFinalOffset, kA}));
  EXPECT_EQ(AfterRules("Emma"), (std::vector<int>{kE, kM, kPauseDoubleLetter, kM, kA}));
  EXPECT_EQ(AfterRules("Ełłk"), (std::vector<int>{kE, kLDark, kPauseDoubleLetter, kLDark, kK}));
}

TEST_F(Rules, FixedElementsAreNeverChanged) {
  CWordToken token;
  token.text = "x";
  token.allophones = {{kB, true}, {kK, false}, {kANasal, true}, {kP, false}};
  token.colloquial = true;
  WordRules(token, db);
  EXPECT_EQ(token.allophones, (std::vector<AllophoneElement>{{kB, true}, {kK, false}, {kANasal, true}, {kP, false}}));
}

}  // namespace
}  // namespace vokar
