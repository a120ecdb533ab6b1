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

}  // namespace
}  // namespace vokar::waveout
