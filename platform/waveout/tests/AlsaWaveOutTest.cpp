// The ALSA backend against devices that need no sound card: ALSA reads only
// the configuration this test writes, which defines a file PCM as "default"
// and a fake card (an I/O plugin built with the tests) that plays in real
// time, keeps what it was given, can be busy and refuses high rates.
#include "AlsaWaveOut.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "TestFolder.h"
#include "TestSupport.h"

namespace vokar::waveout {
namespace {

using test::Clock;
using test::MillisSince;
using test::U8Mono;
using test::WaitDone;

std::filesystem::path& Dir() {
  static std::filesystem::path dir;
  return dir;
}

// The test program's ALSA configuration and what the fake cards record, in a
// folder of the program's own that goes when the program ends.
class AlsaConfiguration : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<vokar::test::TestFolder>("waveout-alsa");
    Dir() = folder_->path();
    const std::string d = Dir().string();
    std::ofstream conf(Dir() / "asound.conf");
    conf << "pcm_type.vokarfake { lib \"" << VOKAR_FAKE_CARD_PLUGIN << "\" }\n"
         << "pcm.null { type null hint { show on description \"Discards everything\" } }\n"
         << "pcm.!default { type file slave.pcm \"sink\" file \"" << d << "/default.wav\" format \"wav\" }\n"
         << "pcm.sink { type null }\n"
         << "pcm.card { type vokarfake record \"" << d << "/card.raw\" lock \"" << d
         << "/card.lock\" maxrate 24000 hint { show on description \"Fake card\" } }\n"
         << "pcm.plain { type vokarfake record \"" << d
         << "/plain.raw\" pause false hint { show on description \"Fake card that cannot pause\" } }\n"
         << "pcm.wide { type vokarfake s16only true record \"" << d
         << "/wide.raw\" hint { show on description \"Fake card for 16 bits only\" } }\n"
         << "pcm.broken { type hw card 7 hint { show on description \"Missing card\" } }\n";
    conf.close();
    // ALSA reads its configuration once, at the first call; nothing has
    // called it yet in this process.
    ::setenv("ALSA_CONFIG_PATH", (Dir() / "asound.conf").c_str(), 1);
  }
  void TearDown() override { folder_.reset(); }

 private:
  std::unique_ptr<vokar::test::TestFolder> folder_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new AlsaConfiguration);

constexpr int kCard = 0;
constexpr int kPlainCard = 1;
constexpr int kWideCard = 2;
constexpr int kBroken = 3;

// 16-bit mono samples counting up from 1, so that every frame says where it
// came from.
std::vector<std::uint8_t> Counting(std::size_t frames) {
  std::vector<std::uint8_t> bytes(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>((i + 1) & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(((i + 1) >> 8) & 0x7F);
  }
  return bytes;
}

std::vector<unsigned> FrameNumbers(const std::vector<std::uint8_t>& bytes) {
  std::vector<unsigned> numbers;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) numbers.push_back(bytes[i] | (bytes[i + 1] << 8));
  return numbers;
}

WaveFormat S16Mono(std::uint32_t rate) { return {WaveFormat::kPcm, 1, rate, rate * 2, 2, 16}; }

TEST(AlsaWaveOut, ListsTheDescribedPlaybackPcmsInOrder) {
  AlsaWaveOut out;
  ASSERT_EQ(out.DeviceCount(), 4);
  EXPECT_EQ(out.PcmName(kCard), "card");
  EXPECT_EQ(out.PcmName(kPlainCard), "plain");
  EXPECT_EQ(out.PcmName(kBroken), "broken");
  EXPECT_EQ(out.PcmName(kWaveMapper), "default");
  EXPECT_FALSE(out.PcmName(4));
  ASSERT_TRUE(out.Caps(kCard));
  EXPECT_EQ(out.Caps(kCard)->name, "Fake card");
  EXPECT_TRUE(out.Caps(kCard)->volumeControl);
  EXPECT_TRUE(out.Caps(kWaveMapper));
  EXPECT_FALSE(out.Caps(4));
}

