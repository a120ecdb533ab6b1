// The voice recipe and the cutter that finds each allophone in its carrier,
// on hand-made signals with known phoneme marks, and the signal sounds.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>

#include "Cutter.h"
#include "Recipe.h"
#include "Signals.h"

namespace vokar::voicegen {
namespace {

TEST(Recipe, ReadsProsodiesAndEntries) {
  auto r = ParseRecipe(
      "voice pl\n"
      "version \"v 1\"\n"
      "prosody plain pitch=56 range=0 rate=165\n"
      "1  speech plain \"'a\" a skip=25 len=80\n"
      "63 speech plain \"'apa\" p#2 pre=30 gain=2 fade=1 post=5\n"
      "98 signal tick\n"
      "106 silence 30\n",
      "r.recipe");
  ASSERT_TRUE(r) << r.Error().ToString();
  EXPECT_EQ(r->voice, "pl");
  EXPECT_EQ(r->versionText, "v 1");
  EXPECT_EQ(r->prosodies.at("plain").pitch, 56);
  EXPECT_EQ(r->prosodies.at("plain").range, 0);
  EXPECT_EQ(r->prosodies.at("plain").rate, 165);
  ASSERT_EQ(r->entries.size(), 4u);
  EXPECT_EQ(r->entries[0].carrier, "'a");
  EXPECT_DOUBLE_EQ(r->entries[0].skipMs, 25);
  EXPECT_DOUBLE_EQ(*r->entries[0].lengthMs, 80);
  EXPECT_EQ(r->entries[1].phoneme, "p");
  EXPECT_EQ(r->entries[1].occurrence, 2);
  EXPECT_DOUBLE_EQ(r->entries[1].preMs, 30);
  EXPECT_DOUBLE_EQ(r->entries[1].postMs, 5);
  EXPECT_DOUBLE_EQ(r->entries[1].gainDb, 2);
  EXPECT_EQ(r->entries[2].kind, RecipeKind::Signal);
  EXPECT_EQ(r->entries[2].design, "tick");
  EXPECT_EQ(r->entries[3].kind, RecipeKind::Silence);
  EXPECT_DOUBLE_EQ(r->entries[3].silenceMs, 30);
}

TEST(Recipe, MistakesNameTheirLine) {
  const struct {
    const char* text;
    std::size_t line;
  } cases[] = {
      {"1 speech plain \"a\" a\n", 1},                           // unknown prosody
      {"prosody p pitch=200\n", 1},
      {"prosody p\n1 speech p \"a\" a\n1 silence 3\n", 3},       // index twice
      {"prosody p\n\n1 speech p \"a\" a len=-1\n", 3},
      {"prosody p\n1 speech p \"a\" a#0\n", 2},
      {"1 whisper\n", 1},
      {"1 silence\n", 1},
      {"prosody p\n1 speech p \"a a\n", 2},
  };
  for (const auto& c : cases) {
    auto r = ParseRecipe(c.text, "r.recipe");
    ASSERT_FALSE(r) << c.text;
    EXPECT_EQ(r.Error().position, c.line) << c.text << " -> " << r.Error().ToString();
  }
}

// A carrier of three phonemes: a loud vowel (0-2000), a silent closure and a
// burst (2000-3000, the consonant's mark at 2500 as the synthesiser puts
// it), another vowel (3000-5000) that fades out.
Synthesis Carrier() {
  Synthesis s;
  s.samples.resize(5000);
  for (std::size_t i = 0; i < 5000; ++i) {
    const double vowel = std::sin(2 * std::numbers::pi * 700 * i / 22050);
    if (i < 1800) s.samples[i] = static_cast<float>(0.5 * vowel);
    else if (i >= 2500 && i < 2700) s.samples[i] = (i % 2 ? 0.2f : -0.2f);
    else if (i >= 3000 && i < 4500) s.samples[i] = static_cast<float>(0.4 * vowel);
  }
  s.marks = {{"a", 0}, {"t", 2500}, {"a", 3000}, {"_:", 5000}};
  return s;
}

TEST(Cutter, StopTakesItsClosureFromBeforeTheMark) {
  const Synthesis carrier = Carrier();
  auto plain = FindCut(carrier, {"t", 1, 0, std::nullopt, 0, 0});
  ASSERT_TRUE(plain) << plain.Error().ToString();
  EXPECT_NEAR(static_cast<double>(plain->begin), 2500, 40);
  auto withClosure = FindCut(carrier, {"t", 1, 0, std::nullopt, 30, 0});
  ASSERT_TRUE(withClosure);
  EXPECT_NEAR(static_cast<double>(withClosure->begin), 2500 - 30 * 22.05, 40);
  // The burst ends at 2700; the quiet rest up to the vowel is trimmed.
  EXPECT_LT(withClosure->end, 2800u);
  EXPECT_NEAR(withClosure->referenceRms, 0.5 / std::sqrt(2.0), 0.02);
}

TEST(Cutter, OccurrenceSkipAndLength) {
  const Synthesis carrier = Carrier();
  auto second = FindCut(carrier, {"a", 2, 0, std::nullopt, 0, 0});
  ASSERT_TRUE(second);
  EXPECT_NEAR(static_cast<double>(second->begin), 3000, 40);
  EXPECT_NEAR(static_cast<double>(second->end), 4500, 120);  // the silent tail trimmed
  auto limited = FindCut(carrier, {"a", 2, 10, 20.0, 0, 0});
  ASSERT_TRUE(limited);
  EXPECT_NEAR(static_cast<double>(limited->begin), 3000 + 220, 40);
  EXPECT_NEAR(static_cast<double>(limited->end - limited->begin), 441, 70);
  // Cut points sit where the signal rises through zero.
  EXPECT_LE(carrier.samples[limited->begin - 1], 0.0f);
  EXPECT_GE(carrier.samples[limited->begin], 0.0f);
}

TEST(Cutter, MissingPhonemeListsWhatTheCarrierHolds) {
  auto cut = FindCut(Carrier(), {"k", 1, 0, std::nullopt, 0, 0});
  ASSERT_FALSE(cut);
  EXPECT_NE(cut.Error().description.find("a t a"), std::string::npos) << cut.Error().description;
  auto third = FindCut(Carrier(), {"a", 3, 0, std::nullopt, 0, 0});
  EXPECT_FALSE(third);
  auto tooShort = FindCut(Carrier(), {"a", 2, 0, 1.0, 0, 0});
  EXPECT_FALSE(tooShort);
}

TEST(Cutter, RisingZeroSearchStaysInBounds) {
  const std::vector<float> s{0.5f, -0.5f, 0.5f, -0.5f, 0.5f};
  EXPECT_EQ(NearestRisingZero(s, 1, 1), 2u);
  EXPECT_EQ(NearestRisingZero(s, 0, 10), 2u);
  const std::vector<float> flat(10, 0.3f);
  EXPECT_EQ(NearestRisingZero(flat, 5, 3), 5u);
  EXPECT_EQ(NearestRisingZero(flat, 9, 30), 9u);
}

TEST(Signals, EveryDesignIsShortQuietAtTheEdgesAndDistinct) {
  std::set<std::size_t> lengths;
  for (const char* design : {"tick", "ding", "sweepdown", "lowdouble", "rise2", "fall2", "rise3", "fall3"}) {
    const auto sound = SignalSound(design, 22050);
    ASSERT_TRUE(sound) << design;
    EXPECT_GT(sound->size(), 22050u / 50) << design;
    EXPECT_LT(sound->size(), 22050u * 2 / 5) << design;
    EXPECT_LT(std::abs(sound->front()), 0.02f) << design;
    EXPECT_LT(std::abs(sound->back()), 0.02f) << design;
    const float peak = *std::max_element(sound->begin(), sound->end());
    EXPECT_GT(peak, 0.1f) << design;
    EXPECT_LT(peak, 0.9f) << design;
  }
  EXPECT_NE(*SignalSound("rise2", 22050), *SignalSound("fall2", 22050));
  EXPECT_FALSE(SignalSound("siren", 22050));
}

}  // namespace
}  // namespace vokar::voicegen

