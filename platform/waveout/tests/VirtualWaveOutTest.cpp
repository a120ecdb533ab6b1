#include "VirtualWaveOut.h"

#include <gtest/gtest.h>

#include <thread>

#include "TestFolder.h"
#include "TestSupport.h"

namespace vokar::waveout {
namespace {

using test::MillisSince;
using test::U8Mono;
using test::WaitDone;
using Clock = test::Clock;

struct Opened {
  WaveOutResult result;
  std::unique_ptr<IWaveOutDevice> device;
};

Opened OpenDevice(IWaveOut& out, int device, const WaveFormat& format, std::function<void()> onDone) {
  Opened opened;
  opened.result = out.Open(device, format, std::move(onDone), opened.device);
  return opened;
}

TEST(VirtualWaveOut, SilentDevicePlaysInRealTime) {
  VirtualWaveOut out;
  bool done = false;
  auto opened = OpenDevice(out, kWaveMapper, U8Mono(8000), [&] { done = true; });
  ASSERT_EQ(opened.result, WaveOutResult::Ok);
  const std::vector<std::uint8_t> samples(2400, 128);  // 300 ms
  const auto start = Clock::now();
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  const long took = WaitDone(out, done);
  EXPECT_TRUE(done);
  EXPECT_GE(took, 290);
  EXPECT_LT(took, 1500);
  EXPECT_GE(MillisSince(start), 290);
}

TEST(VirtualWaveOut, DoneNoticeRunsOnlyInDeliverNoticesOnTheOwnersThread) {
  VirtualWaveOut out;
  std::thread::id ranOn;
  int calls = 0;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] {
    ranOn = std::this_thread::get_id();
    ++calls;
  });
  ASSERT_EQ(opened.result, WaveOutResult::Ok);
  const std::vector<std::uint8_t> samples(400, 128);  // 50 ms
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  ASSERT_TRUE(test::FdReadable(out.NoticeFd(), 2000));
  // Finished, but nothing runs until the owner asks.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(calls, 0);
  out.DeliverNotices();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  // Delivered notices are gone and the fd is quiet again.
  out.DeliverNotices();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(test::FdReadable(out.NoticeFd(), 0));
}

TEST(VirtualWaveOut, WaitForNoticeReturnsWhenTheBufferIsDone) {
  VirtualWaveOut out;
  bool done = false;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { done = true; });
  const std::vector<std::uint8_t> samples(800, 128);  // 100 ms
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  const auto start = Clock::now();
  out.WaitForNotice(5000);
  EXPECT_GE(MillisSince(start), 80);
  EXPECT_LT(MillisSince(start), 2000);
  out.DeliverNotices();
  EXPECT_TRUE(done);
  // Nothing pending: the timeout ends the wait.
  const auto again = Clock::now();
  out.WaitForNotice(50);
  EXPECT_GE(MillisSince(again), 45);
}

TEST(VirtualWaveOut, PauseStopsTheClockAndRestartGoesOn) {
  VirtualWaveOut out;
  bool done = false;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { done = true; });
  const std::vector<std::uint8_t> samples(2400, 128);  // 300 ms
  const auto start = Clock::now();
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  opened.device->Pause();
  // Paused for longer than the whole buffer: no notice.
  EXPECT_FALSE(test::FdReadable(out.NoticeFd(), 400));
  opened.device->Restart();
  WaitDone(out, done);
  EXPECT_TRUE(done);
  // 100 ms before the pause, 400 ms paused, the remaining 200 ms after.
  EXPECT_GE(MillisSince(start), 690);
}

TEST(VirtualWaveOut, WriteToAPausedDeviceWaitsForRestart) {
  VirtualWaveOut out;
  bool done = false;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { done = true; });
  opened.device->Pause();
  const std::vector<std::uint8_t> samples(80, 128);  // 10 ms
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  EXPECT_FALSE(test::FdReadable(out.NoticeFd(), 200));
  opened.device->Restart();
  WaitDone(out, done);
  EXPECT_TRUE(done);
}

