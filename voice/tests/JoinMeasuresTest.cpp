// The measures of joins on signals whose answer is known by construction: a
// periodic sound joined without a break or with fades, levels a known number
// of dB apart, pulse trains of known pitch; and the period grid, the gentle
// zero crossing and the falling pitch the voice recipe cuts and makes with.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "Audio.h"
#include "Cutter.h"
#include "JoinMeasures.h"
#include "PitchContour.h"

namespace vokar::voicegen {
namespace {

constexpr double kRate = kMeasureRate;

// A voiced-like sound: a decaying 700 Hz ringing started at every pulse of
// a 100 Hz train (period 220.5 samples), level `amplitude`.
std::vector<float> Voiced(std::size_t count, double f0 = 100.0, double amplitude = 0.5, double phase = 0.0) {
  std::vector<float> out(count);
  const double period = kRate / f0;
  for (std::size_t i = 0; i < count; ++i) {
    const double t = std::fmod(i + phase, period);
    out[i] = static_cast<float>(amplitude * std::exp(-t / 40.0) * std::sin(2 * std::numbers::pi * 700.0 * t / kRate));
  }
  return out;
}

std::vector<float> Noise(std::size_t count, double amplitude) {
  std::vector<float> out(count);
  std::uint32_t state = 12345;
  for (float& v : out) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<float>(amplitude * ((state >> 8) / 8388608.0 - 1.0));
  }
  return out;
}

TEST(SoundClasses, EntriesAndPhonemesFallIntoTheirClasses) {
  EXPECT_EQ(ClassOfEntry(1), SoundClass::Vowel);
  EXPECT_EQ(ClassOfEntry(48), SoundClass::Vowel);
  EXPECT_EQ(ClassOfEntry(49), SoundClass::VoicedStop);
  EXPECT_EQ(ClassOfEntry(63), SoundClass::VoicelessStop);
  EXPECT_EQ(ClassOfEntry(77), SoundClass::Nasal);
  EXPECT_EQ(ClassOfEntry(88), SoundClass::VoicelessFricative);
  EXPECT_EQ(ClassOfEntry(94), SoundClass::Liquid);
  EXPECT_EQ(ClassOfEntry(96), SoundClass::Glide);
  EXPECT_EQ(ClassOfEntry(107), SoundClass::Silence);
  EXPECT_EQ(ClassOfEntry(98), SoundClass::Other);
  EXPECT_EQ(ClassOfPhoneme("p;"), SoundClass::VoicelessStop);
  EXPECT_EQ(ClassOfPhoneme("n^"), SoundClass::Nasal);
  EXPECT_EQ(ClassOfPhoneme("ts;"), SoundClass::VoicelessAffricate);
  EXPECT_EQ(ClassOfPhoneme("E~"), SoundClass::Vowel);
  EXPECT_EQ(ClassOfPhoneme("a#"), SoundClass::Vowel);
  EXPECT_EQ(ClassOfPhoneme("_:"), SoundClass::Silence);
  EXPECT_EQ(ClassOfPhoneme("@@"), SoundClass::Other);
  EXPECT_TRUE(IsSonorant(SoundClass::Glide));
  EXPECT_FALSE(IsSonorant(SoundClass::VoicedStop));
  EXPECT_TRUE(IsVoiced(SoundClass::VoicedFricative));
  EXPECT_FALSE(IsVoiced(SoundClass::VoicelessAffricate));
}

TEST(Levels, StepsAreTheDifferenceInDecibels) {
  std::vector<float> s(2000, 0.5f);
  std::fill(s.begin() + 1000, s.end(), 0.05f);
  const Segment left{0, 1000, SoundClass::Vowel};
  const Segment right{1000, 2000, SoundClass::Nasal};
  EXPECT_NEAR(StepDb(s, left, right), 20.0, 0.01);
  EXPECT_NEAR(LevelDb(std::vector<float>(100, 0.5f)), -6.02, 0.01);
  EXPECT_EQ(LevelDb(std::vector<float>(100, 0.0f)), -100.0);
  // Silence against sound is capped.
  std::fill(s.begin() + 1000, s.end(), 0.0f);
  EXPECT_EQ(StepDb(s, left, right), 60.0);
}

TEST(Levels, AJoinWithoutABreakDoesNotDipAndFadesDo) {
  // One sound cut anywhere and joined again is the same sound.
  const auto whole = Voiced(4000);
  const Segment left{0, 2000, SoundClass::Vowel};
  const Segment right{2000, 4000, SoundClass::Vowel};
  EXPECT_LT(DipDb(whole, left, right), 1.0);
  // Faded out and in over 2 ms on both sides of the join, as every piece of
  // a voice was: the level falls for a few milliseconds.
  auto faded = whole;
  alf::FadeOut(std::span<float>(faded).first(2000), 44);
  alf::FadeIn(std::span<float>(faded).subspan(2000), 44);
  EXPECT_GE(DipDb(faded, left, right), kDipDb);
  JoinReport report = MeasureJoins(faded, std::vector<Segment>{left, right});
  EXPECT_EQ(report.sonorantJoins, 1u);
  EXPECT_EQ(report.dips, 1u);
  report = MeasureJoins(whole, std::vector<Segment>{left, right});
  EXPECT_EQ(report.dips, 0u);
  // A pause between two sounds is no join.
  const Segment pause{2000, 3000, SoundClass::Silence};
  const Segment after{3000, 4000, SoundClass::Vowel};
  report = MeasureJoins(faded, std::vector<Segment>{left, pause, after});
  EXPECT_EQ(report.sonorantJoins, 0u);
  EXPECT_TRUE(report.stepsDb.empty());
}

TEST(Pitch, PulseTrainsAreFoundAndNoiseIsNot) {
  const auto pitch = PitchHz(Voiced(1000, 100.0));
  ASSERT_TRUE(pitch);
  EXPECT_NEAR(*pitch, 100.0, 1.0);
  const auto high = PitchHz(Voiced(1000, 180.0));
  ASSERT_TRUE(high);
  EXPECT_NEAR(*high, 180.0, 3.0);  // whole-sample lags: 121-123 samples
  EXPECT_FALSE(PitchHz(Noise(1000, 0.3)));
  EXPECT_FALSE(PitchHz(Voiced(300)));  // shorter than the longest period and a margin
}

TEST(Pitch, JumpsAreMeasuredInSemitones) {
  auto s = Voiced(2000, 100.0);
  const auto up = Voiced(2000, 120.0);
  s.insert(s.end(), up.begin(), up.end());
  const Segment left{0, 2000, SoundClass::Vowel};
  const Segment right{2000, 4000, SoundClass::Vowel};
  const auto jump = PitchJumpSemitones(s, left, right);
  ASSERT_TRUE(jump);
  EXPECT_NEAR(*jump, 12.0 * std::log2(1.2), 0.2);  // 3.16
  const JoinReport report = MeasureJoins(s, std::vector<Segment>{left, right});
  EXPECT_EQ(report.voicedJoins, 1u);
  EXPECT_EQ(report.pitchJumps, 1u);
}

TEST(JoinReport, MedianOfOddAndEvenCountsAndSums) {
  JoinReport a;
  a.stepsDb = {9.0, 1.0, 5.0};
  a.sonorantJoins = 4;
  a.dips = 1;
  EXPECT_EQ(a.MedianStepDb(), 5.0);
  JoinReport b;
  b.stepsDb = {2.0};
  b.sonorantJoins = 4;
  a.Add(b);
  EXPECT_EQ(a.MedianStepDb(), 3.5);  // 1 2 | 5 9
  EXPECT_EQ(a.DipShare(), 1.0 / 8);
  EXPECT_EQ(JoinReport{}.MedianStepDb(), 0.0);
}

TEST(WaveCorrelation, ACopyIsOneWhateverItsLevelAndPlace) {
  const auto a = Noise(300, 0.5);
  std::vector<float> b(100, 0.0f);
  for (float v : a) b.push_back(v * 0.25f);
  EXPECT_NEAR(WaveCorrelation(a, b), 1.0, 1e-6);
  EXPECT_LT(WaveCorrelation(a, Voiced(300)), 0.5);
  // The same sound with as much again of another after it: 1/sqrt(2).
  auto longer = a;
  std::vector<float> tail(300);
  for (std::size_t i = 0; i < tail.size(); ++i) tail[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 3000.0 * i / kRate));
  double ea = 0, et = 0;
  for (float v : a) ea += v * v;
  for (float v : tail) et += v * v;
  longer.insert(longer.end(), tail.begin(), tail.end());
  EXPECT_NEAR(WaveCorrelation(a, longer), std::sqrt(ea / (ea + et)), 0.05);
  EXPECT_EQ(WaveCorrelation(a, std::vector<float>(10, 0.0f)), 0.0);
}

