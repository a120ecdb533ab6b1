// The WAV file that vksay -o writes: speech in the voice's own format byte for
// byte, other rates resampled to the file's, and a file widened in place when
// a buffer needs 16 bits or two channels; every expected sample worked out by
// hand. Then the real vksay writing a text with a speed change.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "FileWaveOut.h"
#include "TestFolder.h"
#include "support/AlfWriter.h"
#include "support/TestInventory.h"

namespace vokar::vksay {
namespace {

namespace fs = std::filesystem;

struct WavFile {
  std::uint16_t tag = 0, channels = 0, blockAlign = 0, bits = 0;
  std::uint32_t rate = 0, byteRate = 0, riffSize = 0, dataSize = 0;
  std::uint64_t fileSize = 0;
  std::vector<std::uint8_t> data;
};

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

WavFile ReadWav(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  WavFile wav;
  wav.fileSize = b.size();
  if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt " || std::string(b.begin() + 36, b.begin() + 40) != "data") {
    ADD_FAILURE() << path << " is not a plain WAV file";
    return wav;
  }
  wav.riffSize = U32(b, 4);
  wav.tag = static_cast<std::uint16_t>(b[20] | (b[21] << 8));
  wav.channels = static_cast<std::uint16_t>(b[22] | (b[23] << 8));
  wav.rate = U32(b, 24);
  wav.byteRate = U32(b, 28);
  wav.blockAlign = static_cast<std::uint16_t>(b[32] | (b[33] << 8));
  wav.bits = static_cast<std::uint16_t>(b[34] | (b[35] << 8));
  wav.dataSize = U32(b, 40);
  wav.data.assign(b.begin() + 44, b.begin() + 44 + std::min<std::size_t>(wav.dataSize, b.size() - 44));
  return wav;
}

std::vector<std::uint8_t> S16(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }
  return out;
}

WaveFormat Format(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  return {WaveFormat::kPcm, channels, rate, rate * align, align, bits};
}

class FileOutput : public ::testing::Test {
 protected:
  void SetUp() override { path = dir / "out.wav"; }

  // Plays one buffer on device 0 as the reading job would.
  static bool Play(FileWaveOut& out, const WaveFormat& format, const std::vector<std::uint8_t>& bytes) {
    std::unique_ptr<IWaveOutDevice> device;
    if (out.Open(0, format, [] {}, device) != WaveOutResult::Ok) return false;
    return device->Write(bytes) == WaveOutResult::Ok;
  }

  vokar::test::TestFolder folder{"vksay-file-output"};
  const fs::path dir = folder.path();
  fs::path path;
};

TEST_F(FileOutput, SpeechIsWrittenInTheVoiceFormatByteForByte) {
  FileWaveOut out(path);
  std::vector<std::uint8_t> first(1001), second(500);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i * 7);
  for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<std::uint8_t>(255 - i);
  ASSERT_TRUE(Play(out, kVoiceFormat, first));
  ASSERT_TRUE(Play(out, kVoiceFormat, second));
  ASSERT_TRUE(out.Finish());
  const WavFile wav = ReadWav(path);
  EXPECT_EQ(wav.tag, 1);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.rate, 22050u);
  EXPECT_EQ(wav.byteRate, 22050u);
  EXPECT_EQ(wav.blockAlign, 1);
  EXPECT_EQ(wav.bits, 8);
  EXPECT_EQ(wav.dataSize, 1501u);
  // 1501 data bytes are odd: one pad byte follows, and the RIFF size counts it.
  EXPECT_EQ(wav.fileSize, 44u + 1502u);
  EXPECT_EQ(wav.riffSize, 36u + 1502u);
  std::vector<std::uint8_t> both = first;
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(wav.data, both);
  EXPECT_NEAR(out.Seconds(), 1501.0 / 22050, 1e-9);
}

