// The analysis of the voice for the prosody stage: the period of a piece,
// its pitch marks, where its voicing starts and stops, the low-pass of
// vowels and sonorants, and what kind each entry is.
#include "PitchMarks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "AllophoneIndex.h"
#include "support/VoicedInventory.h"

namespace vokar {
namespace {

using testing::kTestPeriod;

std::vector<std::int16_t> Train(int period, std::size_t periods, double noise = 0.0) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(period) * periods);
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double phase = std::fmod(static_cast<double>(i) + 0.55 * period, period);
    state = state * 1664525u + 1013904223u;
    const double random = static_cast<double>(state >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    out[i] = static_cast<std::int16_t>(std::lround(30000.0 * (0.8 * testing::Pulse(phase) + noise * random)));
  }
  return out;
}

std::vector<std::int16_t> Sine(double hz, std::size_t n) {
  std::vector<std::int16_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(2.0 * std::numbers::pi * hz * i / 22050.0)));
  return out;
}

double Rms(std::span<const std::int16_t> s) {
  double sum = 0.0;
  for (auto v : s) sum += static_cast<double>(v) * v;
  return std::sqrt(sum / static_cast<double>(s.size()));
}

// The periods the voice can have, 45 to 320 samples, are found to the
// sample; beyond them the analysis does not claim them.
TEST(PitchPeriod, FoundBetweenItsLimitsAndNotBeyond) {
  for (const int period : {kMinPeriod, 100, kTestPeriod, kMaxPeriod}) {
    const auto found = PeriodOf(Train(period, 2048 / static_cast<std::size_t>(period) + 3));
    ASSERT_TRUE(found) << period;
    EXPECT_NEAR(*found, period, 1.0) << period;
  }
  for (const int period : {kMinPeriod - 6, kMaxPeriod + 40}) {
    const auto found = PeriodOf(Train(period, 2048 / static_cast<std::size_t>(period) + 3));
    if (found) {
      EXPECT_GT(std::abs(*found - period), 2.0) << period << " found as " << *found;
    }
  }
  // Noise and silence have none; nor has a stretch too short to tell.
  EXPECT_FALSE(PeriodOf(std::vector<std::int16_t>(4000, 0)));
  std::vector<std::int16_t> noise(4000);
  std::uint32_t state = 7;
  for (auto& v : noise) v = static_cast<std::int16_t>((state = state * 1664525u + 1013904223u) >> 16);
  EXPECT_FALSE(PeriodOf(noise));
  const auto shortTrain = Train(kTestPeriod, 1);
  EXPECT_FALSE(PeriodOf(std::span<const std::int16_t>(shortTrain).first(2 * kMinPeriod + 3)));
}

TEST(PitchMarks, APieceVoicedThroughoutHasAMarkOnEveryPulse) {
  const auto train = Train(kTestPeriod, 8);
  const auto marks = TrackPeriods(train, kTestPeriod);
  ASSERT_EQ(marks.size(), 8u);
  EXPECT_TRUE(marks[0].startsRun);
  for (std::size_t i = 1; i < marks.size(); ++i) {
    EXPECT_FALSE(marks[i].startsRun);
    EXPECT_EQ(marks[i].at - marks[i - 1].at, static_cast<std::uint32_t>(kTestPeriod));
  }
  // The piece was cut 0.55 of a period after a pulse: the next one's peak
  // comes within the first half period.
  EXPECT_LT(marks[0].at, static_cast<std::uint32_t>(kTestPeriod / 2));
}

TEST(PitchMarks, AVoicedObstruentHasAStretchWhereverItIsVoiced) {
  // Voiced, then noise, then voiced again: two stretches.
  auto piece = Train(kTestPeriod, 5);
  std::vector<std::int16_t> hiss(4 * kTestPeriod);
  std::uint32_t state = 99;
  for (auto& v : hiss) v = static_cast<std::int16_t>(static_cast<std::int32_t>((state = state * 1664525u + 1013904223u) >> 16) - 32768);
  piece.insert(piece.end(), hiss.begin(), hiss.end());
  const auto tail = Train(kTestPeriod, 5);
  piece.insert(piece.end(), tail.begin(), tail.end());
  const auto marks = FindVoicedPeriods(piece, kTestPeriod);
  int stretches = 0;
  std::string seen;
  for (const auto& m : marks) {
    stretches += m.startsRun;
    seen += (m.startsRun ? " |" : " ") + std::to_string(m.at);
  }
  EXPECT_EQ(stretches, 2) << seen;
  for (const auto& m : marks) {
    const bool inNoise = m.at > 5u * kTestPeriod + kTestPeriod / 2 && m.at < 9u * kTestPeriod - kTestPeriod / 2;
    EXPECT_FALSE(inNoise) << m.at;
  }
}

