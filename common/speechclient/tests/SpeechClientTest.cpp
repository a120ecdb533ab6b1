// The speech client against the DDE test server in processes of their own:
// finding, checking, starting and driving the server, and every failure the
// user is told about.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "AppPaths.h"
#include "ClientTestSupport.h"
#include "Desktop.h"
#include "NamedObjects.h"
#include "SpeechClient.h"
#include "TestServerProtocol.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using vokar::testing::ChildProcess;
using vokar::testing::ClientWorld;
using vokar::testing::KillAndWait;
using vokar::testing::WaitFor;
using vokar::testing::WaitForWindow;
using Clock = std::chrono::steady_clock;

// The texts as the user must see them, written out here apart from the
// client's own table.
const std::string kWrongVersionOfVokar =
    "Serwer: 'vokar' ma nieodpowiednią wersję.\nWersja pożądana= 1.1 (minor= 95.3).\n";
const std::string kNotFound = "Nie znaleziono serwera mowy VOKAR.EXE\n";
const std::string kDied = "Serwer mowy zerwał połączenie DDE.\nWznowienie połączenia nie powiodło się.\n";
constexpr std::uint32_t kRadkoQuit = 33019;

class SpeechClientTest : public ::testing::Test {
 protected:
  void TearDown() override {
    client_.reset();
    mainWindow_.reset();
  }

  static SpeechClientProgram Program(desktop::milliseconds timeout = desktop::milliseconds(10000)) {
    SpeechClientProgram program;
    program.title = "Radko";
    program.quitCommand = kRadkoQuit;
    program.timeout = timeout;
    return program;
  }

  CSpeechClient& NewClient(desktop::milliseconds timeout = desktop::milliseconds(10000)) {
    client_ = std::make_unique<CSpeechClient>(Program(timeout));
    return *client_;
  }

  // A test server started by the test, logging into serverLog_.
  ChildProcess& RunServer(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.end(), {"--log", serverLog_.string()});
    servers_.push_back(std::make_unique<ChildProcess>(VOKAR_DDE_TESTSERVER, arguments));
    EXPECT_TRUE(WaitForWindow("Vokar"));
    return *servers_.back();
  }

  // Records where the client finds the server, which then logs too.
  void InstallServer(const fs::path& program = VOKAR_DDE_TESTSERVER, const std::string& options = "") {
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", program.string()).ok());
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " " + options);
  }

  // What the servers were asked, without their start lines.
  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (const auto& line : ClientWorld::Lines(serverLog_)) {
      if (!line.starts_with("start ")) requests.push_back(line);
    }
    return requests;
  }
  std::vector<std::string> Starts() const {
    std::vector<std::string> starts;
    for (const auto& line : ClientWorld::Lines(serverLog_)) {
      if (line.starts_with("start ")) starts.push_back(line);
    }
    return starts;
  }

  // A main window of the test, as a program has one: it records what it gets.
  desktop::WindowHandle MainWindow(std::function<void(desktop::Message&)> also = {}) {
    auto created = desktop::Window::Create("Radko", [this, also](desktop::Message& message) {
      received_.push_back({message.message, message.wParam});
      if (also) also(message);
      return std::int64_t{0};
    });
    mainWindow_ = std::move(created.window);
    return mainWindow_ ? mainWindow_->handle() : desktop::WindowHandle{};
  }

  // Waits until the main window has heard that the conversation ended.
  bool WaitForNotice() {
    return WaitFor([&] {
      for (const auto& [message, wParam] : received_) {
        if (message == WM_CLIENT_DISCONNECTED && wParam != 0) return true;
      }
      return false;
    });
  }

  int ServerJobs() {
    return static_cast<int>(
        desktop::SendMessage(desktop::FindWindow("Vokar"), dde::testserver::kJobsStarted, 0, 0).result);
  }

  pid_t ServerPid() const { return static_cast<pid_t>(desktop::FindWindow("Vokar").processId()); }

  ClientWorld world_;
  fs::path serverLog_ = world_.folder() / "server.log";
  std::vector<std::unique_ptr<ChildProcess>> servers_;
  std::unique_ptr<desktop::Window> mainWindow_;
  std::vector<std::pair<std::uint32_t, std::uint64_t>> received_;
  std::unique_ptr<CSpeechClient> client_;
};