TEST(AlsaWaveOut, MapperPlaysThroughDefaultWithTheBalance) {
  AlsaWaveOut out;
  ASSERT_TRUE(out.SetVolume(kWaveMapper, 0x8000FFFF));  // right at half level
  const std::vector<std::uint8_t> samples{228, 28, 128, 255};
  {
    bool done = false;
    std::unique_ptr<IWaveOutDevice> device;
    ASSERT_EQ(out.Open(kWaveMapper, kVoiceFormat, [&] { done = true; }, device), WaveOutResult::Ok);
    ASSERT_EQ(device->Write(samples), WaveOutResult::Ok);
    WaitDone(out, done);
    EXPECT_TRUE(done);
  }
  const auto bytes = test::ReadBytes(Dir() / "default.wav");
  ASSERT_GE(bytes.size(), 44u + 8u);
  EXPECT_EQ(test::Le16(bytes.data() + 22), 2);         // two channels for the balance
  EXPECT_EQ(test::Le32(bytes.data() + 24), 22050u);
  EXPECT_EQ(test::Le16(bytes.data() + 34), 8);
  const std::vector<std::uint8_t> data(bytes.end() - 8, bytes.end());
  EXPECT_EQ(data, (std::vector<std::uint8_t>{228, 178, 28, 78, 128, 128, 255, 192}));
}

TEST(AlsaWaveOut, FakeCardPlaysInRealTimeAndGetsEveryFrame) {
  AlsaWaveOut out;
  std::filesystem::remove(Dir() / "card.raw");
  bool done = false;
  std::unique_ptr<IWaveOutDevice> device;
  ASSERT_EQ(out.Open(kCard, S16Mono(8000), [&] { done = true; }, device), WaveOutResult::Ok);
  const auto samples = Counting(2800);  // 350 ms
  const auto start = Clock::now();
  ASSERT_EQ(device->Write(samples), WaveOutResult::Ok);
  WaitDone(out, done);
  ASSERT_TRUE(done);
  EXPECT_GE(MillisSince(start), 330);
  EXPECT_LT(MillisSince(start), 2500);
  EXPECT_EQ(test::ReadBytes(Dir() / "card.raw"), samples);
}

