#include "WaveOutFactory.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "AlsaWaveOut.h"

namespace vokar::waveout {
namespace {

std::optional<WaveOutSetting> Parse(std::string_view text, std::string* error = nullptr) {
  std::string message;
  auto setting = ParseWaveOutSetting(text, message);
  if (error) *error = message;
  EXPECT_EQ(setting.has_value(), message.empty()) << text;
  return setting;
}

TEST(WaveOutSetting, NothingOrAlsaMeansTheSoundSystem) {
  EXPECT_EQ(Parse("")->kind, BackendKind::Alsa);
  EXPECT_EQ(Parse("alsa")->kind, BackendKind::Alsa);
  EXPECT_FALSE(Parse("alsa,fast"));
}

TEST(WaveOutSetting, VirtualDevicesAndTheirOptions) {
  const auto silent = Parse("null");
  ASSERT_TRUE(silent);
  EXPECT_EQ(silent->kind, BackendKind::Virtual);
  EXPECT_TRUE(silent->options.wavPath.empty());
  EXPECT_EQ(silent->options.pacing, Pacing::RealTime);
  EXPECT_EQ(silent->options.deviceCount, 1);

  const auto wav = Parse("wav:/tmp/say out.wav,fast,busy=2,maxrate=22050,devices=3");
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->options.wavPath, "/tmp/say out.wav");
  EXPECT_EQ(wav->options.pacing, Pacing::Fast);
  EXPECT_EQ(wav->options.busyOpens, 2);
  EXPECT_EQ(wav->options.maxRate, 22050u);
  EXPECT_EQ(wav->options.deviceCount, 3);

  EXPECT_EQ(Parse("null,devices=0")->options.deviceCount, 0);
}

TEST(WaveOutSetting, MistakesAreReportedNotGuessed) {
  std::string error;
  EXPECT_FALSE(Parse("nul", &error));
  EXPECT_NE(error.find("nul"), std::string::npos);
  EXPECT_FALSE(Parse("wav:", &error));
  EXPECT_FALSE(Parse("null,fats", &error));
  EXPECT_NE(error.find("fats"), std::string::npos);
  EXPECT_FALSE(Parse("null,busy=", &error));
  EXPECT_FALSE(Parse("null,busy=-1", &error));
  EXPECT_FALSE(Parse("null,busy=2x", &error));
  EXPECT_FALSE(Parse("null,maxrate=0", &error));
  EXPECT_FALSE(Parse("null,devices=99", &error));
  EXPECT_FALSE(Parse("null,fast=1", &error));
  EXPECT_FALSE(Parse("null,", &error));
}

TEST(CreateWaveOut, FollowsTheEnvironment) {
  ::setenv("VOKAR_WAVEOUT", "null,devices=2,busy=1", 1);
  auto out = CreateWaveOut();
  EXPECT_NE(dynamic_cast<VirtualWaveOut*>(out.get()), nullptr);
  EXPECT_EQ(out->DeviceCount(), 2);
  EXPECT_GE(out->NoticeFd(), 0);
  std::unique_ptr<IWaveOutDevice> device;
  EXPECT_EQ(out->Open(0, kVoiceFormat, {}, device), WaveOutResult::Allocated);
  EXPECT_EQ(out->Open(0, kVoiceFormat, {}, device), WaveOutResult::Ok);

  // A value that cannot be understood leaves the program without a device.
  ::setenv("VOKAR_WAVEOUT", "speakers", 1);
  out = CreateWaveOut();
  EXPECT_EQ(out->DeviceCount(), 0);

  ::unsetenv("VOKAR_WAVEOUT");
  out = CreateWaveOut();
  EXPECT_NE(dynamic_cast<AlsaWaveOut*>(out.get()), nullptr);
}

}  // namespace
}  // namespace vokar::waveout
