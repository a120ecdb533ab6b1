// Runs vksay as a user would, on a small voice written by the test: the words
// and allophones --dump prints, speech into a WAV file, Ctrl+C, and errors;
// on a voice with a pitch, what the speed and the two sound switches make.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <chrono>
#include <memory>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "Cp1250.h"
#include "TestFolder.h"
#include "support/AlfWriter.h"
#include "support/TestInventory.h"
#include "support/VoicedInventory.h"
#include "waveout/tests/TestSupport.h"

namespace {

using namespace vokar;

// Writes the voice a loaded inventory holds as an allophone file.
void WriteVoice(const CAllophoneDb& db, const std::filesystem::path& path) {
  vokar::testing::AlfWriter writer;
  for (int index = 1; index <= allo::kDefault; ++index) {
    if (const CAllophone* entry = db.Entry(index))
      writer.Add(index, entry->name, entry->classBits, vokar::testing::Bytes(entry->samples.begin(), entry->samples.end()));
  }
  vokar::testing::WriteFile(path, writer.Build());
}

class VksayDump : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dataFolder = std::make_unique<vokar::test::TestFolder>("vksay-data");
    dataDir = dataFolder->path();
    CSpeechSettingsValues settings;
    CAllophoneDb db;
    vokar::testing::FillTestInventory(db, settings);
    WriteVoice(db, dataDir / "pl_22.alf");
  }
  static void TearDownTestSuite() { dataFolder.reset(); }

  void SetUp() override { std::filesystem::create_directories(cwd); }

  // Runs vksay in an empty folder of the test's own, so that only the data
  // folder holds a voice. A vksay that hangs is ended after 20 seconds (exit
  // status 124).
  // environment holds further NAME='value' words.
  std::pair<int, std::string> Run(const std::string& arguments, const std::string& configDir = "/nonexistent",
                                  const std::string& environment = "") const {
    const std::string command = "cd '" + cwd.string() + "' && VOKAR_DATA_DIR='" + dataDir.string() +
                                "' VOKAR_CONFIG_DIR='" + configDir + "' PATH=/usr/bin:/bin " + environment +
                                " timeout 20 " + VKSAY_PATH + " " + arguments + " 2>&1";
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    return {WEXITSTATUS(status), output};
  }

  // The words of every token line of a dump, joined by blanks.
  static std::string Words(const std::string& dump) {
    std::string words;
    std::size_t at = 0;
    while ((at = dump.find(" \"", at)) != std::string::npos) {
      const std::size_t end = dump.find('"', at + 2);
      words += (words.empty() ? "" : " ") + dump.substr(at + 2, end - at - 2);
      at = end + 1;
    }
    return words;
  }

  static inline std::unique_ptr<vokar::test::TestFolder> dataFolder;
  static inline std::filesystem::path dataDir;
  vokar::test::TestFolder folder{"vksay"};
  const std::filesystem::path cwd = folder / "cwd";
};

TEST_F(VksayDump, NumbersAndDatesAreReadAsWords) {
  auto [status, out] = Run("--dump '3,5 i 12/03/96'");
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(Words(out),
            "trzy i pięć dziesiątych \\x06 i dwunasty marca dziewieńdziesiątego szóstego roku \\x06");
  // The locale punctuation comes from intl.ini in the config folder.
  const auto config = folder / "config";
  std::filesystem::create_directories(config);
  vokar::testing::WriteFile(config / "intl.ini", std::string_view("[intl]\nsDate=.\nsShortDate=dd.MM.yyyy\n"));
  std::tie(status, out) = Run("--dump '12.03.1996'", config.string());
  EXPECT_EQ(Words(out), "dwunasty marca tysiąc dziewieńcet dziewieńdziesiątego szóstego roku \\x06");
  // A present but empty value: the locale has no thousands separator.
  std::tie(status, out) = Run("--dump '1.000'");
  EXPECT_EQ(Words(out), "jeden tysiąc \\x06");
  vokar::testing::WriteFile(config / "intl.ini", std::string_view("[intl]\nsThousand=\n"));
  std::tie(status, out) = Run("--dump '1.000'", config.string());
  EXPECT_EQ(Words(out), "jeden kropka \\x06 zero \\x06");
  std::tie(status, out) = Run("--dump --no-numbers '12,5'");
  EXPECT_EQ(Words(out), "jeden dwa oraz pięć \\x06");
}