TEST_F(SpeechClientTest, SpeaksToARunningServerBreakingFirst) {
  RunServer({"--job-ms", "300"});
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect());
  EXPECT_TRUE(client.IsConnected());

  const std::string text = "Dzie\xF1 dobry \\Rst\\";  // code page 1250 on the wire
  EXPECT_EQ(client.Speak(text, BreakFirst::Yes), kSpeakSent);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"execute break", "poke Dzie\xF1 dobry \\\\Rst\\\\", "execute read"}));
  EXPECT_TRUE(WaitFor([&] { return ServerJobs() == 1; }));

  // Without break first only the poke and the read go.
  ASSERT_TRUE(WaitFor([&] { return client.QueryStatus() == 2; }));
  EXPECT_EQ(client.Speak("drugi", BreakFirst::No), kSpeakSent);
  const auto requests = Requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(requests.end() - 2, requests.end()),
            (std::vector<std::string>{"poke drugi", "execute read"}));
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SpeechClientTest, NoTextAndNoDdeAreAnsweredWithoutSending) {
  RunServer();
  CSpeechClient& client = NewClient();
  // Before Connect there is no DDE to send with.
  EXPECT_EQ(client.Speak("tekst", BreakFirst::Yes), kSpeakError);
  EXPECT_EQ(client.QueryStatus(), 0);
  EXPECT_FALSE(client.BreakSpeech());
  ASSERT_TRUE(client.Connect());
  EXPECT_EQ(client.Speak("", BreakFirst::Yes), kSpeakNotSent);
  EXPECT_EQ(client.Speak(nullptr, BreakFirst::Yes), kSpeakSent);
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SpeechClientTest, ExecutePausesAndContinuesTheReading) {
  RunServer({"--job-ms", "4000"});
  CSpeechClient& client = NewClient();
  EXPECT_FALSE(client.Execute("pause"));  // no DDE yet
  ASSERT_TRUE(client.Connect());
  ASSERT_EQ(client.Speak("czytaj", BreakFirst::No), kSpeakSent);
  ASSERT_TRUE(WaitFor([&] { return client.QueryStatus() == 1; }));
  EXPECT_TRUE(client.Execute("pause"));
  EXPECT_EQ(client.QueryStatus(), 3);
  EXPECT_TRUE(client.Execute("read"));
  EXPECT_EQ(client.QueryStatus(), 1);
  const auto requests = Requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), "execute pause"), requests.end());
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SpeechClientTest, StatusIdleReadingPausedAndSpeakWhileReadingIsRefusedQuietly) {
  RunServer({"--job-ms", "4000"});
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect());
  EXPECT_EQ(client.QueryStatus(), 2);
  ASSERT_EQ(client.Speak("pierwszy", BreakFirst::No), kSpeakSent);
  ASSERT_TRUE(WaitFor([&] { return client.QueryStatus() == 1; }));

  // Another program pauses the reading.
  dde::DdeInstance other = 0;
  ASSERT_EQ(dde::Initialize(other, {}, dde::InitMode::ClientOnly), dde::DMLERR_NO_ERROR);
  const auto conversation = dde::Connect(other, dde::CreateStringHandle(other, "Vokar"),
                                         dde::CreateStringHandle(other, "System"));
  ASSERT_TRUE(conversation);
  ASSERT_TRUE(dde::ClientTransaction(std::string("pause", 6), conversation, {}, 0, dde::TransactionType::Execute,
                                     desktop::milliseconds(5000), nullptr));
  EXPECT_EQ(client.QueryStatus(), 3);
  ASSERT_TRUE(dde::ClientTransaction(std::string("read", 5), conversation, {}, 0, dde::TransactionType::Execute,
                                     desktop::milliseconds(5000), nullptr));
  EXPECT_EQ(client.QueryStatus(), 1);
  dde::Uninitialize(other);

  // Speaking while it reads: the poke is refused as busy, and the user is not
  // bothered.
  EXPECT_EQ(client.Speak("drugi", BreakFirst::No), kSpeakNotSent);
  EXPECT_EQ(Requests().back(), "poke drugi");
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(client.QueryStatus(), 1);
  // With break first, the break goes before the poke; whether the poke then
  // finds the job ended depends on when the server looks at its break flag.
  const int result = client.Speak("trzeci", BreakFirst::Yes);
  EXPECT_TRUE(result == kSpeakSent || result == kSpeakNotSent) << result;
  auto requests = Requests();
  const auto at = std::find(requests.begin(), requests.end(), "poke trzeci");
  ASSERT_NE(at, requests.end());
  ASSERT_NE(at, requests.begin());
  EXPECT_EQ(*(at - 1), "execute break");
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_TRUE(WaitFor([&] { return client.QueryStatus() == 2; }, std::chrono::milliseconds(8000)));
  EXPECT_EQ(ServerJobs(), result == kSpeakSent ? 2 : 1);

  // A server that is gone cannot be asked.
  servers_.back()->Stop(SIGKILL);
  EXPECT_EQ(client.QueryStatus(), 0);
}

