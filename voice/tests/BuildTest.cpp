// Building an allophone file from a manifest and recordings: conversion to
// 8-bit mono 22050 Hz, cut points, gain, fades, silence entries, index order,
// and errors that name the manifest line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Audio.h"
#include "Build.h"
#include "support/VoiceTestSupport.h"

namespace vokar::alf {
namespace {

using testing::WriteBytes;
using testing::WriteText;

// One second of a 500 Hz tone at 44.1 kHz, as a 16-bit WAV file.
void WriteTone(const std::filesystem::path& path, double level) {
  Audio audio;
  audio.rate = 44100;
  audio.samples.resize(44100);
  for (std::size_t i = 0; i < audio.samples.size(); ++i) {
    audio.samples[i] = static_cast<float>(level * std::sin(2 * std::numbers::pi * 500 * i / 44100));
  }
  WriteBytes(path, EncodeWav16(audio));
}

class Build : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder / "rec");
    WriteTone(folder / "rec" / "tone.wav", 0.5);
  }

  Result<BuildOutput> Run(const std::string& manifestText) {
    WriteText(folder / "voice.txt", manifestText);
    auto manifest = ReadManifest(folder / "voice.txt");
    if (!manifest) return manifest.Error();
    return BuildAlf(*manifest);
  }

  vokar::test::TestFolder scratch{"voice"};
  const std::filesystem::path folder = scratch.path();
};

TEST_F(Build, CutsConvertsAndFades) {
  auto out = Run(
      "version \"t\"\n"
      "fade 2\n"
      "5 u 4 rec/tone.wav start=100 end=200\n"
      "1 a 4 rec/tone.wav\n"
      "2 e 4 rec/tone.wav start=0 end=100 gain=-6.0206 fade=0\n"
      "107 p010 2 silence length=10\n");
  ASSERT_TRUE(out) << out.Error().ToString();
  const AlfFile& file = out->file;
  EXPECT_EQ(file.format, kVoiceFormat);
  EXPECT_EQ(file.versionText, "t");
  ASSERT_EQ(file.entries.size(), 4u);
  // Stored in index order.
  EXPECT_EQ(file.entries[0].index, 1);
  EXPECT_EQ(file.entries[1].index, 2);
  EXPECT_EQ(file.entries[2].index, 5);
  EXPECT_EQ(file.entries[3].index, 107);
  // The whole second, resampled to 22050 Hz.
  EXPECT_NEAR(static_cast<double>(file.entries[0].samples.size()), 22050.0, 1.0);
  // 100 ms is 2205 samples.
  EXPECT_EQ(file.entries[2].samples.size(), 2205u);
  // Faded ends rest on the middle value; the tone's peak is about 0.5 x 127.
  const auto& u = file.entries[2].samples;
  EXPECT_EQ(u.front(), 128);
  EXPECT_EQ(u.back(), 128);
  EXPECT_NEAR(*std::max_element(u.begin(), u.end()), 128 + 63.5, 2.0);
  // e: 6 dB less, no fade.
  const auto& e = file.entries[1].samples;
  EXPECT_NEAR(*std::max_element(e.begin(), e.end()), 128 + 31.75, 2.0);
  EXPECT_EQ(file.entries[3].samples, std::vector<std::uint8_t>(221, 128));
  EXPECT_TRUE(out->warnings.empty());
}

// The pieces before the 8-bit conversion, which the noise measures compare
// with what the file holds: silence entries have none, and rounding each
// piece plainly gives the file's samples.
TEST_F(Build, PiecesAreWhatTheFileRounds) {
  WriteText(folder / "voice.txt",
            "fade 2\n"
            "2 e 4 rec/tone.wav start=0 end=100 gain=-6.0206 fade=0\n"
            "5 u 4 rec/tone.wav start=100 end=200\n"
            "107 p010 2 silence length=10\n");
  auto manifest = ReadManifest(folder / "voice.txt");
  ASSERT_TRUE(manifest);
  auto pieces = CutPieces(*manifest);
  ASSERT_TRUE(pieces) << pieces.Error().ToString();
  ASSERT_EQ(pieces->size(), 2u);
  EXPECT_EQ(pieces->count(107), 0u);
  // e: half the tone's 0.5, unfaded, so its peak is near 0.25.
  const auto& e = pieces->at(2);
  ASSERT_EQ(e.size(), 2205u);
  EXPECT_NEAR(*std::max_element(e.begin(), e.end()), 0.25, 0.01);
  // u: faded to nothing at both ends.
  const auto& u = pieces->at(5);
  EXPECT_NEAR(u.front(), 0.0f, 1e-6);
  EXPECT_NEAR(u.back(), 0.0f, 1e-6);

  auto built = BuildAlf(*manifest);
  ASSERT_TRUE(built);
  EXPECT_EQ(built->file.entries[0].samples, ToUnsigned8(e, nullptr));
  EXPECT_EQ(built->file.entries[1].samples, ToUnsigned8(u, nullptr));
}

TEST_F(Build, ClippingIsReportedNotHidden) {
  auto out = Run("1 a 4 rec/tone.wav gain=12\n");
  ASSERT_TRUE(out);
  ASSERT_EQ(out->warnings.size(), 1u);
  EXPECT_NE(out->warnings[0].find("line 1"), std::string::npos);
  EXPECT_NE(out->warnings[0].find("clips"), std::string::npos);
}

TEST_F(Build, ErrorsNameTheLineAndTheSource) {
  auto missing = Run("1 a 4 rec/tone.wav\n2 e 4 rec/none.wav\n");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.Error().ToString().find("none.wav"), std::string::npos);

  auto pastEnd = Run("\n1 a 4 rec/tone.wav start=900 end=1200\n");
  ASSERT_FALSE(pastEnd);
  EXPECT_EQ(pastEnd.Error().position, 2u);
  EXPECT_NE(pastEnd.Error().ToString().find("past the end"), std::string::npos);

  auto empty = Run("1 a 4 rec/tone.wav start=1000\n");
  ASSERT_FALSE(empty);
  EXPECT_NE(empty.Error().ToString().find("no samples"), std::string::npos);

  WriteText(folder / "rec" / "text.wav", "this is not a wave file");
  auto notWave = Run("1 a 4 rec/text.wav\n");
  ASSERT_FALSE(notWave);
  EXPECT_NE(notWave.Error().ToString().find("text.wav"), std::string::npos);
}

}  // namespace
}  // namespace vokar::alf