TEST_F(FileOutput, AnotherRateIsResampledToTheFilesRate) {
  FileWaveOut out(path);
  // The file takes 2 frames per second from the first buffer; a buffer at 3
  // per second gives floor(3 × 2 / 3) = 2 frames, at input positions 0 and
  // 1.5: 0, and (30 + 60) / 2 = 45.
  ASSERT_TRUE(Play(out, Format(1, 2, 8), {10, 20}));
  ASSERT_TRUE(Play(out, Format(1, 3, 8), {0, 30, 60}));
  // At 1 per second: 4 frames at 0, 0.5, 1 and 1.5 (the last stays on 140):
  // 100, 120, 140, 140.
  ASSERT_TRUE(Play(out, Format(1, 1, 8), {100, 140}));
  const WavFile wav = ReadWav(path);
  EXPECT_EQ(wav.rate, 2u);
  EXPECT_EQ(wav.data, (std::vector<std::uint8_t>{10, 20, 0, 45, 100, 120, 140, 140}));
}

TEST_F(FileOutput, AnOffCentreBalanceWidensTheFileToTwoChannels) {
  FileWaveOut out(path);
  ASSERT_TRUE(Play(out, kVoiceFormat, {138, 118}));
  // Left full, right half: 228 is 100 steps above the middle; half of it is
  // 50.0008 -> 50, so 178 on the right.
  ASSERT_TRUE(out.SetVolume(0, 0x8000FFFF));
  ASSERT_TRUE(Play(out, kVoiceFormat, {228}));
  const WavFile wav = ReadWav(path);
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.blockAlign, 2);
  EXPECT_EQ(wav.byteRate, 44100u);
  EXPECT_EQ(wav.data, (std::vector<std::uint8_t>{138, 138, 118, 118, 228, 178}));
}

TEST_F(FileOutput, SixteenBitsWidenTheFileWithoutLoss) {
  FileWaveOut out(path);
  ASSERT_TRUE(Play(out, kVoiceFormat, {138, 0, 255}));
  ASSERT_TRUE(Play(out, Format(1, 22050, 16), S16({1000, -7})));
  // 8-bit speech after it is widened too: 129 is one step of 256.
  ASSERT_TRUE(Play(out, kVoiceFormat, {129}));
  const WavFile wav = ReadWav(path);
  EXPECT_EQ(wav.bits, 16);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.data, S16({10 * 256, -128 * 256, 127 * 256, 1000, -7, 256}));
}

TEST_F(FileOutput, WideningALongFileKeepsEveryFrameInPlace) {
  FileWaveOut out(path);
  // More frames than one block of the rewrite, in two buffers.
  std::vector<std::uint8_t> speech(150001);
  for (std::size_t i = 0; i < speech.size(); ++i) speech[i] = static_cast<std::uint8_t>((i * 13 + i / 256) & 0xFF);
  ASSERT_TRUE(Play(out, kVoiceFormat, std::vector<std::uint8_t>(speech.begin(), speech.begin() + 70000)));
  ASSERT_TRUE(Play(out, kVoiceFormat, std::vector<std::uint8_t>(speech.begin() + 70000, speech.end())));
  // One stereo 16-bit frame needs both widenings at once.
  ASSERT_TRUE(Play(out, Format(2, 22050, 16), S16({-1, 2})));
  const WavFile wav = ReadWav(path);
  ASSERT_EQ(wav.channels, 2);
  ASSERT_EQ(wav.bits, 16);
  ASSERT_EQ(wav.data.size(), (speech.size() + 1) * 4);
  for (std::size_t i = 0; i < speech.size(); ++i) {
    const int expected = (speech[i] - 128) * 256;
    const auto left = static_cast<std::int16_t>(wav.data[4 * i] | (wav.data[4 * i + 1] << 8));
    const auto right = static_cast<std::int16_t>(wav.data[4 * i + 2] | (wav.data[4 * i + 3] << 8));
    ASSERT_EQ(left, expected) << "frame " << i;
    ASSERT_EQ(right, expected) << "frame " << i;
  }
  EXPECT_EQ(std::vector<std::uint8_t>(wav.data.end() - 4, wav.data.end()), S16({-1, 2}));
}