TEST(VirtualWaveOut, ResetSendsNoNoticeAndFreesTheDeviceForTheNextBuffer) {
  VirtualWaveOut out;
  int calls = 0;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { ++calls; });
  const std::vector<std::uint8_t> samples(800, 128);  // 100 ms
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  // One buffer at a time.
  EXPECT_EQ(opened.device->Write(samples), WaveOutResult::Error);
  opened.device->Reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  out.DeliverNotices();
  EXPECT_EQ(calls, 0);

  // A buffer that finished but whose notice was not delivered yet is
  // forgotten by a reset too.
  ASSERT_EQ(opened.device->Write(std::span(samples).first(8)), WaveOutResult::Ok);
  ASSERT_TRUE(test::FdReadable(out.NoticeFd(), 2000));
  opened.device->Reset();
  out.DeliverNotices();
  EXPECT_EQ(calls, 0);

  ASSERT_EQ(opened.device->Write(std::span(samples).first(8)), WaveOutResult::Ok);
  const auto start = Clock::now();
  while (calls == 0 && MillisSince(start) < 2000) {
    out.WaitForNotice(100);
    out.DeliverNotices();
  }
  EXPECT_EQ(calls, 1);
}

TEST(VirtualWaveOut, ClosingADeviceDropsItsPendingNotice) {
  VirtualWaveOut out;
  int calls = 0;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { ++calls; });
  const std::vector<std::uint8_t> samples(8, 128);
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  ASSERT_TRUE(test::FdReadable(out.NoticeFd(), 2000));
  opened.device.reset();
  out.DeliverNotices();
  EXPECT_EQ(calls, 0);
}

TEST(VirtualWaveOut, ACallbackMayCloseTheDeviceOfALaterNotice) {
  VirtualWaveOutOptions options;
  options.pacing = Pacing::Fast;
  VirtualWaveOut out(options);
  std::unique_ptr<IWaveOutDevice> second;
  int firstCalls = 0;
  int secondCalls = 0;
  auto first = OpenDevice(out, 0, U8Mono(8000), [&] {
    ++firstCalls;
    second.reset();
  });
  ASSERT_EQ(out.Open(0, U8Mono(8000), [&] { ++secondCalls; }, second), WaveOutResult::Ok);
  const std::vector<std::uint8_t> samples(8, 128);
  // Both notices are queued, the first device's first, before either runs.
  ASSERT_EQ(first.device->Write(samples), WaveOutResult::Ok);
  ASSERT_TRUE(test::FdReadable(out.NoticeFd(), 2000));
  ASSERT_EQ(second->Write(samples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  out.DeliverNotices();
  EXPECT_EQ(firstCalls, 1);
  EXPECT_EQ(secondCalls, 0);
  EXPECT_FALSE(second);
}

TEST(VirtualWaveOut, BusyHookRefusesTheFirstOpens) {
  VirtualWaveOutOptions options;
  options.busyOpens = 2;
  VirtualWaveOut out(options);
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Allocated);
  EXPECT_EQ(OpenDevice(out, kWaveMapper, kVoiceFormat, {}).result, WaveOutResult::Allocated);
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Ok);
  out.SetBusyOpens(1);
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Allocated);
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Ok);
}

TEST(VirtualWaveOut, RateLimitRefusesFasterFormats) {
  VirtualWaveOutOptions options;
  options.maxRate = 22050;
  VirtualWaveOut out(options);
  EXPECT_EQ(OpenDevice(out, 0, U8Mono(28665), {}).result, WaveOutResult::BadFormat);
  EXPECT_EQ(OpenDevice(out, 0, U8Mono(22050), {}).result, WaveOutResult::Ok);
  EXPECT_EQ(OpenDevice(out, 0, U8Mono(11025), {}).result, WaveOutResult::Ok);
  out.SetMaxRate(0);
  EXPECT_EQ(OpenDevice(out, 0, U8Mono(28665), {}).result, WaveOutResult::Ok);
  // Formats no device plays are refused whatever the limit.
  EXPECT_EQ(OpenDevice(out, 0, {WaveFormat::kPcm, 1, 22050, 22050, 1, 12}, {}).result, WaveOutResult::BadFormat);
}

