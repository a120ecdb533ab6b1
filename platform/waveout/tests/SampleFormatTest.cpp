#include "SampleFormat.h"

#include <gtest/gtest.h>

#include <vector>

namespace vokar::waveout {
namespace {

TEST(LayoutOf, AcceptsThePcmFormatsADevicePlays) {
  const auto voice = LayoutOf(kVoiceFormat);
  ASSERT_TRUE(voice);
  EXPECT_EQ(voice->type, SampleType::U8);
  EXPECT_EQ(voice->channels, 1u);
  EXPECT_EQ(voice->rate, 22050u);

  const auto stereo = LayoutOf({WaveFormat::kPcm, 2, 44100, 176400, 4, 16});
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->type, SampleType::S16);
  EXPECT_EQ(stereo->FrameBytes(), 4u);
}

TEST(LayoutOf, RefusesWhatNoDevicePlays) {
  EXPECT_FALSE(LayoutOf({2, 1, 22050, 22050, 1, 8}));                    // not PCM
  EXPECT_FALSE(LayoutOf({WaveFormat::kPcm, 0, 22050, 22050, 1, 8}));     // no channel
  EXPECT_FALSE(LayoutOf({WaveFormat::kPcm, 3, 22050, 66150, 3, 8}));     // three channels
  EXPECT_FALSE(LayoutOf({WaveFormat::kPcm, 1, 0, 0, 1, 8}));             // no rate
  EXPECT_FALSE(LayoutOf({WaveFormat::kPcm, 1, 2000000, 2000000, 1, 8}));  // absurd rate
  EXPECT_FALSE(LayoutOf({WaveFormat::kPcm, 1, 22050, 66150, 3, 24}));    // 24 bits
  EXPECT_FALSE(LayoutOf({WaveFormat::kPcm, 2, 22050, 44100, 1, 8}));     // block align of mono
}

TEST(OutputChannels, MonoTakesTwoChannelsOnlyForAnOffCentreBalance) {
  const PcmLayout mono{SampleType::U8, 1, 22050};
  const PcmLayout stereo{SampleType::S16, 2, 22050};
  EXPECT_EQ(OutputChannels(mono, {0xFFFF, 0xFFFF}), 1u);
  EXPECT_EQ(OutputChannels(mono, {0x4000, 0x4000}), 1u);
  EXPECT_EQ(OutputChannels(mono, {0xFFFF, 0x8000}), 2u);
  EXPECT_EQ(OutputChannels(stereo, {0xFFFF, 0xFFFF}), 2u);
  EXPECT_EQ(Gains::FromVolumeWord(0x8000FFFF).left, 0xFFFF);
  EXPECT_EQ(Gains::FromVolumeWord(0x8000FFFF).right, 0x8000);
}

std::vector<std::uint8_t> Convert(const std::vector<std::uint8_t>& src, PcmLayout in, PcmLayout out, Gains gains) {
  const std::size_t frames = src.size() / in.FrameBytes();
  std::vector<std::uint8_t> dst(frames * out.FrameBytes());
  ConvertFrames(src.data(), in, frames, out, gains, dst.data());
  return dst;
}

TEST(ConvertFrames, FullLevelLeavesEverySampleAsItIs) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const PcmLayout u8{SampleType::U8, 1, 8000};
  EXPECT_EQ(Convert(all, u8, u8, {}), all);

