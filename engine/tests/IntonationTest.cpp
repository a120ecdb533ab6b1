// The plan of a sentence's melody and rhythm: its kind, the pauses it
// gives time, and the shape of the melody for each kind of sentence.
#include "Intonation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "TextScanner.h"
#include "support/VoicedInventory.h"

namespace vokar {
namespace {

using namespace allo;

class Melody : public ::testing::Test {
 protected:
  void SetUp() override { testing::FillVoicedInventory(db, settings); }

  // The first sentence of a text, prepared, with its plan.
  const CUtterance& Sentence(const std::string& utf8, const ProsodySettings& prosody = {}) {
    settings.prosody = prosody;
    text = cp1250::FromUtf8(utf8);
    scanner = std::make_unique<CTextScanner>(text, ScannerContext{settings, db, nullptr, sink});
    const CUtterance* utterance = scanner->NextUtterance();
    EXPECT_NE(utterance, nullptr);
    plan = PlanSentence(*utterance, db, settings, prosody);
    return *utterance;
  }

  // The vowels of the sentence as (start, end) at normal speed.
  std::vector<std::pair<double, double>> Vowels(const CUtterance& u) const {
    std::vector<std::pair<double, double>> out;
    const auto& tokens = u.Tokens();
    for (std::size_t t = 0; t < tokens.size(); ++t) {
      if (tokens[t].control) continue;
      for (std::size_t e = 0; e < tokens[t].allophones.size(); ++e) {
        const auto& sound = plan.sounds[plan.firstSound[t] + e];
        if (db.ClassBits(tokens[t].allophones[e].index) & classbits::kVowel)
          out.emplace_back(sound.start, sound.start + sound.length);
      }
    }
    return out;
  }