TEST_F(VksayDump, PrintsAllophonesWithTheirNames) {
  const auto [status, out] = Run("--dump chrząszcz");
  EXPECT_EQ(status, 0) << out;
  // rz loses its voice after ch; the only vowel is stressed.
  EXPECT_NE(out.find("word \"chrząszcz\" accent=1 stressed: 87:ch 73:sz 23:an' 73:sz 76:cz"), std::string::npos)
      << out;
}

TEST_F(VksayDump, ReadsWindows1250FilesAndStandardInput) {
  const auto file = folder / "vksay-cp1250.txt";
  vokar::testing::WriteFile(file, cp1250::FromUtf8("Żółw. Ćma!"));
  auto [status, out] = Run("--dump -f '" + file.string() + "'");
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("utterance 2"), std::string::npos);
  EXPECT_EQ(Words(out), "Żółw . Ćma !");
  std::tie(status, out) = Run("--dump - < '" + file.string() + "'");
  EXPECT_EQ(Words(out), "Żółw . Ćma !");
}

TEST_F(VksayDump, WritesTheSpeechIntoAWavFile) {
  const auto wav = folder / "vksay-out.wav";
  const auto [status, out] = Run("--no-intonation --no-keep-pitch -o '" + wav.string() + "' 'Raz, dwa.'");
  EXPECT_EQ(status, 0) << out;
  ASSERT_TRUE(std::filesystem::exists(wav));
  // The voice's 8-bit mono at 22050 Hz: the comma and the full stop alone are 1.5 s.
  EXPECT_GT(std::filesystem::file_size(wav), 44u + 22050u * 3u / 2u);
}

TEST_F(VksayDump, CtrlCBreaksTheReadingJob) {
  // The WAV device plays in real time: seven sentences take seconds, and the
  // first file it writes says that the job runs, its Ctrl+C handler in place.
  const auto wav = folder / "heard.wav";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::setenv("VOKAR_DATA_DIR", dataDir.c_str(), 1);
    ::setenv("VOKAR_WAVEOUT", ("wav:" + wav.string()).c_str(), 1);
    ::execl(VKSAY_PATH, "vksay", "Raz. Dwa. Trzy. Cztery. Pięć. Sześć. Siedem.", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(wav) && std::chrono::steady_clock::now() < deadline) ::usleep(10 * 1000);
  EXPECT_TRUE(std::filesystem::exists(wav));
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  // Broken off: far less than the seven sentence pauses of a second each.
  EXPECT_LT(std::filesystem::file_size(wav), 44u + 22050u * 3u);
}

TEST_F(VksayDump, AFifoNamedByTheTextOrAsTheDictionaryHoldsNothingUp) {
  const auto fifo = folder.MakeFifo("cwd/f1.wav");
  ASSERT_FALSE(fifo.empty());
  auto [status, out] = Run("--dump 'Raz \\Wav=\"f1\"\\ dwa \\Wav=\"/dev/stdin\"\\ trzy.' < /dev/null");
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(Words(out), "Raz dwa trzy .");
  EXPECT_NE(out.find("utterance 3"), std::string::npos) << out;
  std::tie(status, out) = Run("--dump --dict '" + fifo.string() + "' raz");
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("cannot read the dictionary"), std::string::npos) << out;
}

TEST_F(VksayDump, ARefusedRateIsLoweredUntilTheDeviceTakesIt) {
  // The speed as the playback rate, the pitch not kept. +30 on a device that
  // takes 22050 Hz at most: played at normal speed.
  auto [status, out] =
      Run("--no-keep-pitch --speed 30 'Raz dwa.'", "/nonexistent", "VOKAR_WAVEOUT=null,fast,maxrate=22050");
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("Błędny format"), std::string::npos) << out;
  // +40 from a tag on a device that takes 30000 Hz: +36, 29988 Hz, fits.
  const auto wav = folder / "fast.wav";
  std::tie(status, out) = Run("--no-keep-pitch '\\Spd=90\\Raz dwa.'", "/nonexistent",
                              "VOKAR_WAVEOUT='wav:" + wav.string() + ",fast,maxrate=30000'");
  EXPECT_EQ(status, 0) << out;
  std::ifstream in(wav, std::ios::binary);
  char header[28] = {};
  in.read(header, sizeof header);
  std::uint32_t rate = 0;
  std::memcpy(&rate, header + 24, 4);
  EXPECT_EQ(rate, 29988u);
  // Normal speed refused too: the job ends with the device's message.
  std::tie(status, out) = Run("'Raz.'", "/nonexistent", "VOKAR_WAVEOUT=null,fast,maxrate=22049");
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("Błędny format fali dźwiękowej"), std::string::npos) << out;
}