TEST_F(SpeechClientTest, ServerOfAnotherVersionIsNeitherUsedNorStarted) {
  const struct {
    const char* most;
    const char* least;
  } versions[] = {
      {"0x00010002", "0x005F0003"},  // 1.2 / 95.3
      {"0x00010001", "0x005F0004"},  // 1.1 / 95.4
      {"0x00010001", "0"},           // a window that does not know the version
      {"0", "0x005F0003"},
  };
  InstallServer();  // the file itself is right: it must not decide
  for (const auto& version : versions) {
    RunServer({"--version", version.most, version.least});
    CSpeechClient& client = NewClient();
    EXPECT_FALSE(client.Connect()) << version.most << " " << version.least;
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kWrongVersionOfVokar});
    // Speaking without a conversation asks the user what to do.
    EXPECT_EQ(client.Speak("tekst", BreakFirst::Yes), kSpeakError);
    const auto messages = world_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Brak połączenia z serwerem mowy.\n");
    EXPECT_EQ(messages[1].buttons, "abort-retry-ignore");
    EXPECT_EQ(messages[1].caption, "Radko");
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Starts().size(), 1u);  // only the test's own start
    client_.reset();
    servers_.clear();
    fs::remove(world_.messageLog());
    fs::remove(serverLog_);
    ASSERT_TRUE(WaitFor([] { return !desktop::FindWindow("Vokar"); }));
  }
}

TEST_F(SpeechClientTest, AStartedServerThatAnswersAnotherVersionIsNotUsed) {
  // The file bears the right version record; the program it runs answers
  // another version. The window that appears is checked too.
  InstallServer(VOKAR_DDE_TESTSERVER, "--version 0x00010002 0x005F0003");
  CSpeechClient& client = NewClient();
  EXPECT_FALSE(client.Connect());
  EXPECT_EQ(Starts().size(), 1u);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kWrongVersionOfVokar});
  EXPECT_FALSE(client.IsConnected());
  EXPECT_TRUE(Requests().empty());
}

TEST_F(SpeechClientTest, NoServerAnywhere) {
  CSpeechClient& client = NewClient();
  const auto start = Clock::now();
  EXPECT_FALSE(client.Connect());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kNotFound);
  EXPECT_EQ(messages[0].caption, "Radko");
  EXPECT_EQ(messages[0].buttons, "ok");
  EXPECT_FALSE(client.FindServerExecutable());
}

TEST_F(SpeechClientTest, StartsTheServerFromAppPathsAndConnectsAsSoonAsItIsReady) {
  InstallServer();
  CSpeechClient& client = NewClient();
  const auto start = Clock::now();
  ASSERT_TRUE(client.Connect());
  const auto took = Clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(2)) << "the started event was missed";
  ASSERT_EQ(Starts().size(), 1u);
  EXPECT_TRUE(Starts()[0].ends_with(" minimized=1 /L-")) << Starts()[0];
  EXPECT_EQ(client.Speak("zacz\xEAty", BreakFirst::Yes), kSpeakSent);
  EXPECT_EQ(Requests().back(), "execute read");
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SpeechClientTest, FindsTheServerOnPathWhenAppPathsIsMissingOrWrong) {
  fs::create_symlink(VOKAR_DDE_TESTSERVER, world_.bin() / "vokar");
  for (const bool recorded : {false, true}) {
    if (recorded) InstallServer(world_.folder() / "no-such-vokar");
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string());
    CSpeechClient& client = NewClient();
    EXPECT_EQ(client.FindServerExecutable(), world_.bin() / "vokar");
    ASSERT_TRUE(client.Connect()) << recorded;
    EXPECT_EQ(Starts().size(), 1u);
    client_.reset();
    KillAndWait(ServerPid());
    ASSERT_TRUE(WaitFor([] { return !desktop::FindWindow("Vokar"); }));
    fs::remove(serverLog_);
  }
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SpeechClientTest, AFileThatIsNotOurServerIsNotStarted) {
  InstallServer(VOKAR_NO_RECORD_PROGRAM);
  CSpeechClient& client = NewClient();
  EXPECT_FALSE(client.Connect());
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{"Serwer: '" + std::string(VOKAR_NO_RECORD_PROGRAM) +
                                     "' ma nieodpowiednią wersję.\nWersja pożądana= 1.1 (minor= 95.3).\n"});

  // A right file that cannot be run.
  fs::remove(world_.messageLog());
  const fs::path copy = world_.folder() / "vokar-copy";
  fs::copy_file(VOKAR_DDE_TESTSERVER, copy);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
  InstallServer(copy);
  CSpeechClient& again = NewClient();
  EXPECT_FALSE(again.Connect());
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{"Nie udała się próba uruchomienia serwera mowy:\n  " + copy.string() + "\n"});
  EXPECT_TRUE(Starts().empty());
}

