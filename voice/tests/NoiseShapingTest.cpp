// The other ways of rounding to 8 bits that the noise measures compare with
// plain rounding: silence stays exactly 128 in each, the shaped noise lands
// where its filter puts it and stays bounded, and dither is repeatable and
// keeps the average of a weak sound. Threshold values are worked out by hand
// from 3.64 f^-0.8 - 6.5 exp(-0.6 (f - 3.3)^2) + 0.001 f^4.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "Audio.h"
#include "NoiseShaping.h"

namespace vokar::alf {
namespace {

constexpr int kRate = 22050;

// The power of a signal between two frequencies, by a plain DFT of the whole.
double BandPower(const std::vector<double>& x, double fromHz, double toHz) {
  double power = 0.0;
  const std::size_t n = x.size();
  for (std::size_t bin = 1; bin <= n / 2; ++bin) {
    const double hz = static_cast<double>(bin) * kRate / n;
    if (hz < fromHz || hz >= toHz) continue;
    std::complex<double> sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += x[i] * std::polar(1.0, -2.0 * std::numbers::pi * bin * i / n);
    power += std::norm(sum);
  }
  return power;
}

// Output minus input, in steps.
std::vector<double> Noise(const std::vector<float>& in, const std::vector<std::uint8_t>& out) {
  std::vector<double> noise(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) noise[i] = (out[i] - 128.0) - in[i] * 127.0;
  return noise;
}

// Noise-like sound some 20 steps strong, steady over its length.
std::vector<float> Hiss(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, 20.0 / 127.0);
  std::vector<float> x(n);
  for (float& v : x) v = static_cast<float>(normal(random));
  return x;
}

TEST(NoiseShaping, HearingThresholdAtKnownPoints) {
  const struct {
    double hz, db;
  } cases[] = {{1000, 3.3691}, {3300, -4.9809}, {10000, 10.5769}, {11000, 15.1755}, {200, 13.1706}};
  for (const auto& c : cases) EXPECT_NEAR(HearingThresholdDb(c.hz), c.db, 1e-3) << c.hz;
  // The shaping curve is held at its 1 kHz value below 1 kHz, and is the
  // threshold above it.
  EXPECT_NEAR(ShapingCurveDb(200), 3.3691, 1e-3);
  EXPECT_NEAR(ShapingCurveDb(999), 3.3691, 1e-3);
  EXPECT_NEAR(ShapingCurveDb(3300), -4.9809, 1e-3);
}

TEST(NoiseShaping, DesignedFilterFollowsTheCurveAndIsMinimumPhase) {
  EXPECT_TRUE(DesignNoiseShaping(kRate, 0).empty());
  EXPECT_TRUE(DesignNoiseShaping(0, 8).empty());
  const auto& filter = ThresholdNoiseShaping();
  ASSERT_EQ(filter.size(), 8u);
  // Differences of the response between frequencies match the curve's
  // within 2.5 dB (the curve: 3.3 kHz -4.98, 1 kHz 3.37, 10 kHz 10.58).
  const auto gain = [&](double hz) { return ShapingGainDb(filter, hz, kRate); };
  EXPECT_NEAR(gain(3300) - gain(10000), -4.9809 - 10.5769, 2.5);
  EXPECT_NEAR(gain(3300) - gain(1000), -4.9809 - 3.3691, 2.5);
  EXPECT_LT(gain(3300), -5.0);  // the keen band loses noise
  EXPECT_GT(gain(10000), 5.0);  // the top of the band takes it
  // A minimum-phase filter that starts with 1 has a response whose
  // logarithm averages 0 over the band.
  double mean = 0.0;
  const int points = 4000;
  for (int k = 0; k < points; ++k) mean += gain((k + 0.5) * kRate / 2.0 / points);
  EXPECT_NEAR(mean / points, 0.0, 0.05);
}

TEST(NoiseShaping, QuietRunsFromTheirLimitAndAtTheEnds) {
  const float loud = 10.0f / 127.0f;
  const float under = 0.49f / 127.0f;  // rounds to 128
  const float over = 0.51f / 127.0f;   // rounds to 129
  const auto block = [&](std::size_t run) {
    std::vector<float> x(40, loud);
    x.insert(x.end(), run, under);
    x.insert(x.end(), 40, loud);
    return x;
  };
  const auto shorter = QuietMask(block(kQuietRun - 1));
  const auto enough = QuietMask(block(kQuietRun));
  for (std::size_t i = 40; i < 40 + kQuietRun - 1; ++i) EXPECT_FALSE(shorter[i]) << i;
  for (std::size_t i = 40; i < 40 + kQuietRun; ++i) EXPECT_TRUE(enough[i]) << i;
  EXPECT_FALSE(enough[39]);
  EXPECT_FALSE(enough[40 + kQuietRun]);
  // Half a step or more is not quiet, however long.
  EXPECT_EQ(QuietMask(std::vector<float>(100, over)), std::vector<bool>(100, false));
  // A short run at either end of the block is quiet: a pause or another
  // piece comes next.
  std::vector<float> ends{under, under, loud, loud, under, -under, under};
  EXPECT_EQ(QuietMask(ends), (std::vector<bool>{true, true, false, false, true, true, true}));
  EXPECT_TRUE(QuietMask({}).empty());
}

TEST(NoiseShaping, SilenceStaysExactlyTheZeroLevelInEveryWay) {
  // Sound, a stretch of silence and of sound under half a step, sound again.
  std::vector<float> x = Hiss(500, 1);
  x.insert(x.end(), 300, 0.0f);
  // 0.45 of a step at 3.3 kHz, where the threshold shaping would follow it.
  for (int i = 0; i < 200; ++i) {
    x.push_back(static_cast<float>(0.45 / 127.0 * std::sin(2 * std::numbers::pi * 3300 * i / kRate)));
  }
  const auto tail = Hiss(500, 2);
  x.insert(x.end(), tail.begin(), tail.end());
  const std::vector<std::vector<std::uint8_t>> ways = {
      ToUnsigned8Shaped(x, ThresholdNoiseShaping(), nullptr), ToUnsigned8Following(x, nullptr),
      ToUnsigned8Dithered(x, 7, nullptr)};
  for (std::size_t w = 0; w < ways.size(); ++w) {
    for (std::size_t i = 500; i < 1000; ++i) ASSERT_EQ(ways[w][i], 128) << "way " << w << " sample " << i;
    // The sound around it is not silenced.
    std::size_t off = 0;
    for (std::size_t i = 0; i < 500; ++i) off += ways[w][i] != 128;
    EXPECT_GT(off, 400u) << "way " << w;
  }
}

TEST(NoiseShaping, EmptyFilterIsPlainRoundingAndClipsAreCounted) {
  const std::vector<float> x{0.0f, 0.3f, -0.3f, 1.2f, -1.5f, 0.99f, 0.5f / 127.0f * 0.9f};
  std::size_t plainClips = 0, shapedClips = 0;
  EXPECT_EQ(ToUnsigned8Shaped(x, {}, &shapedClips), ToUnsigned8(x, &plainClips));
  EXPECT_EQ(shapedClips, 2u);
  EXPECT_EQ(plainClips, 2u);
  const auto shaped = ToUnsigned8Shaped(x, ThresholdNoiseShaping(), &shapedClips);
  EXPECT_EQ(shapedClips, 2u);
  EXPECT_EQ(shaped[3], 255);
  EXPECT_EQ(shaped[4], 0);
}

TEST(NoiseShaping, ThresholdShapingMovesTheNoiseOutOfTheKeenBand) {
  const auto x = Hiss(4096, 3);
  const auto plain = Noise(x, ToUnsigned8(x, nullptr));
  const auto shaped = Noise(x, ToUnsigned8Shaped(x, ThresholdNoiseShaping(), nullptr));
  // The filter takes 7-8 dB off 3 kHz and adds 8-10 dB at 10-11 kHz.
  const double keen = 10 * std::log10(BandPower(shaped, 2500, 4000) / BandPower(plain, 2500, 4000));
  const double top = 10 * std::log10(BandPower(shaped, 9500, 11025) / BandPower(plain, 9500, 11025));
  EXPECT_LT(keen, -5.0);
  EXPECT_GT(top, 5.0);
  // Each output stays within half a step times (1 + the sum of the
  // filter's magnitudes) of the source.
  double bound = 1.0;
  for (double c : ThresholdNoiseShaping()) bound += std::abs(c);
  for (double n : shaped) ASSERT_LE(std::abs(n), 0.5 * bound + 1e-9);
}

TEST(NoiseShaping, FollowingNoiseHidesUnderALowSound) {
  // A vowel-like sound: strong at 300 and 600 Hz, nothing high up.
  std::vector<float> x(4096);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<float>((40.0 * std::sin(2 * std::numbers::pi * 300 * i / kRate) +
                               20.0 * std::sin(2 * std::numbers::pi * 600 * i / kRate + 1.0)) / 127.0);
  }
  const auto plain = Noise(x, ToUnsigned8(x, nullptr));
  const auto following = Noise(x, ToUnsigned8Following(x, nullptr));
  EXPECT_LT(10 * std::log10(BandPower(following, 6000, 11025) / BandPower(plain, 6000, 11025)), -3.0);
  EXPECT_GT(10 * std::log10(BandPower(following, 100, 1000) / BandPower(plain, 100, 1000)), 3.0);
  for (double n : following) ASSERT_LE(std::abs(n), kMaxShapedNoise + 0.5);
}

