// The program radko run as a user runs it, on a private desktop and settings
// store, handing its line to the DDE test server (which it starts itself
// through App Paths).
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AppPaths.h"
#include "ClientTestSupport.h"
#include "Profile.h"
#include "Radko.h"
#include "Registry.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using vokar::testing::ClientWorld;

const std::string kNoFileName =
    "Podaj nazwę pliku tekstowego: \n - w 'HKEY_CURRENT_USER\\Software\\Quillmark\\Radko\\Text File\\Name=' lub,\n"
    " - w linii komend.\n";

class Radko : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_DDE_TESTSERVER).ok());
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 100");
  }

  // Runs radko with the arguments and waits for its end; the exit status.
  int Run(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), VOKAR_RADKO);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, VOKAR_RADKO, nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path file = world_.folder() / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

  static registry::Profile Settings() { return registry::Profile("Quillmark", "Radko"); }

  // What the server was given to speak.
  std::vector<std::string> Spoken() const {
    std::vector<std::string> pokes;
    for (const auto& line : ClientWorld::Lines(serverLog_)) {
      if (line.starts_with("poke ")) pokes.push_back(line.substr(5));
    }
    return pokes;
  }
  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (const auto& line : ClientWorld::Lines(serverLog_)) {
      if (!line.starts_with("start ")) requests.push_back(line);
    }
    return requests;
  }

  ClientWorld world_;
  fs::path serverLog_ = world_.folder() / "server.log";
};

TEST_F(Radko, InTurnAfterAShortenedFileSpeaksTheWrappedLineAndStoresIt) {
  const auto file = Write("rady.txt", "zero\njeden\ndwa\ntrzy\n");
  const auto profile = Settings();
  ASSERT_TRUE(profile.WriteString("Text File", "Name", file.string()).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "Randomize", "no").ok());
  ASSERT_TRUE(profile.WriteInt("Text File", "LastRow", 9).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "InitString", "\\Spd=20\\ Rada: ").ok());

  EXPECT_EQ(Run(), 0);
  // InitString, the line with its line end, the reset tag; break first.
  EXPECT_EQ(Requests(), (std::vector<std::string>{"execute break", "poke \\\\Spd=20\\\\ Rada: dwa\\n \\\\Rst\\\\",
                                                  "execute read"}));
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 2);
  EXPECT_EQ(profile.GetString("Text File", "Randomize", ""), "No");
  EXPECT_EQ(profile.GetString("Text File", "Name", ""), file.string());
  EXPECT_EQ(profile.GetString("Text File", "InitString", ""), "\\Spd=20\\ Rada: ");
  EXPECT_TRUE(world_.Messages().empty());

  // The next run takes the next line, and after the last the first.
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Run(), 0);
  const auto spoken = Spoken();
  ASSERT_EQ(spoken.size(), 3u);
  EXPECT_EQ(spoken[1], "\\\\Spd=20\\\\ Rada: trzy\\n \\\\Rst\\\\");
  EXPECT_EQ(spoken[2], "\\\\Spd=20\\\\ Rada: zero\\n \\\\Rst\\\\");
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 0);
}

TEST_F(Radko, NoFileNamedAnywhereIsToldAndTheDefaultsAreWritten) {
  EXPECT_EQ(Run(), 1);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kNoFileName);
  EXPECT_EQ(messages[0].caption, "Radko");
  EXPECT_EQ(messages[0].buttons, "ok");
  EXPECT_TRUE(ClientWorld::Lines(serverLog_).empty());  // no server was started
  const auto profile = Settings();
  EXPECT_EQ(profile.GetString("Text File", "Name", "?"), "");
  EXPECT_EQ(profile.GetString("Text File", "Randomize", "?"), "Yes");
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 0);
  EXPECT_EQ(profile.GetString("Text File", "InitString", "?"), "");
}

TEST_F(Radko, AFileThatCannotBeOpenedIsToldAndLastRowKept) {
  const fs::path missing = world_.folder() / "brak.txt";
  const auto profile = Settings();
  ASSERT_TRUE(profile.WriteString("Text File", "Name", missing.string()).ok());
  ASSERT_TRUE(profile.WriteInt("Text File", "LastRow", 4).ok());
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{"Błąd otwarcia pliku: " + missing.string()});
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 4);
  EXPECT_TRUE(ClientWorld::Lines(serverLog_).empty());
}