TEST_F(SpeechClientTest, AServerKilledBetweenTwoSpeaksIsStartedAgain) {
  InstallServer();
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect());
  ASSERT_EQ(client.Speak("pierwszy", BreakFirst::Yes), kSpeakSent);
  const pid_t first = ServerPid();
  KillAndWait(first);

  EXPECT_EQ(client.Speak("drugi", BreakFirst::Yes), kSpeakSent);
  EXPECT_TRUE(client.IsConnected());
  EXPECT_NE(ServerPid(), first);
  EXPECT_EQ(Starts().size(), 2u);
  EXPECT_EQ(Requests().back(), "execute read");
  const auto requests = Requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "poke drugi"), 1);
  EXPECT_TRUE(world_.Messages().empty());
}

// What a program does when its main window hears that the server is gone
// (klavo, horalo and remarka alike): the server is started again at once, and
// the next text reaches the new server, once, with nothing shown.
TEST_F(SpeechClientTest, AfterTheNoticeTheServerIsStartedAgainAndTheNextTextReachesIt) {
  InstallServer();
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect(MainWindow()));
  ASSERT_EQ(client.Speak("pierwszy", BreakFirst::Yes), kSpeakSent);
  const pid_t first = ServerPid();
  KillAndWait(first);
  ASSERT_TRUE(WaitForNotice());
  ASSERT_TRUE(WaitFor([] { return !desktop::FindWindow("Vokar"); }));

  client.OnServerDisconnected();
  EXPECT_TRUE(client.IsConnected());
  ASSERT_TRUE(desktop::FindWindow("Vokar"));
  EXPECT_NE(ServerPid(), first);
  EXPECT_EQ(client.Speak("drugi", BreakFirst::Yes), kSpeakSent);
  EXPECT_EQ(Starts().size(), 2u) << "started once again, not once more for the text";
  const auto requests = Requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "poke pierwszy"), 1);
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "poke drugi"), 1);
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back(), "execute read");
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SpeechClientTest, AServerThatDiedAndCannotBeStartedAgainIsToldAndAbortQuits) {
  RunServer();  // no App Paths and nothing on PATH: it cannot come back
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect(MainWindow()));
  servers_.back()->Stop(SIGKILL);
  world_.Set("VOKAR_MSGBOX_ANSWER", "ok,ok,abort");

  EXPECT_EQ(client.Speak("tekst", BreakFirst::Yes), kSpeakError);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, kNotFound);
  EXPECT_EQ(messages[1].text, kDied);
  EXPECT_EQ(messages[1].buttons, "ok");
  EXPECT_EQ(messages[2].text, kDied);
  EXPECT_EQ(messages[2].buttons, "abort-retry-ignore");
  EXPECT_EQ(messages[2].answer, "abort");
  // Abort sends the program's quit command to its main window.
  EXPECT_TRUE(WaitFor([&] {
    return std::count(received_.begin(), received_.end(), std::pair<std::uint32_t, std::uint64_t>{
                                                                desktop::WM_COMMAND, kRadkoQuit}) == 1;
  }));
}

TEST_F(SpeechClientTest, RetryAndIgnoreSendNothing) {
  RunServer({"--refuse-pokes"});
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect(MainWindow()));
  world_.Set("VOKAR_MSGBOX_ANSWER", "retry,ignore");
  EXPECT_EQ(client.Speak("raz", BreakFirst::No), kSpeakError);
  EXPECT_EQ(client.Speak("dwa", BreakFirst::No), kSpeakError);
  // A plain refusal is an error of no other kind: shown with its number.
  EXPECT_EQ(world_.MessageTexts(), (std::vector<std::string>{"Błąd obsługi transakcji DDE= 4009.\n",
                                                              "Błąd obsługi transakcji DDE= 4009.\n"}));
  desktop::PumpMessages(desktop::milliseconds(50));
  for (const auto& [message, wParam] : received_) EXPECT_NE(message, desktop::WM_COMMAND);
  // The refused pokes were never read.
  const auto requests = Requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "execute read"), 0);
}

