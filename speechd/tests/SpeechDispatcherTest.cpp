// The real speech-dispatcher, started by the test on a socket of its own
// with sd_vokar as its module and the silent libao driver for its own sound,
// and spd-say as a user runs it: our module speaks, stops, follows the rate
// and reads backslashes as text. Nothing of the real home or of the system's
// speech-dispatcher is touched: every folder is the test's.
#include <gtest/gtest.h>

#include "Profile.h"
#include "support/ModuleWorld.h"

namespace vokar::speechd {
namespace {

using namespace test;

// What Debian's speechd.conf sets for the server's own symbol pre-processing.
constexpr const char* kDebianSymbols =
    "SymbolsPreproc \"char\"\n"
    "SymbolsPreprocFile \"gender-neutral.dic\"\n"
    "SymbolsPreprocFile \"font-variants.dic\"\n"
    "SymbolsPreprocFile \"symbols.dic\"\n"
    "SymbolsPreprocFile \"emojis.dic\"\n"
    "SymbolsPreprocFile \"orca.dic\"\n"
    "SymbolsPreprocFile \"orca-chars.dic\"\n";

// With the server's pre-processing off, as the README advises for sd_vokar.
constexpr const char* kNoSymbols = "SymbolsPreproc \"no\"\n";

class SpeechDispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::filesystem::path(VOKAR_STAGE_DATA) / "pl_22.alf"))
      GTEST_SKIP() << "the voice was not built (VOKAR_BUILD_VOICE is off)";
  }

  // Starts speech-dispatcher with sd_vokar as its default module.
  void StartServer(const char* symbols) {
    world.folder().Write("conf/speechd.conf",
                         std::string("DisableAutoSpawn\n"
                                     "LogLevel 3\n"
                                     "AudioOutputMethod \"libao\"\n"
                                     "DefaultLanguage \"pl\"\n"
                                     "AddModule \"vokar\" \"") +
                             SD_VOKAR + "\" \"vokar.conf\"\n" + "DefaultModule vokar\n" + symbols);
    world.folder().Write("conf/modules/vokar.conf", "# the defaults\n");
    server = std::make_unique<PrivateSpeechDispatcher>(world, world / "conf", std::nullopt, VOKAR_STAGE_DATA);
    ASSERT_TRUE(server->Ready()) << "speech-dispatcher's socket did not appear";
  }

  std::optional<int> SpdSay(const std::vector<std::string>& arguments) { return server->SpdSay(arguments).exitCode; }

  // Waits until the WAV files hold at least `seconds` of sound.
  bool WaitForSound(double seconds, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (world.TotalSeconds() < seconds) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }

  ModuleWorld world;
  std::unique_ptr<PrivateSpeechDispatcher> server;
};

TEST_F(SpeechDispatcher, SpdSaySpeaksTheSentenceOfTheIssueThroughOurModule) {
  StartServer(kDebianSymbols);
  EXPECT_EQ(SpdSay({"-w", "-o", "vokar", "-l", "pl", "Dzień dobry, 12.03.1996 r."}), 0);
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u);
  // Greeting, date and year in words: several seconds of audible speech.
  EXPECT_GT(wavs[0].Seconds(), 3.0);
  EXPECT_LT(wavs[0].Seconds(), 15.0);
  EXPECT_GT(wavs[0].Peak(), 40);
}

TEST_F(SpeechDispatcher, StopCutsALongTextShort) {
  StartServer(kNoSymbols);
  std::string text;
  for (int i = 0; i < 8; ++i) text += "Pociąg do Krakowa odjeżdża z peronu trzeciego o godzinie 14:30. ";
  // Without -w spd-say leaves as soon as the message is queued.
  EXPECT_EQ(SpdSay({"-o", "vokar", text}), 0);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(SpdSay({"-S"}), 0);
  // The WAV device writes what was played when a piece of speech ends or is
  // stopped.
  ASSERT_TRUE(WaitForSound(0.5, 5s)) << "no speech came";
  std::this_thread::sleep_for(500ms);
  const double stopped = world.TotalSeconds();
  // The whole text would take well over half a minute; it stopped at the
  // STOP, a second and a half in, and stays stopped.
  EXPECT_LT(stopped, 2.5);
  std::this_thread::sleep_for(1s);
  EXPECT_DOUBLE_EQ(world.TotalSeconds(), stopped);
}

// spd-say's rate is the tempo, the pitch kept: rate 100 is two and a half
// times as fast, -100 half as fast, all of it at the voice's rate.
TEST_F(SpeechDispatcher, TheRateChangesTheLength) {
  StartServer(kNoSymbols);
  const std::string text = "Jedziemy do Łodzi.";
  std::vector<double> ends;
  for (const char* rate : {"0", "100", "-100"}) {
    EXPECT_EQ(SpdSay({"-w", "-o", "vokar", "-r", rate, text}), 0);
    ends.push_back(world.TotalSeconds());
  }
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u);
  EXPECT_EQ(wavs[0].rate, 22050u);
  const double normal = ends[0];
  EXPECT_NEAR(ends[1] - ends[0], normal / 2.5, 0.02);
  EXPECT_NEAR(ends[2] - ends[1], normal * 2.0, 0.03);
}

TEST_F(SpeechDispatcher, BackslashesAndTagsAreReadAsText) {
  // A loud wave file where the module would look for an insert.
  std::string wav("RIFF\x34\x56\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x11\x2B\0\0\x11\x2B\0\0\x01\0\x08\0data\x10\x56\0\0", 44);
  wav += std::string(0x5610, '\xF0');
  world.folder().Write("work/dzwonek.wav", wav);
  // The speed played as the rate, so that a speed tag that took effect
  // would start a file of its own.
  ::setenv("VOKAR_REGISTRY_DIR", world.Registry().c_str(), 1);
  ASSERT_TRUE(registry::Profile("Quillmark", "Vokar").WriteString("Sound", "KeepPitch", "No"));
  ::unsetenv("VOKAR_REGISTRY_DIR");
  StartServer(kNoSymbols);
  EXPECT_EQ(SpdSay({"-w", "-o", "vokar", "Plik C:\\Wav=\"dzwonek\"\\ i \\Wav=\"/etc/passwd\"\\ oraz \\Spd=99\\ koniec."}), 0);
  const auto wavs = world.Wavs();
  ASSERT_EQ(wavs.size(), 1u) << "a tag changed the rate or played a file";
  EXPECT_GT(wavs[0].Seconds(), 3.0);
  const auto& data = wavs[0].data;
  EXPECT_EQ(std::search_n(data.begin(), data.end(), 100, std::uint8_t{0xF0}), data.end());
}

}  // namespace
}  // namespace vokar::speechd