TEST(VirtualWaveOut, DeviceNumbersCapsAndVolumes) {
  VirtualWaveOutOptions options;
  options.deviceCount = 2;
  VirtualWaveOut out(options);
  EXPECT_EQ(out.DeviceCount(), 2);
  ASSERT_TRUE(out.Caps(1));
  EXPECT_EQ(out.Caps(1)->name, "Vokar silent device 2");
  EXPECT_TRUE(out.Caps(kWaveMapper)->volumeControl);
  EXPECT_TRUE(out.Caps(0)->leftRightVolume);
  EXPECT_FALSE(out.Caps(2));
  EXPECT_FALSE(out.Caps(-2));
  EXPECT_EQ(OpenDevice(out, 2, kVoiceFormat, {}).result, WaveOutResult::Error);

  // Full level until set; each device keeps its own word.
  EXPECT_EQ(out.GetVolume(0), 0xFFFFFFFFu);
  EXPECT_TRUE(out.SetVolume(0, 0x4000FFFF));
  EXPECT_TRUE(out.SetVolume(kWaveMapper, 0x12341234));
  EXPECT_EQ(out.GetVolume(0), 0x4000FFFFu);
  EXPECT_EQ(out.GetVolume(1), 0xFFFFFFFFu);
  EXPECT_EQ(out.GetVolume(kWaveMapper), 0x12341234u);
  EXPECT_FALSE(out.SetVolume(5, 0));
  EXPECT_FALSE(out.GetVolume(5));
}

TEST(VirtualWaveOut, AMachineWithoutDevicesHasNoMapperEither) {
  VirtualWaveOutOptions options;
  options.deviceCount = 0;
  VirtualWaveOut out(options);
  EXPECT_EQ(out.DeviceCount(), 0);
  EXPECT_FALSE(out.Caps(kWaveMapper));
  EXPECT_FALSE(out.GetVolume(kWaveMapper));
  EXPECT_EQ(OpenDevice(out, kWaveMapper, kVoiceFormat, {}).result, WaveOutResult::Error);
}

class WavWriter : public ::testing::Test {
 protected:

  VirtualWaveOutOptions Options(Pacing pacing) const {
    VirtualWaveOutOptions options;
    options.wavPath = dir_ / "out.wav";
    options.pacing = pacing;
    return options;
  }

  // Plays one buffer to its end.
  static void Play(VirtualWaveOut& out, const WaveFormat& format, std::span<const std::uint8_t> samples) {
    bool done = false;
    auto opened = OpenDevice(out, 0, format, [&] { done = true; });
    ASSERT_EQ(opened.result, WaveOutResult::Ok);
    ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
    WaitDone(out, done);
    ASSERT_TRUE(done);
  }

  vokar::test::TestFolder folder_{"waveout"};
  const std::filesystem::path dir_ = folder_.path();
};

TEST_F(WavWriter, WritesWhatWasPlayedAtTheRateItWasPlayed) {
  VirtualWaveOut out(Options(Pacing::RealTime));
  const auto samples = test::Ramp(2867);  // 100 ms at 28665 Hz
  const auto start = Clock::now();
  Play(out, U8Mono(28665), samples);
  EXPECT_GE(MillisSince(start), 95);
  const auto wav = test::ReadWav(dir_ / "out.wav");
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->format, U8Mono(28665));
  EXPECT_EQ(wav->data, samples);
}

TEST_F(WavWriter, WhatIsPlayedReachesTheFileWhileTheBufferStillPlays) {
  VirtualWaveOut out(Options(Pacing::RealTime));
  const auto samples = test::Ramp(8000);  // a second at 8000 Hz
  bool done = false;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { done = true; });
  ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // A third of the buffer has been heard; the file holds the beginning of it
  // and not yet its end.
  const auto early = test::ReadWav(dir_ / "out.wav");
  ASSERT_TRUE(early);
  EXPECT_GT(early->data.size(), 0u);
  EXPECT_LT(early->data.size(), samples.size());
  EXPECT_TRUE(std::equal(early->data.begin(), early->data.end(), samples.begin()));
  WaitDone(out, done);
  ASSERT_TRUE(done);
  const auto whole = test::ReadWav(dir_ / "out.wav");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->data, samples);
}

