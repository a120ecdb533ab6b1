// Sources in the common PCM forms decode to the same mono signal; resampling
// keeps speech frequencies and removes what would alias; the 8-bit conversion
// rounds and clips as it should.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "Audio.h"

namespace vokar::alf {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(v & 0xFF);
  out.push_back(v >> 8);
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

// A WAV file with a hand-made "fmt " chunk (extensible when subFormat is set).
std::vector<std::uint8_t> Wav(std::uint16_t tag, int channels, int rate, int bits,
                              const std::vector<std::uint8_t>& data, int subFormat = 0) {
  std::vector<std::uint8_t> fmt;
  PutU16(fmt, tag);
  PutU16(fmt, channels);
  PutU32(fmt, rate);
  PutU32(fmt, rate * channels * bits / 8);
  PutU16(fmt, channels * bits / 8);
  PutU16(fmt, bits);
  if (subFormat != 0) {
    PutU16(fmt, 22);
    PutU16(fmt, bits);
    PutU32(fmt, 0);
    PutU16(fmt, subFormat);
    for (int i = 0; i < 14; ++i) fmt.push_back(0);
  }
  std::vector<std::uint8_t> out{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  PutU32(out, fmt.size());
  out.insert(out.end(), fmt.begin(), fmt.end());
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutU32(out, data.size());
  out.insert(out.end(), data.begin(), data.end());
  const std::uint32_t size = out.size() - 8;
  for (int i = 0; i < 4; ++i) out[4 + i] = (size >> (8 * i)) & 0xFF;
  return out;
}

TEST(Audio, DecodesEveryCommonSampleForm) {
  // The values 0.5 and -0.25 in each form.
  std::vector<std::uint8_t> u8{192, 96};
  std::vector<std::uint8_t> s16;
  PutU16(s16, 16384);
  PutU16(s16, static_cast<std::uint16_t>(-8192));
  std::vector<std::uint8_t> s24{0x00, 0x00, 0x40, 0x00, 0x00, 0xE0};
  std::vector<std::uint8_t> s32;
  PutU32(s32, 0x40000000u);
  PutU32(s32, 0xE0000000u);
  std::vector<std::uint8_t> f32;
  float values[] = {0.5f, -0.25f};
  for (float v : values) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(f32, u);
  }
  const std::vector<std::vector<std::uint8_t>> files{
      Wav(1, 1, 8000, 8, u8),  Wav(1, 1, 8000, 16, s16), Wav(1, 1, 8000, 24, s24),
      Wav(1, 1, 8000, 32, s32), Wav(3, 1, 8000, 32, f32), Wav(0xFFFE, 1, 8000, 16, s16, 1),
      Wav(0xFFFE, 1, 8000, 32, f32, 3)};
  for (const auto& file : files) {
    auto audio = DecodeWav(file, "x.wav");
    ASSERT_TRUE(audio) << audio.Error().ToString();
    EXPECT_EQ(audio->rate, 8000);
    ASSERT_EQ(audio->samples.size(), 2u);
    EXPECT_NEAR(audio->samples[0], 0.5, 1e-6);
    EXPECT_NEAR(audio->samples[1], -0.25, 1e-6);
  }
}

TEST(Audio, StereoIsAveragedToMono) {
  std::vector<std::uint8_t> data;
  PutU16(data, 16384);
  PutU16(data, 0);
  auto audio = DecodeWav(Wav(1, 2, 44100, 16, data), "s.wav");
  ASSERT_TRUE(audio);
  ASSERT_EQ(audio->samples.size(), 1u);
  EXPECT_NEAR(audio->samples[0], 0.25, 1e-6);
}

TEST(Audio, RefusesWhatItCannotDecode) {
  const std::vector<std::uint8_t> two{0, 0};
  const struct {
    std::vector<std::uint8_t> file;
    const char* says;
  } cases[] = {
      {Wav(2, 1, 8000, 4, two), "format tag 2"},     // ADPCM
      {Wav(1, 0, 8000, 16, two), "channel count"},
      {Wav(1, 1, 100, 16, two), "sample rate"},
      {Wav(1, 1, 8000, 12, two), "bits per sample"},
      {Wav(3, 1, 8000, 16, two), "bits per sample"},
      {std::vector<std::uint8_t>{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'L', 'O', 'F'}, ""},
      {std::vector<std::uint8_t>{}, ""},
  };
  for (const auto& c : cases) {
    auto audio = DecodeWav(c.file, "bad.wav");
    ASSERT_FALSE(audio) << c.says;
    EXPECT_NE(audio.Error().ToString().find("bad.wav"), std::string::npos);
    EXPECT_NE(audio.Error().ToString().find(c.says), std::string::npos) << audio.Error().ToString();
  }
  // A "data" chunk that claims more than the file holds.
  std::vector<std::uint8_t> truncated = Wav(1, 1, 8000, 16, {1, 2, 3, 4});
  truncated.resize(truncated.size() - 2);
  EXPECT_FALSE(DecodeWav(truncated, "t.wav"));
}

double ToneLevel(const std::vector<float>& s, double freq, int rate) {
  double re = 0.0, im = 0.0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    re += s[i] * std::cos(2 * std::numbers::pi * freq * i / rate);
    im += s[i] * std::sin(2 * std::numbers::pi * freq * i / rate);
  }
  return 2.0 * std::hypot(re, im) / s.size();
}