TEST_F(VksayDump, ClearErrors) {
  auto [status, out] = Run("--dump --caps-limit x abc");
  EXPECT_EQ(status, 2);
  EXPECT_NE(out.find("--caps-limit"), std::string::npos);
  std::tie(status, out) = Run("--dump -f /nonexistent/file.txt");
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("cannot open"), std::string::npos);
  // Without a voice anywhere the loader's own message is shown.
  const std::string command = "cd '" + cwd.string() + "' && VOKAR_DATA_DIR=/nonexistent PATH=/bin " +
                              VKSAY_PATH + " --dump x 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::array<char, 512> buffer{};
  const std::size_t n = std::fread(buffer.data(), 1, buffer.size() - 1, pipe);
  EXPECT_NE(::pclose(pipe), 0);
  EXPECT_NE(std::string(buffer.data(), n).find("Nie znaleziono pliku: pl_22.alf"), std::string::npos);
}

// The same runs on a voice that speaks with a pitch (a pulse train of 95 Hz
// in its vowels and sonorants), which the prosody stage can shape.
class VksayVoiced : public VksayDump {
 protected:
  static void SetUpTestSuite() {
    dataFolder = std::make_unique<vokar::test::TestFolder>("vksay-voiced");
    dataDir = dataFolder->path();
    CSpeechSettingsValues settings;
    CAllophoneDb db;
    vokar::testing::FillVoicedInventory(db, settings);
    WriteVoice(db, dataDir / "pl_22.alf");
  }

  // A WAV file as the wave-output tests read it (strictly: a canonical
  // header whose sizes agree with the file).
  using Wav = vokar::waveout::test::WavContents;
  static std::size_t Samples(const Wav& wav) {
    const std::size_t bytes = wav.format.bitsPerSample / 8u;
    return bytes == 0 ? 0 : wav.data.size() / bytes;
  }

  // vksay -o into a new file of the test's folder; the exit status, what
  // vksay said and the file (nothing when none was written).
  struct Said {
    int status = 0;
    std::string output;
    std::optional<Wav> wav;
  };
  Said Say(const std::string& options, const std::string& text) {
    const auto path = folder / ("said" + std::to_string(++files_) + ".wav");
    auto [status, output] = Run(options + " -o '" + path.string() + "' '" + text + "'");
    return {status, output, vokar::waveout::test::ReadWav(path)};
  }

 private:
  int files_ = 0;
};

// The speed takes -50 to 150 with the pitch kept, -50 to 50 without; a
// number outside is refused with the range and no file is written. Inside,
// the pitch kept, the speech takes its length at speed 0 divided by the
// tempo (100 + speed) / 100: 0.4 of it at 150, twice it at -50; without the
// pitch kept the file's rate is the voice's 22050 Hz times the tempo: 33075
// at 50, 11025 at -50.
TEST_F(VksayVoiced, TheSpeedIsTakenUpToItsLimitsAndRefusedPastThem) {
  const std::string text = "Mama ma dom, a Ola ma kota.";
  const Said normal = Say("", text);
  ASSERT_EQ(normal.status, 0) << normal.output;
  ASSERT_TRUE(normal.wav);
  const auto samples = static_cast<double>(Samples(*normal.wav));
  for (const auto& [speed, share] : {std::pair{150, 0.4}, {-50, 2.0}}) {
    const Said said = Say("--speed " + std::to_string(speed), text);
    EXPECT_EQ(said.status, 0) << speed << said.output;
    ASSERT_TRUE(said.wav) << speed;
    EXPECT_EQ(said.wav->format.samplesPerSec, 22050u) << speed;
    EXPECT_NEAR(static_cast<double>(Samples(*said.wav)), samples * share, samples * share * 0.01) << speed;
  }
  for (const int speed : {151, -51}) {
    const Said said = Say("--speed " + std::to_string(speed), text);
    EXPECT_EQ(said.status, 2) << speed;
    EXPECT_NE(said.output.find("--speed takes a number from -50 to 150"), std::string::npos) << said.output;
    EXPECT_FALSE(said.wav) << speed;
  }
  for (const auto& [speed, rate] : {std::pair{50, 33075u}, {-50, 11025u}}) {
    const Said said = Say("--no-keep-pitch --speed " + std::to_string(speed), text);
    EXPECT_EQ(said.status, 0) << speed << said.output;
    ASSERT_TRUE(said.wav) << speed;
    EXPECT_EQ(said.wav->format.samplesPerSec, rate) << speed;
    // The same samples as at speed 0, played at another rate.
    EXPECT_EQ(Samples(*said.wav), Samples(*normal.wav)) << speed;
  }
  Said said = Say("--no-keep-pitch --speed 51", text);
  EXPECT_EQ(said.status, 2);
  EXPECT_NE(said.output.find("--speed takes a number from -50 to 50 with --no-keep-pitch"), std::string::npos)
      << said.output;
  EXPECT_FALSE(said.wav);
  said = Say("--no-keep-pitch --speed -51", text);
  EXPECT_EQ(said.status, 2);
  EXPECT_NE(said.output.find("--speed takes a number from -50 to 150"), std::string::npos) << said.output;
  EXPECT_FALSE(said.wav);
}