namespace vokar::voicegen {
namespace {

TEST(Recipe, FallFlatAndReleaseHaveTheirLimits) {
  auto r = ParseRecipe("prosody f pitch=56 range=0 fall=2 flat=50\n"
                       "1 speech f \"'ap;a\" p; pre=30 release=25\n",
                       "r.recipe");
  ASSERT_TRUE(r) << r.Error().ToString();
  EXPECT_EQ(r->prosodies.at("f").fall, 2);
  EXPECT_EQ(r->prosodies.at("f").flat, 50);
  ASSERT_EQ(r->entries.size(), 1u);
  EXPECT_EQ(r->entries[0].phoneme, "p;");
  ASSERT_TRUE(r->entries[0].releaseMs);
  EXPECT_EQ(*r->entries[0].releaseMs, 25.0);
  // Both sides of each limit.
  EXPECT_TRUE(ParseRecipe("prosody f fall=12 flat=95\n", "r"));
  EXPECT_FALSE(ParseRecipe("prosody f fall=13\n", "r"));
  EXPECT_FALSE(ParseRecipe("prosody f flat=96\n", "r"));
  EXPECT_TRUE(ParseRecipe("prosody f fall=0 flat=0\n", "r"));
  EXPECT_FALSE(ParseRecipe("prosody f fall=-1\n", "r"));
  EXPECT_FALSE(ParseRecipe("prosody f\n1 speech f \"'a\" a release=-1\n", "r"));
}

TEST(Cutter, ASoftConsonantKeepsPartOfItsPalatalRelease) {
  // a (0-2000), p (2000-2600), its release ";" (2600-3600), a (3600-5000).
  Synthesis s;
  s.samples.resize(5000);
  for (std::size_t i = 0; i < 5000; ++i) {
    s.samples[i] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * 300 * i / 22050));
  }
  s.marks = {{"a", 0}, {"p", 2000}, {";", 2600}, {"a", 3600}, {"_:", 5000}};
  // 10 ms of the release: 220.5 samples after its mark, then the nearest
  // rising zero crossing within 1.5 ms.
  auto cut = FindCut(s, {"p;", 1, 0, std::nullopt, 0, 0, 10.0});
  ASSERT_TRUE(cut) << cut.Error().ToString();
  EXPECT_NEAR(static_cast<double>(cut->begin), 2000.0, 34.0);
  EXPECT_NEAR(static_cast<double>(cut->end), 2600.0 + 220.5, 34.0);
  // Without a limit, the whole release.
  auto whole = FindCut(s, {"p;", 1, 0, std::nullopt, 0, 0, std::nullopt});
  ASSERT_TRUE(whole);
  EXPECT_NEAR(static_cast<double>(whole->end), 3600.0, 34.0);
  // A plain p does not match where only a soft one is said, and a soft one
  // where there is none fails with the phonemes listed.
  s.marks = {{"a", 0}, {"p", 2000}, {"a", 2600}, {"_:", 5000}};
  auto missing = FindCut(s, {"p;", 1, 0, std::nullopt, 0, 0, std::nullopt});
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.Error().description.find("holds: a p a"), std::string::npos) << missing.Error().description;
}

}  // namespace
}  // namespace vokar::voicegen