TEST(Audio, ResamplingKeepsSpeechAndDropsWhatWouldAlias) {
  const int from = 44100;
  std::vector<float> input(from / 2);
  for (std::size_t i = 0; i < input.size(); ++i) {
    input[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000 * i / from) +
                                  0.3 * std::sin(2 * std::numbers::pi * 15000 * i / from));
  }
  const auto out = Resample(input, from, 22050);
  EXPECT_NEAR(static_cast<double>(out.size()), input.size() / 2.0, 1.0);
  // Away from the edges, where the filter has all its taps.
  const std::vector<float> middle(out.begin() + 500, out.end() - 500);
  EXPECT_NEAR(ToneLevel(middle, 1000, 22050), 0.5, 0.02);
  // 15 kHz would fold to 7050 Hz at 22050 Hz.
  EXPECT_LT(ToneLevel(middle, 7050, 22050), 0.01);

  const auto up = Resample(std::vector<float>(middle.begin(), middle.begin() + 2000), 22050, 48000);
  EXPECT_NEAR(static_cast<double>(up.size()), 2000 * 48000.0 / 22050, 1.0);
  const auto same = Resample(middle, 22050, 22050);
  EXPECT_EQ(same, middle);
}

TEST(Audio, EightBitConversionRoundsAndCountsClips) {
  std::size_t clipped = 0;
  const auto out = ToUnsigned8(std::vector<float>{0.0f, 1.0f, -1.0f, 0.5f, 1.5f, -2.0f}, &clipped);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{128, 255, 1, 192, 255, 0}));
  EXPECT_EQ(clipped, 2u);
  const auto back = FromUnsigned8(out);
  EXPECT_FLOAT_EQ(back[0], 0.0f);
  EXPECT_FLOAT_EQ(back[1], 1.0f);
}

TEST(Audio, FadesReachSilenceAndGainScales) {
  std::vector<float> s(100, 1.0f);
  FadeIn(s, 20);
  FadeOut(s, 30);
  EXPECT_FLOAT_EQ(s.front(), 0.0f);
  EXPECT_FLOAT_EQ(s.back(), 0.0f);
  EXPECT_LT(s[10], 1.0f);
  EXPECT_FLOAT_EQ(s[50], 1.0f);
  std::vector<float> shortBlock(5, 1.0f);
  FadeIn(shortBlock, 50);  // longer than the block: no overrun
  EXPECT_FLOAT_EQ(shortBlock[0], 0.0f);
  ApplyGainDb(s, -6.0206);
  EXPECT_NEAR(s[50], 0.5, 1e-4);
  EXPECT_NEAR(Rms(std::vector<float>(10, 0.25f)), 0.25, 1e-9);
  EXPECT_EQ(Rms(std::vector<float>{}), 0.0);
}

TEST(Audio, WavFilesWeWriteDecodeAgain) {
  Audio audio{22050, {0.0f, 0.5f, -0.5f}};
  auto back = DecodeWav(EncodeWav16(audio), "w.wav");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->rate, 22050);
  ASSERT_EQ(back->samples.size(), 3u);
  EXPECT_NEAR(back->samples[1], 0.5, 1e-4);
  auto eight = DecodeWav(EncodeWav(std::vector<std::uint8_t>{128, 192, 64}, kVoiceFormat), "e.wav");
  ASSERT_TRUE(eight);
  EXPECT_NEAR(eight->samples[1], 0.5, 1e-6);
}

}  // namespace
}  // namespace vokar::alf