  double MedianPitch(const CUtterance& u) const {
    std::vector<double> v;
    for (const auto& [a, b] : Vowels(u)) v.push_back(plan.PitchAt((a + b) / 2));
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  // The melody where the last vowel ends, against the median of the vowels.
  double EndAgainstMedian(const CUtterance& u) const {
    return plan.PitchAt(Vowels(u).back().second - 1) - MedianPitch(u);
  }

  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CSilentSink sink;
  std::string text;
  std::unique_ptr<CTextScanner> scanner;
  SentencePlan plan;
};

TEST_F(Melody, TheKindOfASentence) {
  struct Case {
    const char* text;
    SentenceKind kind;
  } cases[] = {
      {"Pies biegnie po lesie.", SentenceKind::Statement},
      {"Pies biegnie po lesie", SentenceKind::Statement},
      {"Pies biegnie po lesie!", SentenceKind::Exclamation},
      {"Pies biegnie po lesie?", SentenceKind::YesNoQuestion},
      {"Czy pies biegnie po lesie?", SentenceKind::YesNoQuestion},
      {"Czy wiesz, gdzie jest pies?", SentenceKind::YesNoQuestion},
      {"Gdzie biegnie pies?", SentenceKind::WordQuestion},
      {"Kto to był?", SentenceKind::WordQuestion},
      {"Z kim idziesz?", SentenceKind::WordQuestion},
      {"A dlaczego?", SentenceKind::WordQuestion},
      {"Pies, który biegnie?", SentenceKind::YesNoQuestion},
      {"?", SentenceKind::YesNoQuestion},
  };
  for (const auto& c : cases) EXPECT_EQ(KindOfSentence(Sentence(c.text)), c.kind) << c.text;
}

TEST_F(Melody, StatementsAndQuestionsWithAQuestionWordFallYesNoQuestionsRise) {
  struct Case {
    const char* text;
    double low, high;  // where the end stands against the median, semitones
  } cases[] = {
      {"Pies biegnie po lesie.", -20.0, -2.0},
      {"Mama ma kota.", -20.0, -2.0},
      {"Gdzie biegnie pies?", -20.0, -2.0},
      {"Pies biegnie po lesie!", -20.0, -2.5},
      {"Pies biegnie po lesie?", 2.0, 20.0},
      {"Czy pies biegnie po lesie?", 2.0, 20.0},
      {"Czy dom?", 2.0, 20.0},
  };
  for (const auto& c : cases) {
    const double end = EndAgainstMedian(Sentence(c.text));
    EXPECT_GE(end, c.low) << c.text;
    EXPECT_LE(end, c.high) << c.text;
  }
  // An exclamation falls further than a statement of the same words.
  const double statement = EndAgainstMedian(Sentence("Pies biegnie po lesie."));
  EXPECT_LT(EndAgainstMedian(Sentence("Pies biegnie po lesie!")), statement);
}

TEST_F(Melody, APhraseBeforeACommaEndsRisingAndTheLineFalls) {
  const CUtterance& u = Sentence("Mama ma kota, a pies biegnie po lesie.");
  // kota before the comma: from its stressed o to the end of its a the
  // melody rises.
  const auto& tokens = u.Tokens();
  ASSERT_EQ(cp1250::ToUtf8(tokens[2].text), "kota");
  const auto& kota = tokens[2];
  ASSERT_GE(kota.stressedElement, 0);
  const auto o = plan.sounds[plan.firstSound[2] + static_cast<std::size_t>(kota.stressedElement)];
  const auto a = plan.sounds[plan.firstSound[2] + kota.allophones.size() - 1];
  EXPECT_GE(plan.PitchAt(a.start + a.length - 1) - plan.PitchAt(o.start), 2.0);
  const auto vowels = Vowels(u);
  // The line falls through the sentence: the first vowel stands higher
  // than the last vowel's start.
  EXPECT_GT(plan.PitchAt(vowels.front().first), plan.PitchAt(vowels.back().first));
}

// A pitch accent is a smooth peak on its stressed vowel, 1.5 semitones and
// more over the vowels on either side.
TEST_F(Melody, AccentsArePeaksOnTheirStressedVowels) {
  const CUtterance& u = Sentence("Mama kupiła kota i psa.");
  const auto vowels = Vowels(u);
  // ma-ma: the first a carries the accent of mama; ku-pi-ła: the i.
  for (const std::size_t stressed : {std::size_t{0}, std::size_t{3}}) {
    double peak = -100.0;
    for (double t = vowels[stressed].first; t < vowels[stressed].second; t += 50) peak = std::max(peak, static_cast<double>(plan.PitchAt(t)));
    const auto mid = [&](std::size_t v) { return plan.PitchAt((vowels[v].first + vowels[v].second) / 2); };
    if (stressed > 0) {
      EXPECT_GE(peak - mid(stressed - 1), 1.5) << stressed;
    }
    EXPECT_GE(peak - mid(stressed + 1), 1.5) << stressed;
  }
  // Smooth: the melody moves at most 55 semitones a second, 1.1 from one
  // 20 ms value to the next, also in its steepest movements (a statement's
  // fall off its last accent, a short question's rise).
  for (std::size_t i = 1; i < plan.contour.size(); ++i) EXPECT_LT(std::abs(plan.contour[i] - plan.contour[i - 1]), 1.1) << i;
  Sentence("Czy dom?");
  for (std::size_t i = 1; i < plan.contour.size(); ++i) EXPECT_LT(std::abs(plan.contour[i] - plan.contour[i - 1]), 1.1) << i;
}

TEST_F(Melody, ThePitchRangeScalesTheMelody) {
  Sentence("Pies biegnie po lesie?");
  const auto normal = plan.contour;
  Sentence("Pies biegnie po lesie?", {true, true, 0.0, 2.0});
  ASSERT_EQ(plan.contour.size(), normal.size());
  for (std::size_t i = 0; i < normal.size(); ++i) EXPECT_NEAR(plan.contour[i], 2.0 * normal[i], 1e-4);
  Sentence("Pies biegnie po lesie?", {true, true, 0.0, 0.0});
  for (const float v : plan.contour) EXPECT_EQ(v, 0.0f);
}

TEST_F(Melody, PausesTakeTimeWhereTheTextHasPunctuation) {
  const auto pauseOf = [&](const CUtterance& u, unsigned char mark) {
    for (std::size_t t = 0; t < u.Tokens().size(); ++t)
      if (u.Tokens()[t].text == std::string(1, static_cast<char>(mark))) return plan.sounds[plan.firstSound[t]].length;
    return ~0u;
  };
  // The defaults, stored or not: the fluent lengths.
  const CUtterance& u = Sentence("Raz, dwa.");
  EXPECT_EQ(pauseOf(u, ','), static_cast<std::uint32_t>(kFluentPunctuationPause * 22050 / 100));
  EXPECT_EQ(pauseOf(u, '.'), static_cast<std::uint32_t>(kFluentSentencePause * 22050 / 100));
  settings.sound["PausePunctation"] = 50;
  settings.sound["PauseInterSentence"] = 100;
  {
    const CUtterance& v = Sentence("Raz, dwa.");
    EXPECT_EQ(pauseOf(v, ','), static_cast<std::uint32_t>(kFluentPunctuationPause * 22050 / 100));
    EXPECT_EQ(pauseOf(v, '.'), static_cast<std::uint32_t>(kFluentSentencePause * 22050 / 100));
  }
  // A user's own lengths, one hundredth either side of the default, stay.
  // The loader made the entries from them.
  for (const int stored : {49, 51}) {
    settings.sound["PausePunctation"] = stored;
    CAllophoneDb own;
    testing::FillVoicedInventory(own, settings);
    std::swap(db, own);
    const CUtterance& v = Sentence("Raz, dwa.");
    EXPECT_EQ(pauseOf(v, ','), static_cast<std::uint32_t>(stored * 22050 / 100)) << stored;
    std::swap(db, own);
  }
  // The same for the sentence's pause, each setting on its own: at 100 (the
  // default) the fluent 0.30 s, 6615 samples; at 99 and 101 the user's own
  // 0.99 s and 1.01 s (21829.5 and 22270.5 samples, whole ones kept), while
  // the comma, at its default, keeps its fluent 0.20 s, 4410 samples.
  settings.sound["PausePunctation"] = 50;
  for (const auto& [stored, expected] : {std::pair{100, 6615u}, {99, 21829u}, {101, 22270u}}) {
    settings.sound["PauseInterSentence"] = stored;
    CAllophoneDb own;
    testing::FillVoicedInventory(own, settings);
    std::swap(db, own);
    const CUtterance& v = Sentence("Raz, dwa.");
    EXPECT_EQ(pauseOf(v, '.'), expected) << stored;
    EXPECT_EQ(pauseOf(v, ','), 4410u) << stored;
    std::swap(db, own);
  }
  settings.sound.erase("PauseInterSentence");
  // A figure's boundary takes no time; without intonation it is the entry.
  const CUtterance& w = Sentence("Mam 5 kotów.");
  std::uint32_t boundary = ~0u;
  for (std::size_t t = 0; t < w.Tokens().size(); ++t)
    if (w.Tokens()[t].text == std::string(1, static_cast<char>(kBoundaryFigure))) boundary = plan.sounds[plan.firstSound[t]].length;
  EXPECT_EQ(boundary, 0u);
  const CUtterance& x = Sentence("Mam 5 kotów.", {false, true});
  for (std::size_t t = 0; t < x.Tokens().size(); ++t) {
    if (x.Tokens()[t].text == std::string(1, static_cast<char>(kBoundaryFigure))) {
      EXPECT_EQ(plan.sounds[plan.firstSound[t]].length, db.Length(kPauseInterWord));
    }
  }
}

TEST_F(Melody, WithoutIntonationThereIsNoMelodyAndTheSoundsKeepTheirLengths) {
  const CUtterance& u = Sentence("Raz, dwa.", {false, true});
  EXPECT_TRUE(plan.contour.empty());
  EXPECT_EQ(plan.PitchAt(1000), 0.0f);
  const auto& tokens = u.Tokens();
  std::uint32_t at = 0;
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    for (std::size_t e = 0; e < tokens[t].allophones.size(); ++e) {
      const auto& sound = plan.sounds[plan.firstSound[t] + e];
      EXPECT_EQ(sound.start, at);
      EXPECT_EQ(sound.length, db.Length(tokens[t].allophones[e].index));
      at += sound.length;
    }
  }
}

}  // namespace
}  // namespace vokar