  const PcmLayout s16{SampleType::S16, 2, 8000};
  const std::vector<std::uint8_t> extremes{0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(Convert(extremes, s16, s16, {}), extremes);
}

TEST(ConvertFrames, EightBitSamplesScaleAroundTheirCentre) {
  const PcmLayout u8{SampleType::U8, 1, 8000};
  const std::vector<std::uint8_t> src{128, 228, 28, 255, 0};
  // Half level halves the distance from 128 on both sides.
  EXPECT_EQ(Convert(src, u8, u8, {0x8000, 0x8000}), (std::vector<std::uint8_t>{128, 178, 78, 192, 64}));
  // Silence is 128, not 0.
  EXPECT_EQ(Convert(src, u8, u8, {0, 0}), (std::vector<std::uint8_t>{128, 128, 128, 128, 128}));
}

TEST(ConvertFrames, SixteenBitSamplesScaleSymmetrically) {
  const PcmLayout s16{SampleType::S16, 1, 8000};
  // 1000 and -1000 at a quarter level.
  const std::vector<std::uint8_t> src{0xE8, 0x03, 0x18, 0xFC};
  const auto out = Convert(src, s16, s16, {0x4000, 0x4000});
  const auto first = static_cast<std::int16_t>(out[0] | (out[1] << 8));
  const auto second = static_cast<std::int16_t>(out[2] | (out[3] << 8));
  EXPECT_EQ(first, 250);
  EXPECT_EQ(second, -250);
}

TEST(ConvertFrames, MonoSpreadsOverTwoChannelsWithTheBalance) {
  const PcmLayout mono{SampleType::U8, 1, 8000};
  const PcmLayout stereo{SampleType::U8, 2, 8000};
  const std::vector<std::uint8_t> src{228, 28};
  // Left full, right silent: the sound is heard on the left only.
  EXPECT_EQ(Convert(src, mono, stereo, {0xFFFF, 0}), (std::vector<std::uint8_t>{228, 128, 28, 128}));
  EXPECT_EQ(Convert(src, mono, stereo, {0x8000, 0xFFFF}), (std::vector<std::uint8_t>{178, 228, 78, 28}));
}

TEST(ConvertFrames, MonoOnOneChannelTakesTheLouderLevel) {
  const PcmLayout mono{SampleType::U8, 1, 8000};
  EXPECT_EQ(Convert({228}, mono, mono, {0x2000, 0x8000}), (std::vector<std::uint8_t>{178}));
}

TEST(ConvertFrames, WidensEightBitsToSixteenWithoutLoss) {
  const PcmLayout u8{SampleType::U8, 1, 8000};
  const PcmLayout s16{SampleType::S16, 1, 8000};
  const auto out = Convert({0, 128, 255}, u8, s16, {});
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0x00, 0x80, 0x00, 0x00, 0x00, 0x7F}));
}

TEST(ConvertFrames, StereoOnOneChannelIsMixedDown) {
  const PcmLayout stereo{SampleType::U8, 2, 8000};
  const PcmLayout mono{SampleType::U8, 1, 8000};
  EXPECT_EQ(Convert({228, 28, 228, 228}, stereo, mono, {}), (std::vector<std::uint8_t>{128, 228}));
}

std::vector<std::uint8_t> S16(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) {
    const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    out.push_back(static_cast<std::uint8_t>(bits >> 8));
  }
  return out;
}

// Each case was worked out by hand: the exact value is sample × level /
// 65535 (divided by 256 more for an 8-bit output), then rounded to the
// nearest step, halves away from zero. Truncation would give the value in
// the last column of the comment instead.
TEST(ConvertFrames, ScalingRoundsToTheNearestStepNeverTruncates) {
  const PcmLayout s16{SampleType::S16, 1, 8000};
  const PcmLayout u8{SampleType::U8, 1, 8000};
  struct Case {
    std::vector<std::uint8_t> in;
    PcmLayout from, to;
    std::uint16_t level;
    std::vector<std::uint8_t> expected;
  };
  const Case cases[] = {
      {S16({1}), s16, s16, 0x8000, S16({1})},            // 0.5000076 -> 1 (not 0)
      {S16({1}), s16, s16, 0x7FFF, S16({0})},            // 0.4999924 -> 0
      {S16({-1}), s16, s16, 0x8000, S16({-1})},          // -0.5000076 -> -1 (not 0)
      {S16({-1}), s16, s16, 0x7FFF, S16({0})},           // -0.4999924 -> 0
      {S16({3}), s16, s16, 0x8000, S16({2})},            // 1.5000229 -> 2 (not 1)
      {S16({-3}), s16, s16, 0x8000, S16({-2})},          // -1.5000229 -> -2 (not -1)
      {S16({1}), s16, s16, 0xC000, S16({1})},            // 0.7500191 -> 1 (not 0)
      {S16({32767}), s16, s16, 0xFFFE, S16({32767})},    // 32766.500008 -> 32767 (not 32766)
      {S16({32767}), s16, s16, 0xFFFD, S16({32766})},    // 32766.000015 -> 32766
      {{129}, u8, u8, 0x8000, {129}},                    // +0.5000076 step -> 129 (not 128)
      {{127}, u8, u8, 0x8000, {127}},                    // -0.5000076 step -> 127 (not 128)
      {{129}, u8, u8, 0x7FFF, {128}},                    // +0.4999924 step -> 128
      {{127}, u8, u8, 0x7FFF, {128}},                    // -0.4999924 step -> 128
      {{131}, u8, u8, 0x8000, {130}},                    // +1.5000229 steps -> 130 (not 129)
      {{125}, u8, u8, 0x8000, {126}},                    // -1.5000229 steps -> 126 (not 127)
      {S16({128}), s16, u8, 0xFFFF, {129}},              // 16 to 8 bits: +0.5 step -> 129 (not 128)
      {S16({127}), s16, u8, 0xFFFF, {128}},              // +0.496 step -> 128
      {S16({-128}), s16, u8, 0xFFFF, {127}},             // -0.5 step -> 127 (not 128)
      {S16({-127}), s16, u8, 0xFFFF, {128}},             // -0.496 step -> 128
      {S16({384}), s16, u8, 0xFFFF, {130}},              // +1.5 steps -> 130 (not 129)
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.in, c.from, c.to, {c.level, c.level}), c.expected)
        << "level " << std::hex << c.level;
  }
}