// By default the speech goes to the file as 16-bit mono at the voice's
// 22050 Hz (44100 bytes a second, 2 a sample); with both switches off it is
// the voice's own 8-bit mono.
TEST_F(VksayVoiced, WritesSixteenBitMonoAtTheVoicesRateByDefault) {
  const Said said = Say("", "Raz, dwa.");
  ASSERT_EQ(said.status, 0) << said.output;
  ASSERT_TRUE(said.wav);
  EXPECT_EQ(said.wav->format.channels, 1u);
  EXPECT_EQ(said.wav->format.samplesPerSec, 22050u);
  EXPECT_EQ(said.wav->format.bitsPerSample, 16u);
  EXPECT_EQ(said.wav->format.blockAlign, 2u);
  EXPECT_EQ(said.wav->format.avgBytesPerSec, 44100u);
  const Said plain = Say("--no-intonation --no-keep-pitch", "Raz, dwa.");
  ASSERT_TRUE(plain.wav);
  EXPECT_EQ(plain.wav->format.channels, 1u);
  EXPECT_EQ(plain.wav->format.samplesPerSec, 22050u);
  EXPECT_EQ(plain.wav->format.bitsPerSample, 8u);
  EXPECT_EQ(plain.wav->format.avgBytesPerSec, 22050u);
}

// The melody tells a question from a statement: by default "?" and "." on
// the same words sound different. --no-intonation alone drops the melody and
// the new rhythm: the two sound the same, as long as the plain pieces (the
// 8-bit speech of both switches off), in 16 bits.
TEST_F(VksayVoiced, WithoutIntonationAQuestionSoundsAsAStatement) {
  const std::string words = "Czy Ola ma kota";
  const Said statement = Say("", words + ".");
  const Said question = Say("", words + "?");
  ASSERT_TRUE(statement.wav && question.wav) << statement.output << question.output;
  EXPECT_NE(statement.wav->data, question.wav->data);
  const Said flatStatement = Say("--no-intonation", words + ".");
  const Said flatQuestion = Say("--no-intonation", words + "?");
  ASSERT_TRUE(flatStatement.wav && flatQuestion.wav) << flatStatement.output << flatQuestion.output;
  EXPECT_EQ(flatStatement.wav->data, flatQuestion.wav->data);
  EXPECT_EQ(flatStatement.wav->format.bitsPerSample, 16u);
  const Said plain = Say("--no-intonation --no-keep-pitch", words + ".");
  ASSERT_TRUE(plain.wav);
  ASSERT_EQ(Samples(*flatStatement.wav), Samples(*plain.wav));
  // Sample by sample the same sound: the low-pass of the vowels and
  // sonorants takes out only the 8-bit rounding noise and what little lies
  // above 5.5 kHz, a few steps of 8 bits at most.
  double largest = 0.0;
  for (std::size_t i = 0; i < Samples(*plain.wav); ++i) {
    const auto wide = static_cast<std::int16_t>(static_cast<std::uint8_t>(flatStatement.wav->data[2 * i]) |
                                                static_cast<std::uint8_t>(flatStatement.wav->data[2 * i + 1]) << 8);
    const int narrow = static_cast<std::uint8_t>(plain.wav->data[i]) - 128;
    largest = std::max(largest, std::abs(wide / 256.0 - narrow));
  }
  EXPECT_LT(largest, 3.0);
}

}  // namespace