TEST_F(FileOutput, VolumeScalesAndRoundsInTheSameFormat) {
  FileWaveOut out(path);
  ASSERT_TRUE(out.SetVolume(0, 0x80008000));
  // 129 and 127 are one step from the middle: half of it, 0.5000076, rounds
  // away from the middle; 131 and 125 give 1.5000229 -> 2.
  ASSERT_TRUE(Play(out, kVoiceFormat, {129, 127, 131, 125, 128}));
  const WavFile wav = ReadWav(path);
  EXPECT_EQ(wav.channels, 1);
  EXPECT_EQ(wav.data, (std::vector<std::uint8_t>{129, 127, 130, 126, 128}));
}

TEST_F(FileOutput, NothingToSayStillLeavesAnEmptyWavFile) {
  FileWaveOut out(path);
  ASSERT_TRUE(out.Finish());
  const WavFile wav = ReadWav(path);
  EXPECT_EQ(wav.fileSize, 44u);
  EXPECT_EQ(wav.dataSize, 0u);
  EXPECT_EQ(wav.rate, 22050u);
  EXPECT_EQ(wav.bits, 8);
}

TEST_F(FileOutput, AFileThatCannotBeMadeIsAnError) {
  FileWaveOut out(dir / "no-such-folder" / "out.wav");
  EXPECT_FALSE(Play(out, kVoiceFormat, {128}));
  EXPECT_FALSE(out.Error().empty());
  EXPECT_FALSE(out.Finish());
}

// The real command: a speed tag (80, that is +30) in the middle of the text
// makes a buffer at (100 + 30) % of 22050 = 28665 Hz, which the file takes
// at 22050.
TEST_F(FileOutput, VksayWritesOneFileInTheVoiceFormatAcrossASpeedChange) {
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  vokar::testing::FillTestInventory(db, settings);
  vokar::testing::AlfWriter writer;
  for (int index = 1; index <= allo::kDefault; ++index) {
    if (const CAllophone* entry = db.Entry(index))
      writer.Add(index, entry->name, entry->classBits, vokar::testing::Bytes(entry->samples.begin(), entry->samples.end()));
  }
  vokar::testing::WriteFile(dir / "pl_22.alf", writer.Build());
  const auto run = [&](const std::string& options) {
    const std::string command = "cd '" + dir.string() + "' && VOKAR_DATA_DIR='" + dir.string() +
                                "' VOKAR_CONFIG_DIR=/nonexistent " + options + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    std::string output;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 0) << output;
  };
  // The plain concatenation, whose speed is the playback rate.
  const std::string text = "--no-intonation --no-keep-pitch 'Raz, \\Spd=80\\dwa.'";
  run(std::string(VKSAY_PATH) + " -o '" + (dir / "said.wav").string() + "' " + text);
  // The WAV-writing device makes one file per rate: what it was given.
  run("VOKAR_WAVEOUT='wav:" + (dir / "device.wav").string() + ",fast' " + VKSAY_PATH + " " + text);
  const WavFile said = ReadWav(dir / "said.wav");
  const WavFile before = ReadWav(dir / "device.wav");
  const WavFile after = ReadWav(dir / "device-2.wav");
  EXPECT_EQ(said.channels, 1);
  EXPECT_EQ(said.bits, 8);
  EXPECT_EQ(said.rate, 22050u);
  EXPECT_EQ(before.rate, 22050u);
  EXPECT_EQ(after.rate, 28665u);
  // The comma's pause alone is half a second.
  ASSERT_GT(before.dataSize, 22050u / 2);
  ASSERT_GT(after.dataSize, 0u);
  // Up to the tag, byte for byte what the device got; after it, 22050/28665
  // as many frames (each buffer may lose less than one frame).
  ASSERT_GE(said.data.size(), before.data.size());
  EXPECT_TRUE(std::equal(before.data.begin(), before.data.end(), said.data.begin()));
  const std::size_t expected = before.data.size() + after.data.size() * 22050 / 28665;
  EXPECT_LE(said.data.size(), expected);
  EXPECT_GE(said.data.size() + 4, expected);
  EXPECT_FALSE(fs::exists(dir / "said-2.wav"));
}

}  // namespace
}  // namespace vokar::vksay