TEST(ConvertFrames, MixingDownRoundsTheMeanOnce) {
  const PcmLayout stereo{SampleType::S16, 2, 8000};
  const PcmLayout mono{SampleType::S16, 1, 8000};
  // (1 + 0) / 2 = 0.5 -> 1; (3 + 0) / 2 = 1.5 -> 2; (-3 + 0) / 2 = -1.5 -> -2;
  // (-1 + 0) / 2 = -0.5 -> -1. Truncation would give 0, 1, -1, 0.
  EXPECT_EQ(Convert(S16({1, 0, 3, 0, -3, 0, -1, 0}), stereo, mono, {}), S16({1, 2, -2, -1}));
  // Half level on the left only: (1000 × 0.5000076 + 1) / 2 = 250.5019 -> 251.
  EXPECT_EQ(Convert(S16({1000, 1}), stereo, mono, {0x8000, 0xFFFF}), S16({251}));
  const PcmLayout u8stereo{SampleType::U8, 2, 8000};
  const PcmLayout u8mono{SampleType::U8, 1, 8000};
  // (+1 + 0) / 2 = +0.5 step -> 129; (-1 + 0) / 2 -> 127.
  EXPECT_EQ(Convert({129, 128, 127, 128}, u8stereo, u8mono, {}), (std::vector<std::uint8_t>{129, 127}));
}

std::vector<std::uint8_t> Resample(const std::vector<std::uint8_t>& src, PcmLayout in, std::uint32_t to) {
  const std::size_t frames = src.size() / in.FrameBytes();
  std::vector<std::uint8_t> dst(ResampledFrames(frames, in.rate, to) * in.FrameBytes());
  ResampleFrames(src.data(), in, frames, to, dst.data());
  return dst;
}

TEST(ResampleFrames, CountsFramesByTheRatioOfTheRates) {
  EXPECT_EQ(ResampledFrames(28665, 28665, 22050), 22050u);
  EXPECT_EQ(ResampledFrames(11245, 11245, 22050), 22050u);
  EXPECT_EQ(ResampledFrames(3, 2, 3), 4u);   // 4.5 frames: the half frame is left out
  EXPECT_EQ(ResampledFrames(4, 3, 2), 2u);   // 2.67
  EXPECT_EQ(ResampledFrames(1, 22050, 22050), 1u);
  EXPECT_EQ(ResampledFrames(100, 0, 22050), 0u);
}

TEST(ResampleFrames, InterpolatesBetweenNeighboursAndRounds) {
  // 2 -> 3 per second: outputs at 0, 2/3, 4/3 and 2 input frames.
  // 100 × 2/3 = 66.67 -> 67; 100 × 2/3 + 200 × 1/3 = 133.33 -> 133.
  EXPECT_EQ(Resample({0, 100, 200}, {SampleType::U8, 1, 2}, 3), (std::vector<std::uint8_t>{0, 67, 133, 200}));
  // 1 -> 2 per second: halves round away from zero on both sides; the last
  // output stays on the last input frame.
  EXPECT_EQ(Resample(S16({0, 1}), {SampleType::S16, 1, 1}, 2), S16({0, 1, 1, 1}));
  EXPECT_EQ(Resample(S16({0, -1}), {SampleType::S16, 1, 1}, 2), S16({0, -1, -1, -1}));
  // Channels are interpolated each on its own.
  EXPECT_EQ(Resample(S16({100, -100, 200, -200}), {SampleType::S16, 2, 1}, 2),
            S16({100, -100, 150, -150, 200, -200, 200, -200}));
  // 3 -> 2 per second: outputs at 0 and 1.5 input frames.
  EXPECT_EQ(Resample({10, 20, 31, 40}, {SampleType::U8, 1, 3}, 2), (std::vector<std::uint8_t>{10, 26}));
}

TEST(ResampleFrames, TheSameRateCopies) {
  const std::vector<std::uint8_t> src{1, 2, 3, 250};
  EXPECT_EQ(Resample(src, {SampleType::U8, 1, 22050}, 22050), src);
}

}  // namespace
}  // namespace vokar::waveout