TEST(PeriodGrid, CutsFallAtTheSamePhaseOfAPeriodOnAGentleRisingZero) {
  // 100 Hz: a period of 220.5 samples, peaks at the pulses.
  const auto s = Voiced(6000);
  const auto peaks = PeriodPeaks(s, 1000, 5000, 220.5);
  ASSERT_GT(peaks.size(), 20u);
  for (std::size_t k = 1; k < peaks.size(); ++k) {
    EXPECT_NEAR(static_cast<double>(peaks[k] - peaks[k - 1]), 220.5, 1.5);
  }
  Cut cut{1234, 4321};
  AlignToPeriods(s, 220.5, cut);
  EXPECT_TRUE(cut.periodicBegin);
  EXPECT_TRUE(cut.periodicEnd);
  for (std::size_t at : {cut.begin, cut.end}) {
    EXPECT_LT(s[at - 1], 0.0f);
    EXPECT_GE(s[at], 0.0f);
    // The phase after the last peak: 0.55 of a period, within a tenth.
    std::size_t peak = peaks.front();
    for (std::size_t p : peaks) {
      if (p <= at) peak = p;
    }
    EXPECT_NEAR((at - peak) / 220.5, kCutPhase, 0.1) << at;
  }
  // Both ends at the same phase: the piece is a whole number of periods.
  const double periods = (cut.end - cut.begin) / 220.5;
  EXPECT_NEAR(periods, std::round(periods), 0.2);
  // Noise has no grid: nothing moves.
  const auto noise = Noise(6000, 0.3);
  Cut plain{1234, 4321};
  AlignToPeriods(noise, 220.5, plain);
  EXPECT_FALSE(plain.periodicBegin || plain.periodicEnd);
  EXPECT_EQ(plain.begin, 1234u);
  EXPECT_EQ(plain.end, 4321u);
}

