// Radko and the speech client with the real speech server: vokar started from
// App Paths on an empty private desktop, speaking into a WAV file on the
// virtual device. What it spoke is compared with vksay's reading of the same
// text, which runs the same engine with the same defaults.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "AppPaths.h"
#include "ClientTestSupport.h"
#include "Profile.h"
#include "SpeechClient.h"
#include "TestBytes.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using vokar::testing::ClientWorld;
using vokar::testing::KillAndWait;
using vokar::testing::ProcessesOnDesktop;
using vokar::testing::WaitFor;
using vokar::test::WavData;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A program run in a folder; its exit status, or -1.
struct Program {
  pid_t pid = -1;

  Program(const std::string& program, std::vector<std::string> arguments, const fs::path& folder) {
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  // The exit status once it has ended, or nothing while it runs.
  std::optional<int> Ended() {
    int status = 0;
    if (pid <= 0) return -1;
    if (::waitpid(pid, &status, WNOHANG) != pid) return std::nullopt;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Wait() {
    std::optional<int> status;
    WaitFor([&] { return (status = Ended()).has_value(); }, milliseconds(20000));
    return status.value_or(-1);
  }
};

class RealServer : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"run", "ref"}) fs::create_directory(world_.folder() / sub);
    fs::permissions(world_.folder() / "run", fs::perms::owner_all, fs::perm_options::replace);
    world_.Set("XDG_RUNTIME_DIR", (world_.folder() / "run").string());
    world_.Set("VOKAR_WAVEOUT", "wav:" + Wav().string());
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_SERVER).ok());
    // The server starts in the folder of the program that starts it; for the
    // client inside this test that is the work folder too.
    previous_ = fs::current_path();
    fs::current_path(Work());
  }
  void TearDown() override {
    client_.reset();
    fs::current_path(previous_);
  }

  fs::path Work() const { return world_.folder() / "work"; }
  fs::path Wav() const { return world_.folder() / "out.wav"; }

  // What vksay makes of the text (code page 1250), to compare with what the
  // server played.
  std::string Expected(const std::string& text) {
    const fs::path in = world_.folder() / "ref" / "text.txt";
    const fs::path out = world_.folder() / "ref" / "expected.wav";
    std::ofstream(in, std::ios::binary) << text;
    Program vksay(VOKAR_VKSAY, {"-o", out.string(), "-f", in.string()}, world_.folder() / "ref");
    EXPECT_EQ(vksay.Wait(), 0);
    return WavData(out);
  }

  CSpeechClient& Client() {
    SpeechClientProgram program;
    program.title = "Radko";
    program.quitCommand = 33019;
    client_ = std::make_unique<CSpeechClient>(program);
    return *client_;
  }

  // Waits until the server has read everything it was given.
  bool WaitUntilIdle(CSpeechClient& client) {
    return WaitFor([&] { return client.QueryStatus() == 2; }, milliseconds(20000));
  }

  pid_t ServerPid() const { return static_cast<pid_t>(desktop::FindWindow("Vokar").processId()); }

  ClientWorld world_;
  fs::path previous_;
  std::unique_ptr<CSpeechClient> client_;
};

TEST_F(RealServer, RadkoStartsTheServerWhichSpeaksTheLineInTurn) {
  const fs::path file = world_.folder() / "rady.txt";
  std::ofstream(file, std::ios::binary) << "Pierwsza rada.\nDruga rada.\nTrzecia rada: kup chleb.\nCzwarta.\n";
  const auto profile = registry::Profile("Quillmark", "Radko");
  ASSERT_TRUE(profile.WriteString("Text File", "Name", file.string()).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "Randomize", "No").ok());
  ASSERT_TRUE(profile.WriteInt("Text File", "LastRow", 9).ok());
  ASSERT_TRUE(profile.WriteString("Text File", "InitString", "Rada dnia. ").ok());

  // From radko's start to the device opened for the first chunk.
  const auto start = Clock::now();
  Program radko(VOKAR_RADKO, {}, Work());
  std::optional<int> status;
  std::optional<Clock::duration> handedOver, firstAudio;
  while (!firstAudio && Clock::now() - start < std::chrono::seconds(20)) {
    if (!status && (status = radko.Ended())) handedOver = Clock::now() - start;
    if (fs::exists(Wav())) firstAudio = Clock::now() - start;
    std::this_thread::sleep_for(milliseconds(1));
  }
  if (!status) status = radko.Wait();
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(firstAudio) << "no sound within 20 s";
  const auto ms = [](Clock::duration d) { return std::chrono::duration_cast<milliseconds>(d).count(); };
  std::cout << "radko start to first audio: " << ms(*firstAudio) << " ms";
  if (handedOver) std::cout << " (radko ended after " << ms(*handedOver) << " ms)";
  std::cout << std::endl;
  RecordProperty("first_audio_ms", static_cast<int>(ms(*firstAudio)));
  EXPECT_LT(*firstAudio, std::chrono::seconds(5));

  // LastRow 9 over 4 lines: line 2, with InitString and the reset tag.
  EXPECT_EQ(profile.GetInt("Text File", "LastRow", -1), 2);
  CSpeechClient& client = Client();
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(WaitUntilIdle(client));
  EXPECT_EQ(WavData(Wav()), Expected("Rada dnia. Trzecia rada: kup chleb.\n \\Rst\\"));
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(ProcessesOnDesktop(world_.desktop()).size(), 1u);  // the server alone, radko has ended
}