TEST(LowPass, KeepsWhatVowelsHaveAndTakesOffTheHiss) {
  for (const double hz : {500.0, 3000.0, 4000.0}) {
    const auto sine = Sine(hz, 4000);
    const auto out = LowPassed(sine);
    const double db = 20.0 * std::log10(Rms(std::span(out).subspan(100, 3800)) / Rms(std::span(sine).subspan(100, 3800)));
    EXPECT_GT(db, -0.7) << hz;
    EXPECT_LT(db, 0.2) << hz;
  }
  for (const double hz : {7500.0, 9000.0, 10500.0}) {
    const auto sine = Sine(hz, 4000);
    const auto out = LowPassed(sine);
    const double db = 20.0 * std::log10(Rms(std::span(out).subspan(100, 3800)) / Rms(std::span(sine).subspan(100, 3800)));
    EXPECT_LT(db, -35.0) << hz;
  }
  // A piece that starts and ends on zero still does, near enough.
  const auto train = Train(kTestPeriod, 4);
  const auto out = LowPassed(train);
  EXPECT_LT(std::abs(out.front() - train.front()), 600);
  EXPECT_LT(std::abs(out.back() - train.back()), 600);
  EXPECT_TRUE(LowPassed({}).empty());
}

TEST(EntryAnalysis, EachEntryGetsItsKind) {
  const auto vowel = testing::VoicedSamples(8, 0.8, 0.0, 1);
  auto source = AnalyseEntry(allo::kA, classbits::kVowel, vowel, 0.0);
  EXPECT_EQ(source.kind, SourceKind::Speech);
  EXPECT_EQ(source.marks.size(), 8u);
  EXPECT_NEAR(source.period, kTestPeriod, 1.0);
  EXPECT_TRUE(source.voicedAtStart);
  EXPECT_TRUE(source.voicedAtEnd);
  EXPECT_EQ(source.samples.size(), vowel.size());
  // A voiceless consonant: speech without marks, its samples widened as
  // they are, 128 being 0.
  const std::vector<std::uint8_t> s{128, 129, 127, 255, 0};
  source = AnalyseEntry(allo::kS, classbits::kObstruent | classbits::kVoiceless, s, kTestPeriod);
  EXPECT_EQ(source.kind, SourceKind::Speech);
  EXPECT_TRUE(source.marks.empty());
  EXPECT_EQ(source.samples, (std::vector<std::int16_t>{0, 256, -256, 127 * 256, -128 * 256}));
  // Signals play as recorded, pauses are silence, an empty entry nothing.
  EXPECT_EQ(AnalyseEntry(98, 0x0001, vowel, kTestPeriod).kind, SourceKind::Signal);
  EXPECT_EQ(AnalyseEntry(allo::kPausePunctuation, classbits::kPause, std::vector<std::uint8_t>(100, 128), kTestPeriod).kind,
            SourceKind::Silence);
  EXPECT_EQ(AnalyseEntry(allo::kA, classbits::kVowel, {}, kTestPeriod).kind, SourceKind::Silence);
}

TEST(EntryAnalysis, TheLoadedVoiceKnowsItsPlainPeriod) {
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  testing::FillVoicedInventory(db, settings);
  EXPECT_NEAR(db.PlainPeriod(), kTestPeriod, 1.0);
  EXPECT_FALSE(db.Entry(allo::kA)->source.marks.empty());
  // An entry put in place after loading is analysed too.
  CAllophone o = *db.Entry(allo::kO);
  o.samples = testing::VoicedSamples(3, 0.8, 0.0, 5);
  db.SetEntry(o);
  EXPECT_EQ(db.Entry(allo::kO)->source.marks.size(), 3u);
}

}  // namespace
}  // namespace vokar
