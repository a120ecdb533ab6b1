// Runs vksay as a user would, on a small voice written by the test: the words
// and allophones --dump prints, speech into a WAV file, Ctrl+C, and errors.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <string>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "Cp1250.h"
#include "TestFolder.h"
#include "support/AlfWriter.h"
#include "support/TestInventory.h"

namespace {

using namespace vokar;

class VksayDump : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dataFolder = std::make_unique<vokar::test::TestFolder>("vksay-data");
    dataDir = dataFolder->path();
    CSpeechSettingsValues settings;
    CAllophoneDb db;
    vokar::testing::FillTestInventory(db, settings);
    vokar::testing::AlfWriter writer;
    for (int index = 1; index <= allo::kDefault; ++index) {
      if (const CAllophone* entry = db.Entry(index))
        writer.Add(index, entry->name, entry->classBits, vokar::testing::Bytes(entry->samples.begin(), entry->samples.end()));
    }
    vokar::testing::WriteFile(dataDir / "pl_22.alf", writer.Build());
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

}  // namespace