TEST_F(WavWriter, FastDeviceFinishesAtOnceAndKeepsOneFilePerFormat) {
  VirtualWaveOut out(Options(Pacing::Fast));
  const auto samples = test::Ramp(22050);  // a second of sound
  const auto start = Clock::now();
  Play(out, kVoiceFormat, samples);
  Play(out, kVoiceFormat, std::span(samples).first(100));
  Play(out, U8Mono(11245), std::span(samples).first(50));
  Play(out, kVoiceFormat, std::span(samples).first(10));
  EXPECT_LT(MillisSince(start), 900);

  const auto files = out.WavFiles();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1], dir_ / "out-2.wav");
  EXPECT_EQ(files[2], dir_ / "out-3.wav");
  const auto first = test::ReadWav(files[0]);
  const auto second = test::ReadWav(files[1]);
  const auto third = test::ReadWav(files[2]);
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(first->data.size(), 22150u);
  EXPECT_TRUE(std::equal(samples.begin(), samples.begin() + 100, first->data.begin() + 22050));
  EXPECT_EQ(second->format.samplesPerSec, 11245u);
  EXPECT_EQ(second->data.size(), 50u);
  EXPECT_EQ(third->format, kVoiceFormat);
  EXPECT_EQ(third->data.size(), 10u);
}

TEST_F(WavWriter, ResetKeepsOnlyWhatWasPlayedAndPauseLosesNothing) {
  VirtualWaveOut out(Options(Pacing::RealTime));
  const auto samples = test::Ramp(8000);  // a second at 8000 Hz
  {
    bool done = false;
    auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { done = true; });
    ASSERT_EQ(opened.device->Write(samples), WaveOutResult::Ok);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    opened.device->Reset();
  }
  auto wav = test::ReadWav(dir_ / "out.wav");
  ASSERT_TRUE(wav);
  // About 200 ms were played; a loaded machine may have taken longer.
  EXPECT_GE(wav->data.size(), 1500u);
  EXPECT_LT(wav->data.size(), 6000u);
  EXPECT_TRUE(std::equal(wav->data.begin(), wav->data.end(), samples.begin()));
  const std::size_t afterReset = wav->data.size();

  const auto shortSamples = test::Ramp(1600);  // 200 ms
  bool done = false;
  auto opened = OpenDevice(out, 0, U8Mono(8000), [&] { done = true; });
  ASSERT_EQ(opened.device->Write(shortSamples), WaveOutResult::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  opened.device->Pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  opened.device->Restart();
  WaitDone(out, done);
  ASSERT_TRUE(done);
  wav = test::ReadWav(dir_ / "out.wav");
  ASSERT_TRUE(wav);
  ASSERT_EQ(wav->data.size(), afterReset + 1600);
  EXPECT_TRUE(std::equal(shortSamples.begin(), shortSamples.end(), wav->data.begin() + afterReset));
}

TEST_F(WavWriter, VolumeAndBalanceScaleTheSamples) {
  VirtualWaveOut out(Options(Pacing::Fast));
  const std::vector<std::uint8_t> samples{228, 28, 128};
  ASSERT_TRUE(out.SetVolume(0, 0x80008000));  // half level, centred: still mono
  Play(out, kVoiceFormat, samples);
  ASSERT_TRUE(out.SetVolume(0, 0x0000FFFF));  // left only: two channels
  Play(out, kVoiceFormat, samples);

  const auto files = out.WavFiles();
  ASSERT_EQ(files.size(), 2u);
  const auto mono = test::ReadWav(files[0]);
  const auto stereo = test::ReadWav(files[1]);
  ASSERT_TRUE(mono && stereo);
  EXPECT_EQ(mono->format, kVoiceFormat);
  EXPECT_EQ(mono->data, (std::vector<std::uint8_t>{178, 78, 128}));
  EXPECT_EQ(stereo->format.channels, 2);
  EXPECT_EQ(stereo->format.blockAlign, 2);
  EXPECT_EQ(stereo->format.avgBytesPerSec, 44100u);
  EXPECT_EQ(stereo->data, (std::vector<std::uint8_t>{228, 128, 28, 128, 128, 128}));
}

TEST_F(WavWriter, OneStreamAtATime) {
  VirtualWaveOut out(Options(Pacing::Fast));
  auto first = OpenDevice(out, 0, kVoiceFormat, {});
  ASSERT_EQ(first.result, WaveOutResult::Ok);
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Allocated);
  first.device.reset();
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Ok);
}

TEST(WavWriterFailure, AFileThatCannotBeMadeFailsTheOpen) {
  VirtualWaveOutOptions options;
  options.wavPath = "/nonexistent-folder/out.wav";
  VirtualWaveOut out(options);
  EXPECT_EQ(OpenDevice(out, 0, kVoiceFormat, {}).result, WaveOutResult::Error);
  EXPECT_NE(out.WavError().find("/nonexistent-folder/out.wav"), std::string::npos);
}

}  // namespace
}  // namespace vokar::waveout