TEST(NoiseShaping, EnvelopeOfFlatAndOfTonalSound) {
  EXPECT_TRUE(EnvelopeFilter({}, 12).empty());
  // Flat noise has a flat envelope: nothing to predict.
  for (double a : EnvelopeFilter(Hiss(512, 4), 12)) EXPECT_LT(std::abs(a), 0.2);
  // A tone far under a step is buried in the rounding floor: flat too.
  std::vector<float> faint(512), tone(512);
  for (std::size_t i = 0; i < 512; ++i) {
    faint[i] = static_cast<float>(0.05 / 127.0 * std::sin(2 * std::numbers::pi * 1000 * i / kRate));
    tone[i] = static_cast<float>(50.0 / 127.0 * std::sin(2 * std::numbers::pi * 1000 * i / kRate));
  }
  for (double a : EnvelopeFilter(faint, 12)) EXPECT_LT(std::abs(a), 0.05);
  // A strong tone: the prediction-error filter notches it out.
  EXPECT_LT(ShapingGainDb(EnvelopeFilter(tone, 12), 1000, kRate), -20.0);
}

TEST(NoiseShaping, DitherIsRepeatableAndKeepsTheAverage) {
  const std::vector<float> x(20000, 10.3f / 127.0f);
  const auto a = ToUnsigned8Dithered(x, 11, nullptr);
  EXPECT_EQ(a, ToUnsigned8Dithered(x, 11, nullptr));
  EXPECT_NE(a, ToUnsigned8Dithered(x, 12, nullptr));
  double mean = 0.0;
  for (auto v : a) mean += v - 128.0;
  // Plain rounding gives 10 every time; dither averages to 10.3 (its noise
  // of 1/4 step squared over 20000 samples leaves 0.004 of spread).
  EXPECT_NEAR(mean / a.size(), 10.3, 0.02);
  for (auto v : a) ASSERT_TRUE(v >= 137 && v <= 140) << int(v);
  EXPECT_EQ(ToUnsigned8(x, nullptr), std::vector<std::uint8_t>(x.size(), 138));
}

}  // namespace
}  // namespace vokar::alf