TEST_F(SpeechClientTest, TimeoutAndTooLargeTextAreTold) {
  auto& server = RunServer();
  CSpeechClient& client = NewClient(desktop::milliseconds(300));
  ASSERT_TRUE(client.Connect());

  // A text larger than one message can carry is a bad parameter.
  EXPECT_EQ(client.Speak(std::string(std::size_t{1} << 20, 'a'), BreakFirst::No), kSpeakError);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{"Błędny parametr w transakcji DDE.\n"});
  fs::remove(world_.messageLog());

  // A server that does not answer in time.
  server.Signal(SIGSTOP);
  EXPECT_EQ(client.Speak("tekst", BreakFirst::Yes), kSpeakError);
  server.Signal(SIGCONT);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Przekroczono czas transakcji DDE.\n");
  EXPECT_EQ(messages[0].buttons, "ok");
}

TEST_F(SpeechClientTest, ASpeakFromInsideATransactionReturnsAtOnce) {
  RunServer();
  constexpr std::uint32_t kSpeakAgain = desktop::WM_USER + 300;
  int inner = 99;
  CSpeechClient& client = NewClient();
  const auto window = MainWindow([&](desktop::Message& message) {
    if (message.message == kSpeakAgain) inner = client_->Speak("wewn\xEAtrzny", BreakFirst::Yes);
  });
  ASSERT_TRUE(client.Connect(window));
  ASSERT_TRUE(desktop::PostMessage(window, kSpeakAgain, 0, 0));
  EXPECT_EQ(client.Speak("zewn\xEAtrzny", BreakFirst::Yes), kSpeakSent);
  EXPECT_EQ(inner, kSpeakNotSent);
  for (const auto& request : Requests()) EXPECT_EQ(request.find("wewn"), std::string::npos) << request;
}

TEST_F(SpeechClientTest, DisconnectNoticeAndReconnect) {
  RunServer();
  CSpeechClient& client = NewClient();
  ASSERT_TRUE(client.Connect(MainWindow()));
  const desktop::WindowHandle server = desktop::FindWindow("Vokar");
  // The server ends the conversation: the main window hears of it.
  desktop::SendMessage(server, dde::testserver::kTerminateClient, 0, 0);
  ASSERT_TRUE(WaitForNotice());
  client.OnServerDisconnected();
  EXPECT_EQ(client.Speak("znowu", BreakFirst::Yes), kSpeakSent);
  EXPECT_TRUE(world_.Messages().empty());

  // A window that is there but gives no conversation: the user is asked.
  received_.clear();
  servers_.back()->Stop(SIGKILL);
  ASSERT_TRUE(WaitForNotice());
  ASSERT_TRUE(WaitFor([] { return !desktop::FindWindow("Vokar"); }));
  RunServer({"--service", "MOWA"});
  client.OnServerDisconnected();
  EXPECT_EQ(world_.MessageTexts(),
            std::vector<std::string>{
                "Przerwane zostało połączenie z serwerem VOKAR.EXE\nPróba wznowienia połączenia nie powiodła się.\n"});

  // No window at all: the server is started again.
  servers_.clear();
  ASSERT_TRUE(WaitFor([] { return !desktop::FindWindow("Vokar"); }));
  InstallServer();
  client.OnServerDisconnected();
  EXPECT_TRUE(client.IsConnected());
  EXPECT_EQ(Starts().size(), 1u + 2u);
}

TEST_F(SpeechClientTest, AnotherClientsStartedEventIsNeitherWipedNorTrusted) {
  InstallServer(VOKAR_DDE_TESTSERVER, "--delay-ms 600");
  // Another client waits on the event; it has already been set once (by a
  // server that was then gone), which must not make this client connect to
  // nothing.
  auto other = named::NamedEvent::CreateOrOpen("Server_VOKAR_Started", named::InitialState::Signaled);
  ASSERT_TRUE(other);
  CSpeechClient& client = NewClient();
  // The other client's signal is never wiped, not even for a moment.
  std::atomic<bool> connecting{true}, everUnset{false};
  std::thread watcher([&] {
    while (connecting) {
      if (!other->IsSet()) everUnset = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const auto start = Clock::now();
  const bool connected = client.Connect();
  connecting = false;
  watcher.join();
  ASSERT_TRUE(connected);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(everUnset);
  EXPECT_TRUE(other->IsSet());

  // The other client waiting on an unset event still sees the set of the
  // server this client started.
  client_.reset();
  KillAndWait(ServerPid());
  ASSERT_TRUE(WaitFor([] { return !desktop::FindWindow("Vokar"); }));
  ASSERT_TRUE(other->Reset());
  InstallServer();
  CSpeechClient& second = NewClient();
  ASSERT_TRUE(second.Connect());
  EXPECT_TRUE(other->IsSet());
  EXPECT_TRUE(world_.Messages().empty());
}

}  // namespace
