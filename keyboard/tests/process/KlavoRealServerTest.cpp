// The real klavo and the real speech server it starts, speaking into WAV
// files on the wav: device while another program is typed at on a private X
// server with the Polish layout: what the user would hear.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "KlavoWorld.h"

namespace {

using namespace vokar::keyboard::testing;

const auto* const kX = ::testing::AddGlobalTestEnvironment(new XEnvironment);

// 8-bit mono at 22050 samples a second: one byte a sample.
constexpr std::size_t kHeader = 44;
constexpr std::size_t kTenthOfASecond = 2205;

std::vector<std::uint8_t> Samples(const fs::path& wav) {
  std::ifstream in(wav, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() <= kHeader) return {};
  return {bytes.begin() + kHeader, bytes.end()};
}

std::size_t SampleCount(const fs::path& wav) {
  std::error_code ignored;
  const auto size = fs::exists(wav) ? fs::file_size(wav, ignored) : 0;
  return size > kHeader ? size - kHeader : 0;
}

// Tenths of a second from `from` on whose samples swing more than a quiet
// room would: speech, not silence.
int VoicedTenths(const std::vector<std::uint8_t>& samples, std::size_t from) {
  int voiced = 0;
  for (std::size_t at = from; at + kTenthOfASecond <= samples.size(); at += kTenthOfASecond) {
    double sum = 0;
    for (std::size_t i = at; i < at + kTenthOfASecond; ++i) {
      const double v = static_cast<double>(samples[i]) - 128.0;
      sum += v * v;
    }
    voiced += std::sqrt(sum / kTenthOfASecond) > 4.0 ? 1 : 0;
  }
  return voiced;
}

class KlavoOnTheRealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    wav_ = k_.world().folder() / "mowa.wav";
    k_.UseRealServer(wav_);
  }
  // klavo starts the server itself and plays its start-up sound: the first
  // samples on the device.
  void Start() {
    ASSERT_TRUE(k_.StartKlavo(false));
    ASSERT_TRUE(Eventually([&] { return SampleCount(wav_) > 2000; }, 20000ms)) << "the start-up sound";
    // The sound is over when the file stops growing.
    WaitForSilence();
    k_.FocusOtherProgram();
  }
  std::size_t WaitForSilence() {
    std::size_t last = SampleCount(wav_);
    for (int still = 0; still < 6;) {
      std::this_thread::sleep_for(100ms);
      const auto now = SampleCount(wav_);
      still = now == last ? still + 1 : 0;
      last = now;
    }
    return last;
  }

  KlavoWorld k_;
  fs::path wav_;
};

TEST_F(KlavoOnTheRealServer, WordsTypedInAnotherProgramAreHeard) {
  Start();
  const std::size_t before = SampleCount(wav_);
  k_.Type("Ala ma kota ");
  ASSERT_TRUE(Eventually([&] { return SampleCount(wav_) > before + 13000; }, 15000ms));
  const std::size_t after = WaitForSilence();
  // Five syllables read at the normal rate last well over 0.6 s, and most
  // of what was added is voice.
  const auto samples = Samples(wav_);
  const int voiced = VoicedTenths(samples, before);
  EXPECT_GE(voiced, 6) << (after - before) << " samples added";
  EXPECT_GE(voiced * 2, static_cast<int>((after - before) / kTenthOfASecond)) << "mostly speech";
  EXPECT_EQ(k_.StopKlavo(), 0);
  EXPECT_TRUE(k_.world().Messages().empty());
}

TEST_F(KlavoOnTheRealServer, EchoModeSaysAnAltGrLetterAndNothingWhileOff) {
  k_.Store("Global", "Echo", "Yes");
  k_.Store("HotKeys", "StartStop", "CS75");  // Ctrl+Shift+K
  Start();
  const std::size_t before = SampleCount(wav_);
  k_.Key("ISO_Level3_Shift+a");
  ASSERT_TRUE(Eventually([&] { return SampleCount(wav_) > before + 2000; }, 15000ms)) << "ą is said";
  const std::size_t said = WaitForSilence();
  EXPECT_GE(VoicedTenths(Samples(wav_), before), 1);

  // Switched off: the off sound, then nothing for the keys typed.
  k_.Key("ctrl+shift+k");
  ASSERT_TRUE(Eventually([&] { return SampleCount(wav_) > said + 1000; }, 15000ms)) << "the off sound";
  const std::size_t off = WaitForSilence();
  k_.Type("abc");
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(SampleCount(wav_), off) << "nothing is said while off";
  EXPECT_EQ(k_.StopKlavo(), 0);
  EXPECT_EQ(k_.Stored("Global", "OnOff"), "No");
}

}  // namespace