TEST_F(Radko, AFileOnTheCommandLineIsChosenFromAtRandomAndBecomesTheDefault) {
  const auto stored = Write("stare.txt", "stara\n");
  const auto given = Write("nowe rady, tom 1.txt", "jedyna rada\n");
  const auto profile = Settings();
  ASSERT_TRUE(profile.WriteString("Text File", "Name", stored.string()).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "Randomize", "No").ok());
  ASSERT_TRUE(profile.WriteInt("Text File", "LastRow", 3).ok());
  EXPECT_EQ(Run({given.string()}), 0);
  // One line: any draw takes it; in turn after row 3 would also give 0, so
  // the random order shows in Randomize staying "No" while the line came
  // from the given file.
  EXPECT_EQ(Spoken(), std::vector<std::string>{"jedyna rada\\n \\\\Rst\\\\"});
  EXPECT_EQ(profile.GetString("Text File", "Name", ""), given.string());
  EXPECT_EQ(profile.GetString("Text File", "Randomize", ""), "No");
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 0);
}

TEST_F(Radko, AnEmptyLineIsSpokenAsInitStringAloneAndAnEmptyFileNotAtAll) {
  const auto blank = Write("blank.txt", "pierwsza\n\ntrzecia\n");
  const auto profile = Settings();
  ASSERT_TRUE(profile.WriteString("Text File", "Name", blank.string()).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "Randomize", "0").ok());
  ASSERT_TRUE(profile.WriteInt("Text File", "LastRow", 0).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "InitString", "Uwaga.").ok());
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Spoken(), std::vector<std::string>{"Uwaga.\\n \\\\Rst\\\\"});
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 1);

  const auto empty = Write("empty.txt", "");
  ASSERT_TRUE(profile.WriteString("Text File", "Name", empty.string()).ok());
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Spoken().size(), 1u);
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -100), 0);
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(Radko, PolishTextInUtf8ReachesTheServerInCodePage1250) {
  const auto file = Write("pl.txt", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84\n");
  const auto profile = Settings();
  ASSERT_TRUE(profile.WriteString("Text File", "Name", file.string()).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "InitString", "Rada dnia: \xC5\xBC").ok());  // "ż"
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Spoken(), std::vector<std::string>{"Rada dnia: \xBF" "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1\\n \\\\Rst\\\\"});
}

TEST_F(Radko, ItsInvisibleWindowOnTheDesktopIsTitledRadko) {
  world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --delay-ms 800");
  const auto file = Write("rady.txt", "rada\n");
  std::thread run([&] { EXPECT_EQ(Run({file.string()}), 0); });
  // While radko waits for the server it starts, its window is there.
  const bool seen = vokar::testing::WaitFor([] { return static_cast<bool>(desktop::FindWindow("Radko")); },
                                            std::chrono::milliseconds(5000));
  run.join();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(desktop::FindWindow("Radko"));
  EXPECT_EQ(Spoken().size(), 1u);
}

TEST(RadkoSettings, RandomizeIsReadAsYesOrNo) {
  ClientWorld world;
  const struct {
    const char* stored;  // nullptr: no value at all
    bool expected;
  } cases[] = {{"no", false}, {"0", false}, {"", false},    {"Yes", true},
               {"true", true}, {"1", true}, {"9x", true},   {nullptr, true}};
  const auto profile = registry::Profile("Quillmark", "Radko");
  for (const auto& c : cases) {
    if (auto key = registry::Key::Open(registry::Root::CurrentUser, profile.SectionPath("Text File"))) {
      (void)key->DeleteValue("Randomize");
    }
    if (c.stored != nullptr) {
      ASSERT_TRUE(profile.WriteString("Text File", "Randomize", c.stored).ok());
    }
    EXPECT_EQ(adviser::ReadSettings().randomize, c.expected) << (c.stored ? c.stored : "(none)");
  }
}

}  // namespace