namespace vokar {
namespace {

// The rhythm of fluent speech: vowels shorter than recorded (unstressed ones
// more), the vowel that ends a phrase longer, the second half of a doubled
// stressed vowel a little over half, consonants a little shorter; sounds
// outside words (an allophone list) as recorded.
TEST_F(Melody, TheRhythmOfFluentSpeech) {
  const CUtterance& u = Sentence("Mama woła kota.");
  const auto& tokens = u.Tokens();
  const auto length = [&](std::size_t t, std::size_t e) { return plan.sounds[plan.firstSound[t] + e].length; };
  const auto own = [&](std::size_t t, std::size_t e) { return static_cast<double>(db.Length(tokens[t].allophones[e].index)); };
  // mama: m a' m a — the stressed a a little shorter than recorded, the
  // unstressed one more, the consonants shorter.
  EXPECT_EQ(length(0, 1), std::lround(own(0, 1) * rhythm::kStressedVowel));
  EXPECT_LT(length(0, 1), own(0, 1));
  EXPECT_GT(length(0, 1), length(0, 3));
  EXPECT_EQ(length(0, 3), std::lround(own(0, 3) * rhythm::kUnstressedVowel));
  EXPECT_EQ(length(0, 0), std::lround(own(0, 0) * rhythm::kConsonant));
  // kota before the full stop: k o o t a_ — the doubled o's second half and
  // the phrase's last vowel.
  ASSERT_EQ(tokens[2].allophones.size(), 5u);
  EXPECT_EQ(length(2, 1), std::lround(own(2, 1) * rhythm::kStressedVowel));
  EXPECT_EQ(length(2, 2), std::lround(own(2, 2) * rhythm::kDoubledHalf));
  EXPECT_EQ(length(2, 4), std::lround(own(2, 4) * rhythm::kPhraseFinalVowel));
  const CUtterance& v = Sentence("\\Alf=(m a m a)\\.");
  for (std::size_t e = 0; e < v.Tokens()[0].allophones.size(); ++e)
    EXPECT_EQ(plan.sounds[plan.firstSound[0] + e].length, db.Length(v.Tokens()[0].allophones[e].index));
}

}  // namespace
}  // namespace vokar