TEST_F(RealServer, AServerKilledBetweenTwoSpeaksIsStartedAgainAndSpeaks) {
  CSpeechClient& client = Client();
  ASSERT_TRUE(client.Connect());
  ASSERT_EQ(client.Speak("Pierwsze zdanie.", BreakFirst::Yes), kSpeakSent);
  ASSERT_TRUE(WaitUntilIdle(client));
  EXPECT_EQ(WavData(Wav()), Expected("Pierwsze zdanie."));
  const pid_t first = ServerPid();
  KillAndWait(first);

  EXPECT_EQ(client.Speak("Drugie zdanie.", BreakFirst::Yes), kSpeakSent);
  EXPECT_NE(ServerPid(), first);
  ASSERT_TRUE(WaitUntilIdle(client));
  EXPECT_EQ(WavData(Wav()), Expected("Drugie zdanie."));
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(RealServer, StatusIdleReadingPausedAndSpeakWhileReading) {
  CSpeechClient& client = Client();
  ASSERT_TRUE(client.Connect());
  EXPECT_EQ(client.QueryStatus(), 2);
  ASSERT_EQ(client.Speak("Raz, dwa, trzy, cztery, pi\xEA\xE6, sze\x9C\xE6, siedem, osiem, dziewi\xEA\xE6, dziesi\xEA\xE6.",
                         BreakFirst::Yes),
            kSpeakSent);
  ASSERT_TRUE(WaitFor([&] { return client.QueryStatus() == 1; }));
  // Speaking while it reads: refused as busy, no message.
  EXPECT_EQ(client.Speak("Nie teraz.", BreakFirst::No), kSpeakNotSent);
  EXPECT_TRUE(world_.Messages().empty());

  dde::DdeInstance other = 0;
  ASSERT_EQ(dde::Initialize(other, {}, dde::InitMode::ClientOnly), dde::DMLERR_NO_ERROR);
  const auto conversation =
      dde::Connect(other, dde::CreateStringHandle(other, "Vokar"), dde::CreateStringHandle(other, "System"));
  ASSERT_TRUE(conversation);
  const auto execute = [&](const char* command) {
    return dde::ClientTransaction(std::string(command, std::strlen(command) + 1), conversation, {}, 0,
                                  dde::TransactionType::Execute, milliseconds(5000), nullptr);
  };
  ASSERT_TRUE(execute("pause"));
  EXPECT_EQ(client.QueryStatus(), 3);
  ASSERT_TRUE(execute("read"));
  EXPECT_EQ(client.QueryStatus(), 1);
  ASSERT_TRUE(client.BreakSpeech());
  EXPECT_TRUE(WaitUntilIdle(client));
  dde::Uninitialize(other);
}

TEST_F(RealServer, RadkoMeetingAServerOfAnotherVersionSaysSoAndNothingIsSpoken) {
  const fs::path log = world_.folder() / "standin.log";
  vokar::testing::ChildProcess standIn(VOKAR_DDE_TESTSERVER,
                                       {"--version", "0x00010001", "0x005F0002", "--log", log.string()});
  ASSERT_TRUE(vokar::testing::WaitForWindow("Vokar"));
  const fs::path file = world_.folder() / "rady.txt";
  std::ofstream(file) << "Rada.\n";
  Program radko(VOKAR_RADKO, {file.string()}, Work());
  EXPECT_EQ(radko.Wait(), 1);
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{"Serwer: 'vokar' ma nieodpowiednią wersję.\nWersja pożądana= 1.1 (minor= 95.3).\n"});
  for (const auto& line : ClientWorld::Lines(log)) EXPECT_TRUE(line.starts_with("start ")) << line;
  EXPECT_FALSE(fs::exists(Wav()));
  // Neither was the real server started beside it.
  EXPECT_EQ(ProcessesOnDesktop(world_.desktop()), std::vector<pid_t>{standIn.pid()});
}

TEST_F(RealServer, RadkoWithNoServerAnywhere) {
  ASSERT_TRUE(registry::DeleteTree(registry::Root::LocalMachine, registry::AppPathKey("Vokar.exe")).ok());
  const fs::path file = world_.folder() / "rady.txt";
  std::ofstream(file) << "Rada.\n";
  Program radko(VOKAR_RADKO, {file.string()}, Work());
  EXPECT_EQ(radko.Wait(), 1);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{"Nie znaleziono serwera mowy VOKAR.EXE\n"});
  EXPECT_TRUE(ProcessesOnDesktop(world_.desktop()).empty());
}

}  // namespace