TEST(PeriodGrid, TheQuietestRisingZeroIsChosen) {
  // Rising crossings at 2 (from -0.5 to 0.5) and at 6 (from -0.1 to 0.05).
  const std::vector<float> s{0.2f, -0.5f, 0.5f, 0.3f, -0.2f, -0.1f, 0.05f, 0.4f};
  EXPECT_EQ(QuietestRisingZero(s, 3, 3), 6u);
  EXPECT_EQ(QuietestRisingZero(s, 2, 1), 2u);  // the gentle one is out of reach
  EXPECT_EQ(QuietestRisingZero(std::vector<float>(8, 0.3f), 4, 3), 4u);
}

TEST(PitchContour, TheEndFallsByTheSemitonesAndTheStartStays) {
  const auto s = Voiced(8000);
  const auto peaks = PeriodPeaks(s, 0, s.size(), 220.5);
  const auto out = LowerPitchTowardsEnd(s, peaks, 3000, 6000, 2.0);
  ASSERT_EQ(out.size(), s.size());
  // Untouched before the grain nearest the start of the fall.
  for (std::size_t i = 0; i < 2800; ++i) ASSERT_EQ(out[i], s[i]) << i;
  const auto before = PitchHz(std::span<const float>(out).subspan(1500, 1000));
  const auto after = PitchHz(std::span<const float>(out).subspan(6200, 1000));
  ASSERT_TRUE(before);
  ASSERT_TRUE(after);
  EXPECT_NEAR(*before, 100.0, 1.0);
  // Two semitones down: 100 × 2^(-2/12) = 89.1 Hz.
  EXPECT_NEAR(*after, 89.1, 1.5);
  // Nothing to do without peaks or without a fall.
  EXPECT_EQ(LowerPitchTowardsEnd(s, {}, 3000, 6000, 2.0), s);
  EXPECT_EQ(LowerPitchTowardsEnd(s, peaks, 3000, 3000, 2.0), s);
}

}  // namespace
}  // namespace vokar::voicegen