TEST(AlsaWaveOut, PauseHoldsTheCardAndRestartLosesNothing) {
  AlsaWaveOut out;
  std::filesystem::remove(Dir() / "card.raw");
  bool done = false;
  std::unique_ptr<IWaveOutDevice> device;
  ASSERT_EQ(out.Open(kCard, S16Mono(8000), [&] { done = true; }, device), WaveOutResult::Ok);
  const auto samples = Counting(3200);  // 400 ms
  const auto start = Clock::now();
  ASSERT_EQ(device->Write(samples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  device->Pause();
  EXPECT_FALSE(test::FdReadable(out.NoticeFd(), 500));
  device->Restart();
  WaitDone(out, done);
  ASSERT_TRUE(done);
  EXPECT_GE(MillisSince(start), 880);
  EXPECT_EQ(test::ReadBytes(Dir() / "card.raw"), samples);
}

TEST(AlsaWaveOut, CardWithoutPauseGoesOnFromWhereItStopped) {
  AlsaWaveOut out;
  std::filesystem::remove(Dir() / "plain.raw");
  bool done = false;
  std::unique_ptr<IWaveOutDevice> device;
  ASSERT_EQ(out.Open(kPlainCard, S16Mono(8000), [&] { done = true; }, device), WaveOutResult::Ok);
  const auto samples = Counting(4000);  // 500 ms
  const auto start = Clock::now();
  ASSERT_EQ(device->Write(samples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  device->Pause();
  EXPECT_FALSE(test::FdReadable(out.NoticeFd(), 400));
  device->Restart();
  WaitDone(out, done);
  ASSERT_TRUE(done);
  EXPECT_GE(MillisSince(start), 850);

  // The card got frames 1..a, then, after the stop, b..4000 again with b
  // no later than a + 1: some frames may be heard twice, none is skipped.
  const auto numbers = FrameNumbers(test::ReadBytes(Dir() / "plain.raw"));
  ASSERT_FALSE(numbers.empty());
  std::size_t cut = 1;
  while (cut < numbers.size() && numbers[cut] == numbers[cut - 1] + 1) ++cut;
  ASSERT_LT(cut, numbers.size()) << "the card was not stopped and started again";
  EXPECT_EQ(numbers[0], 1u);
  EXPECT_LE(numbers[cut], numbers[cut - 1] + 1);
  EXPECT_GT(numbers[cut], 1u) << "started again from the beginning";
  for (std::size_t i = cut + 1; i < numbers.size(); ++i) ASSERT_EQ(numbers[i], numbers[i - 1] + 1);
  EXPECT_EQ(numbers.back(), 4000u);
}

TEST(AlsaWaveOut, EightBitSoundIsWidenedForACardThatTakesSixteenBitsOnly) {
  AlsaWaveOut out;
  std::filesystem::remove(Dir() / "wide.raw");
  ASSERT_TRUE(out.SetVolume(kWideCard, 0x80008000));
  bool done = false;
  std::unique_ptr<IWaveOutDevice> device;
  ASSERT_EQ(out.Open(kWideCard, kVoiceFormat, [&] { done = true; }, device), WaveOutResult::Ok);
  const std::vector<std::uint8_t> samples{128, 228, 0};
  ASSERT_EQ(device->Write(samples), WaveOutResult::Ok);
  WaitDone(out, done);
  ASSERT_TRUE(done);
  // Half level: 0, +100 and -128 steps of 256 become 0, 12800 and -16384.
  EXPECT_EQ(test::ReadBytes(Dir() / "wide.raw"), (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x32, 0x00, 0xC0}));
}

TEST(AlsaWaveOut, ResetSendsNoNoticeAndTheNextBufferPlays) {
  AlsaWaveOut out;
  int calls = 0;
  std::unique_ptr<IWaveOutDevice> device;
  ASSERT_EQ(out.Open(kCard, U8Mono(8000), [&] { ++calls; }, device), WaveOutResult::Ok);
  const std::vector<std::uint8_t> samples(8000, 128);  // a second
  ASSERT_EQ(device->Write(samples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  device->Reset();
  EXPECT_LT(MillisSince(start), 200);
  EXPECT_FALSE(test::FdReadable(out.NoticeFd(), 300));
  out.DeliverNotices();
  EXPECT_EQ(calls, 0);

  ASSERT_EQ(device->Write(std::span(samples).first(400)), WaveOutResult::Ok);
  const auto again = Clock::now();
  while (calls == 0 && MillisSince(again) < 3000) {
    out.WaitForNotice(100);
    out.DeliverNotices();
  }
  EXPECT_EQ(calls, 1);
}

TEST(AlsaWaveOut, BusyCardAnswersAllocated) {
  AlsaWaveOut out;
  std::unique_ptr<IWaveOutDevice> first;
  std::unique_ptr<IWaveOutDevice> second;
  ASSERT_EQ(out.Open(kCard, kVoiceFormat, {}, first), WaveOutResult::Ok);
  EXPECT_EQ(out.Open(kCard, kVoiceFormat, {}, second), WaveOutResult::Allocated);
  EXPECT_FALSE(second);
  first.reset();
  EXPECT_EQ(out.Open(kCard, kVoiceFormat, {}, second), WaveOutResult::Ok);
}

TEST(AlsaWaveOut, RefusedRateAnswersBadFormat) {
  AlsaWaveOut out;
  std::unique_ptr<IWaveOutDevice> device;
  // Speed +30 raises 22050 to 28665, above what the card takes.
  EXPECT_EQ(out.Open(kCard, U8Mono(28665), {}, device), WaveOutResult::BadFormat);
  EXPECT_EQ(out.Open(kCard, U8Mono(22050), {}, device), WaveOutResult::Ok);
  device.reset();
  EXPECT_EQ(out.Open(kCard, {WaveFormat::kPcm, 1, 22050, 66150, 3, 24}, {}, device), WaveOutResult::BadFormat);
}

TEST(AlsaWaveOut, MissingDevicesAnswerError) {
  AlsaWaveOut out;
  std::unique_ptr<IWaveOutDevice> device;
  EXPECT_EQ(out.Open(kBroken, kVoiceFormat, {}, device), WaveOutResult::Error);
  EXPECT_EQ(out.Open(4, kVoiceFormat, {}, device), WaveOutResult::Error);
  EXPECT_FALSE(device);
}

}  // namespace
}  // namespace vokar::waveout
