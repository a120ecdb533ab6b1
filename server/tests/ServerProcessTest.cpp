// The real vokar, started as a user or a client program starts it, on a
// private desktop, settings store and the WAV device, driven from this
// process through the DDE client calls and by vkdde: reading, pausing,
// resuming and breaking; busy pokes; the poke limit; the file queue and a
// second start; the settings written at exit; no sound device; exit during
// speech.
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Cp1250.h"
#include "DdeMessages.h"
#include "NamedObjects.h"
#include "Registry.h"
#include "ServerIds.h"
#include "support/ServerFixture.h"

namespace {

using namespace vokar;
using namespace vokar::servertest;

// Four sentences: with the test voice each takes about a second, most of it
// the pause after the sentence.
const std::string kLongText = "Raz. Dwa. Trzy. Cztery.";

// The samples of a WAV file (the bytes of its data chunk).
std::string WavSamples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const auto size = static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 4])) |
                      static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 5])) << 8 |
                      static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 6])) << 16 |
                      static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 7])) << 24;
    if (bytes.compare(pos, 4, "data") == 0) return bytes.substr(pos + 8, size);
    pos += 8 + size + (size & 1);
  }
  return {};
}

class ServerProcess : public ::testing::Test {
 protected:
  // Starts the server and connects; the world is set up first.
  void Start(const std::vector<std::string>& arguments = {"/L-"}) {
    server_ = world_.StartServer(arguments);
    ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s))
        << world_.ServerOutput();
    ASSERT_TRUE(client_.Connect()) << world_.ServerOutput();
  }

  // The status bytes seen while polling until the server has been idle for
  // the given time (or the timeout passes), without repeats.
  std::vector<int> WatchStatus(std::chrono::milliseconds idleFor, std::chrono::milliseconds timeout) {
    std::vector<int> seen;
    const auto deadline = Clock::now() + timeout;
    auto idleSince = Clock::now();
    while (Clock::now() < deadline) {
      const int status = client_.Status();
      if (seen.empty() || seen.back() != status) {
        seen.push_back(status);
        idleSince = Clock::now();
      }
      if (status == 2 && Clock::now() - idleSince >= idleFor) break;
      desktop::PumpMessages(10ms);
    }
    return seen;
  }

  std::string Value(std::string_view section, std::string_view name) { return StoredSetting(section, name); }

  void Store(std::string_view section, std::string_view name, const registry::Value& value) {
    auto key = registry::Key::Create(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\" + std::string(section));
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(key->Set(name, value).ok());
  }

  // Ends the server as the desktop session would, and waits for it.
  int Stop() {
    server_->Signal(SIGTERM);
    return server_->Wait(10s);
  }

  ServerWorld world_;
  DdeClient client_;
  std::unique_ptr<Process> server_;
};

TEST_F(ServerProcess, ReadPauseResumeAndBreakAsTheStatusSays) {
  Start();
  EXPECT_EQ(client_.Status(), 2) << "a fresh server is idle";
  ASSERT_TRUE(client_.Poke(kLongText));
  const auto asked = Clock::now();
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_LE(Clock::now() - asked, 200ms);

  ASSERT_TRUE(WaitUntil([&] { return world_.WavBytes() > 0; }, 3s));
  ASSERT_TRUE(client_.Execute("pause"));
  EXPECT_EQ(client_.Status(), 3);
  desktop::PumpMessages(100ms);
  const std::size_t paused = world_.WavBytes();
  desktop::PumpMessages(600ms);
  EXPECT_EQ(world_.WavBytes(), paused) << "the output grew while paused";
  EXPECT_EQ(client_.Status(), 3);

  ASSERT_TRUE(client_.Execute("read"));
  EXPECT_EQ(client_.Status(), 1);
  EXPECT_TRUE(WaitUntil([&] { return world_.WavBytes() > paused; }, 2s)) << "reading did not resume";

  ASSERT_TRUE(client_.Execute("break"));
  EXPECT_TRUE(client_.WaitForStatus(2, 1s));
  const std::size_t broken = world_.WavBytes();

  // The same text again, unbroken, is longer.
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  ASSERT_TRUE(client_.WaitForStatus(2, 20s));
  const std::size_t whole = world_.WavBytes() - broken;
  EXPECT_LT(broken, whole);
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, APokeDuringAJobIsRefusedAsBusy) {
  Start();
  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_FALSE(client_.Poke("Inny tekst."));
  EXPECT_EQ(client_.lastError, dde::DMLERR_BUSY);
  EXPECT_EQ(client_.Status(), 1);
  // A read during the job starts no second job; pause then break while
  // paused ends it at once.
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.Execute("pause"));
  ASSERT_TRUE(client_.Execute("break"));
  EXPECT_TRUE(client_.WaitForStatus(2, 1s));
  // Idle again: the poke is taken.
  EXPECT_TRUE(client_.Poke("Inny tekst."));
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, ThePokeLimitIsPinnedOnBothSides) {
  Start();
  // Blanks say nothing, so only the end of each text is heard.
  const std::string blanks(65274, ' ');
  auto spoken = [&](const std::optional<std::string>& text) {
    const std::size_t before = world_.WavBytes();
    if (text) {
      EXPECT_TRUE(client_.Poke(*text)) << text->size();
    }
    EXPECT_TRUE(client_.Execute("read"));
    EXPECT_TRUE(WaitUntil([&] { return world_.WavBytes() > before; }, 5s));
    EXPECT_TRUE(client_.WaitForStatus(2, 10s));
    return world_.WavBytes() - before;
  };
  const std::size_t seven = spoken(blanks + " 7");              // 65276 bytes: whole
  const std::size_t cut = spoken(blanks + " 78");               // 65277 bytes: the 8 is cut off
  const std::size_t seventyEight = spoken(blanks + "78");       // 65276 bytes: whole
  EXPECT_EQ(cut, seven) << "65277 bytes must be stored as 65276";
  EXPECT_GT(seventyEight, seven) << "65276 bytes must be stored whole";

  // A poke block shorter than its 4-byte header is refused and not read.
  std::optional<dde::TransactionAck> ack;
  auto created = desktop::Window::Create("raw client", [&](desktop::Message& m) -> std::int64_t {
    if (auto decoded = dde::DecodeTransactionAck(m)) ack = *decoded.value;
    return 0;
  });
  ASSERT_TRUE(created.window);
  for (const std::size_t blockSize : {1, 2, 3}) {
    ack.reset();
    desktop::Message poke =
        dde::Encode(dde::Poke{created.window->handle(), 5, "text", dde::PokeBlock{0, dde::CF_TEXT, ""}});
    poke.payload = std::string("text\0", 5) + std::string(blockSize, '\x01');
    ASSERT_TRUE(desktop::PostMessage(desktop::FindWindow("Vokar"), poke.message, poke.wParam, poke.lParam,
                                     poke.payload));
    ASSERT_TRUE(WaitUntil([&] { return ack.has_value(); }, 3s)) << blockSize;
    EXPECT_FALSE(dde::FromStatusWord(ack->status).ack) << blockSize;
    EXPECT_EQ(ack->handle, 5u);
  }
  // The buffer still holds the last whole text.
  EXPECT_EQ(spoken(std::nullopt), seventyEight);
  EXPECT_EQ(Stop(), 0);
}

// Another program that names our conversation's window in its DDE messages
// cannot pause, break, poke, read or end it; the same program speaking in its
// own name is heard.
TEST_F(ServerProcess, AnotherProgramCannotSpeakInOurConversation) {
  Start();
  // Our conversation's window: the one window of this process without a title.
  desktop::WindowHandle own;
  for (const auto& entry : std::filesystem::directory_iterator(world_.Desktop())) {
    const auto handle = desktop::HandleOfFileName(entry.path().filename().string());
    if (handle && handle->processId() == static_cast<std::uint32_t>(::getpid()) &&
        !std::filesystem::exists(desktop::EndpointPath(world_.Desktop(), *handle, desktop::EndpointFile::Title))) {
      own = *handle;
    }
  }
  ASSERT_TRUE(own);
  char hex[24];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(own.value));
  auto intrude = [&](const std::string& client, std::vector<std::string> actions) {
    actions.insert(actions.begin(), client);
    return world_.RunTool(DDE_INTRUDER_PATH, actions);
  };

  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_EQ(intrude(hex, {"exec:pause", "exec:break", "poke:Obcy.", "terminate", "initiate"}),
            std::make_pair(0, std::string("done\n")));
  EXPECT_EQ(client_.Status(), 1) << "a stranger paused or broke our job";
  const std::size_t during = world_.WavBytes();
  EXPECT_TRUE(WaitUntil([&] { return world_.WavBytes() > during; }, 2s)) << "speech stopped";

  ASSERT_TRUE(client_.Execute("break"));
  ASSERT_TRUE(client_.WaitForStatus(2, 2s));
  const std::size_t idle = world_.WavBytes();
  EXPECT_EQ(intrude(hex, {"poke:Obcy tekst.", "exec:read"}).first, 0);
  desktop::PumpMessages(500ms);
  EXPECT_EQ(client_.Status(), 2) << "a stranger started a job";
  EXPECT_EQ(world_.WavBytes(), idle);

  // The control: in its own name the same program is obeyed.
  EXPECT_EQ(intrude("own", {"initiate", "exec:read"}).first, 0);
  EXPECT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_EQ(intrude("own", {"exec:break", "terminate"}).first, 0);
  EXPECT_TRUE(client_.WaitForStatus(2, 2s));
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

// The DDE service is the executable's own name: a server stored under
// another name keeps its window's title, so clients asking for "Vokar" find
// the window, but only that name gets a conversation.
TEST_F(ServerProcess, AServerUnderAnotherNameAnswersOnlyToThatName) {
  const auto renamed = world_.folder() / "mowa";
  std::error_code error;
  std::filesystem::create_hard_link(VOKAR_PATH, renamed, error);
  if (error) std::filesystem::copy_file(VOKAR_PATH, renamed);
  server_ = std::make_unique<Process>(renamed.string(), std::vector<std::string>{"/L-"}, world_.Work(), world_.Log());
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s)) << world_.ServerOutput();
  EXPECT_FALSE(client_.Connect("Vokar"));
  EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"exec", "status"}).first, 3);
  EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"--service", "MOWA", "exec", "status"}),
            std::make_pair(0, std::string("2\n")));
  ASSERT_TRUE(client_.Connect("Mowa"));
  EXPECT_EQ(client_.Status(), 2);
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, ASecondStartHandsItsFileOverAndEndsAtOnce) {
  Start();
  std::ofstream(world_.Work() / "list.txt") << "Raz dwa.";
  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));

  const auto started = Clock::now();
  Process second(VOKAR_PATH, {"list.txt"}, world_.Work(), world_.folder() / "second.out");
  EXPECT_EQ(second.Wait(5s), 0);
  EXPECT_LE(Clock::now() - started, 1s) << "the second start took too long";

  // The first job goes on; then the handed-over file is read.
  const auto statuses = WatchStatus(1500ms, 20s);
  EXPECT_EQ(statuses, (std::vector<int>{1, 2, 1, 2}));
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, SettingsAfterExitFollowTheirRules) {
  world_.SetWave("devices=2");
  Store("Sound", "WaveDevice", std::uint32_t{7});
  Store("Sound", "DeviceTimeout", std::uint32_t{75});
  Store("Sound", "Tunning", std::uint32_t{20});
  Store("Global", "HighPriority", std::string("Yes"));
  Store("Global", "InitLogo", std::uint32_t{0});
  Start({});
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(Value("Sound", "WaveDevice"), "2");
  EXPECT_EQ(Value("Sound", "DeviceTimeout"), "60");
  EXPECT_EQ(Value("Sound", "Tunning"), "20");
  EXPECT_EQ(Value("Global", "HighPriority"), "\"Yes\"");
  EXPECT_EQ(Value("Global", "InitLogo"), "0");
  EXPECT_EQ(Value("Global", "TaskBarIcon"), "\"Yes\"");
  EXPECT_EQ(Value("Global", "WorkDir"), "\"" + world_.Work().string() + "/\"");
  EXPECT_EQ(Value("Dictionary", "ExpDict"), "\"\"") << "no dictionary could be loaded";
  for (const char* name : {"ConvertNumber", "ConvertDate", "ConvertCaps", "FluentSpeech", "ColloquialSpeech"})
    EXPECT_EQ(Value("Conversions", name), "\"Yes\"") << name;
  EXPECT_EQ(Value("Conversions", "ConvertCapsLimit"), "5");
  EXPECT_EQ(Value("Sound", "Intonation"), "\"Yes\"");
  EXPECT_EQ(Value("Sound", "KeepPitch"), "\"Yes\"");
  // The voice's pause lengths are written when it is freed.
  EXPECT_EQ(Value("Sound", "PauseInterSentence"), "100");
}

// Sound\KeepPitch decides what the speed slider and the speed tags change:
// the tempo, the sound reaching the device in 16 bits at the voice's rate,
// or the playback rate of the voice's own 8 bits. Both switches off give
// the plain pieces; the settings stay as the user stored them.
TEST_F(ServerProcess, KeepPitchDecidesWhatTheSpeedChanges) {
  struct Case {
    const char* keepPitch;
    const char* intonation;
    std::uint32_t rate;
    int bits;
  };
  const Case cases[] = {{"Yes", "Yes", 22050, 16}, {"No", "Yes", 28665, 16}, {"No", "No", 28665, 8},
                        {"Yes", "No", 22050, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("KeepPitch ") + c.keepPitch + ", Intonation " + c.intonation);
    std::filesystem::remove(world_.Wav());
    Store("Sound", "Tunning", std::uint32_t{30});
    Store("Sound", "KeepPitch", std::string(c.keepPitch));
    Store("Sound", "Intonation", std::string(c.intonation));
    Start();
    EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"speak", "Raz dwa."}).first, 0);
    EXPECT_TRUE(WaitUntil([&] { return world_.WavBytes() > 0; }, 5s));
    EXPECT_TRUE(client_.WaitForStatus(2, 10s));
    EXPECT_EQ(Stop(), 0);
    std::ifstream in(world_.Wav(), std::ios::binary);
    unsigned char header[44] = {};
    ASSERT_TRUE(in.read(reinterpret_cast<char*>(header), sizeof header));
    const std::uint32_t rate = header[24] | (header[25] << 8) | (header[26] << 16) | (header[27] << 24);
    EXPECT_EQ(rate, c.rate);
    EXPECT_EQ(header[34], c.bits);
    EXPECT_EQ(Value("Sound", "KeepPitch"), std::string("\"") + c.keepPitch + "\"");
    EXPECT_EQ(Value("Sound", "Intonation"), std::string("\"") + c.intonation + "\"");
  }
  EXPECT_TRUE(world_.Messages().empty());
}

// The niceness of a running process, from /proc (field 19 of its stat line).
int Niceness(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  for (int index = 3; fields >> field; ++index) {
    if (index == 19) return std::stoi(field);
  }
  return 100;
}

// Whether this system lets a process of ours raise its priority to -10:
// tried in a child of its own.
bool MayRaisePriority() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(::setpriority(PRIO_PROCESS, 0, -10) == 0 ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// HighPriority "Yes" runs the server at niceness -10 where the system allows
// it; where it does not, the server runs on as it was started, without a
// message. "No" leaves the niceness alone.
TEST_F(ServerProcess, HighPriorityIsTriedAndARefusalIsNoError) {
  const int own = ::getpriority(PRIO_PROCESS, 0);
  for (const bool high : {false, true}) {
    Store("Global", "HighPriority", std::string(high ? "Yes" : "No"));
    server_ = world_.StartServer();
    ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s))
        << world_.ServerOutput();
    const int expected = high && MayRaisePriority() ? -10 : own;
    EXPECT_EQ(Niceness(server_->pid()), expected) << "HighPriority " << high;
    EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"exec", "status"}), std::make_pair(0, std::string("2\n")));
    EXPECT_EQ(Stop(), 0);
    ASSERT_TRUE(WaitUntil([] { return !desktop::FindWindow("Vokar"); }, 5s));
  }
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(ServerProcess, SettingsOfAFreshStoreAndTheirLowerLimits) {
  Store("Sound", "DeviceTimeout", std::uint32_t(-3));
  Store("Sound", "WaveDevice", std::uint32_t(-4));
  Start();
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(Value("Sound", "DeviceTimeout"), "0");
  EXPECT_EQ(Value("Sound", "WaveDevice"), "0");
  EXPECT_EQ(Value("Global", "HighPriority"), "\"No\"");
  EXPECT_EQ(Value("Global", "InitLogo"), "1");
  EXPECT_EQ(Value("Sound", "Tunning"), "0");
}

TEST_F(ServerProcess, NoWaveDeviceIsSaidAndTheServerEnds) {
  world_.SetWave("devices=0");
  server_ = world_.StartServer();
  EXPECT_EQ(server_->Wait(10s), 1);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u) << world_.ServerOutput();
  EXPECT_EQ(messages[0].text, "Brak urządzenia do odtwarzania dźwięku");
  EXPECT_EQ(messages[0].icon, "stop");
  EXPECT_EQ(messages[0].caption, "Vokar");
  EXPECT_FALSE(desktop::FindWindow("Vokar"));
}

TEST_F(ServerProcess, ExitDuringSpeechWaitsForTheJobAndSavesSettings) {
  Start();
  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  // The exit command arrives inside the job's own message pump.
  ASSERT_TRUE(desktop::PostMessage(desktop::FindWindow("Vokar"), desktop::WM_COMMAND, server::ID_EXIT_SERVER, 0));
  EXPECT_EQ(server_->Wait(5s), 0) << world_.ServerOutput();
  EXPECT_EQ(Value("Sound", "DeviceTimeout"), "5");
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(ServerProcess, TermSignalDuringSpeechEndsLikeTheExitButton) {
  Start();
  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_EQ(Stop(), 0) << world_.ServerOutput();
  EXPECT_EQ(Value("Global", "TaskBarIcon"), "\"Yes\"");
  // Nothing of the server is left on the desktop.
  ASSERT_TRUE(WaitUntil([] { return !desktop::FindWindow("Vokar"); }, 2s));
  auto semaphore = named::NamedSemaphore::Create("VokarInstance");
  ASSERT_TRUE(semaphore);
  EXPECT_FALSE(semaphore->AlreadyExisted()) << "the instance semaphore outlived the server";
}

// A box of the server really up (the test's script answers "show" and the box
// waits for a user), and SIGTERM: the box closes, the server ends as its exit
// button would, its settings written, and nothing answers for it any more.
// Before, the window went but the process stayed until someone closed the
// box, answering pokes and status meanwhile.
TEST_F(ServerProcess, TermSignalWithAMessageBoxOpenEndsTheServer) {
  ::setenv("VOKAR_MSGBOX_ANSWER", "show", 1);
  Start();
  Store("Sound", "Tunning", std::uint32_t{20});
  const auto sent = desktop::SendMessage(desktop::FindWindow("Vokar"), server::WM_SERVER_OPENFILE, 0, 0,
                                         (world_.Work() / "brak.txt").string());
  ASSERT_TRUE(sent.ok());
  ASSERT_TRUE(WaitUntil([&] { return !world_.Messages().empty(); }, 5s));
  EXPECT_EQ(world_.Messages().front().answer, "show");
  EXPECT_EQ(Stop(), 0) << "the server stayed while its box was open\n" << world_.ServerOutput();
  ::unsetenv("VOKAR_MSGBOX_ANSWER");
  EXPECT_NE(world_.RunTool(VKDDE_PATH, {"exec", "status"}).first, 0) << "something still answers for the server";
  EXPECT_EQ(Value("Global", "TaskBarIcon"), "\"Yes\"");
  EXPECT_EQ(Value("Sound", "Tunning"), "0") << "the window's settings were not written";
}

// "Pomo&c..." with the page installed but no xdg-open and no desktop that
// opens anything: a box with the page's path, so that the user can open it
// another way; the server goes on.
TEST_F(ServerProcess, HelpWithoutABrowserIsSaidWithThePagesPath) {
  const auto page = world_.folder() / "data" / "help" / "vokar.html";
  std::filesystem::create_directories(page.parent_path());
  std::ofstream(page) << "<html></html>";
  const auto bin = world_.folder() / "bin";
  std::filesystem::create_directories(bin);
  SetEnv("PATH", bin.string());
  Start();
  ASSERT_TRUE(desktop::PostMessage(desktop::FindWindow("Vokar"), desktop::WM_COMMAND, server::IDC_HELP, 0));
  ASSERT_TRUE(WaitUntil([&] { return !world_.Messages().empty(); }, 5s));
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Vokar");
  EXPECT_EQ(messages[0].text,
            "Nie można otworzyć pomocy: na tym komputerze nie ma przeglądarki stron WWW, która by ją wyświetliła.\n"
            "Stronę pomocy można otworzyć samodzielnie:\n" + page.string());
  EXPECT_EQ(client_.Status(), 2);
  EXPECT_EQ(Stop(), 0);
}

// "read" on a server that was given nothing runs a job on the empty buffer,
// which ends at once without a sound; the server goes on serving.
TEST_F(ServerProcess, ReadingAnEmptyBufferEndsAtOnce) {
  Start();
  ASSERT_TRUE(client_.Execute("read"));
  EXPECT_EQ(WatchStatus(1000ms, 5s).back(), 2);
  EXPECT_EQ(world_.WavBytes(), 0u);
  ASSERT_TRUE(client_.Poke("Raz."));
  ASSERT_TRUE(client_.Execute("read"));
  EXPECT_TRUE(WaitUntil([&] { return world_.WavBytes() > 0; }, 5s));
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, AnUnknownExecuteIsOnlyAcknowledged) {
  Start();
  std::ofstream(world_.Work() / "x.txt") << "Raz.";
  for (const std::string& command :
       {"[open(\"" + (world_.Work() / "x.txt").string() + "\")]", std::string("run /bin/sh"), std::string("")}) {
    EXPECT_TRUE(client_.Execute(command)) << command;
    EXPECT_EQ(client_.lastStatus & 0xFF, 0u);
  }
  EXPECT_EQ(WatchStatus(1200ms, 5s), std::vector<int>{2});
  EXPECT_EQ(world_.WavBytes(), 0u);
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, QueuedFilesThatCannotBeReadAreSaidInOneBoxAndNeverBlock) {
  Start();
  const auto fifo = world_.Work() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = (world_.Work() / "brak.txt").string();
  // A path longer than the system takes must not be cut to another file.
  const std::string tooLong = "/" + std::string(PATH_MAX, 'a');
  const std::string good = (world_.Work() / "dobry.txt").string();
  std::ofstream(good) << "Raz.";
  // They are handed over while the server reads, and wait their turn.
  ASSERT_TRUE(client_.Poke("Raz."));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  for (const std::string& path : {fifo.string(), missing, tooLong, good}) {
    const auto sent = desktop::SendMessage(desktop::FindWindow("Vokar"), server::WM_SERVER_OPENFILE, 0, 0, path);
    EXPECT_TRUE(sent.ok());
  }
  ASSERT_TRUE(WaitUntil([&] { return !world_.Messages().empty(); }, 10s));
  // The server kept answering while it met the FIFO, and read the good file.
  ASSERT_TRUE(client_.WaitForStatus(1, 5s)) << "the good file was not read";
  ASSERT_TRUE(client_.WaitForStatus(2, 5s));
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Nie można odczytać 3 plików z kolejki:\n"
                              "Błąd otwarcia pliku: " + fifo.string() + "\nPlik nie został znaleziony\n"
                              "Błąd otwarcia pliku: " + missing + "\nPlik nie został znaleziony\n"
                              "Błąd otwarcia pliku: " + tooLong + "\nBłędna ścieżka dostępu");
  EXPECT_EQ(messages[0].buttons, "ok");
  EXPECT_EQ(messages[0].caption, "Vokar");

  // One file alone gets the message of its own.
  ASSERT_TRUE(desktop::SendMessage(desktop::FindWindow("Vokar"), server::WM_SERVER_OPENFILE, 0, 0, missing).ok());
  ASSERT_TRUE(WaitUntil([&] { return world_.Messages().size() == 2; }, 5s));
  EXPECT_EQ(world_.Messages()[1].text, "Błąd otwarcia pliku: " + missing + "\nPlik nie został znaleziony");
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, AFloodOfMissingFilesIsOneBoxWithTheirCount) {
  Start();
  // Handed over while the server reads (a break would empty the queue).
  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));
  // More than the queue holds: the rest is not kept.
  const auto window = desktop::FindWindow("Vokar");
  for (int i = 0; i < 1100; ++i) {
    const std::string path = (world_.Work() / ("brak" + std::to_string(i) + ".txt")).string();
    ASSERT_TRUE(desktop::PostMessage(window, server::WM_SERVER_OPENFILE, 0, 0, path) ||
                desktop::SendMessage(window, server::WM_SERVER_OPENFILE, 0, 0, path).ok());
  }
  ASSERT_TRUE(WaitUntil([&] { return !world_.Messages().empty(); }, 15s));
  desktop::PumpMessages(1500ms);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  std::vector<std::string> lines;
  std::istringstream in(messages[0].text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  // The count, ten files named with their causes, and how many more.
  ASSERT_EQ(lines.size(), 1u + 2 * 10 + 1) << messages[0].text;
  EXPECT_EQ(lines.front(), "Nie można odczytać 1024 plików z kolejki:");
  EXPECT_EQ(lines[1], "Błąd otwarcia pliku: " + (world_.Work() / "brak0.txt").string());
  EXPECT_EQ(lines[2], "Plik nie został znaleziony");
  EXPECT_EQ(lines[19], "Błąd otwarcia pliku: " + (world_.Work() / "brak9.txt").string());
  EXPECT_EQ(lines.back(), "(i jeszcze 1014)");
  EXPECT_EQ(client_.Status(), 2);
  EXPECT_EQ(Stop(), 0);
}

// "Zażółć gęślą jaźń." in a UTF-8 file is read as in every other edge that
// takes UTF-8 (vksay, the clipboard, a poke through vkdde), whichever way
// the file comes: on the command line, with /X, handed over by a second
// start, queued by vkdde open; a Windows-1250 file as before.
TEST_F(ServerProcess, UTF8FilesAreReadAsUTF8WhicheverWayTheyCome) {
  const std::string text = "Zażółć gęślą jaźń.";
  std::ofstream(world_.Work() / "utf8.txt", std::ios::binary) << text;
  std::ofstream(world_.Work() / "bom.txt", std::ios::binary) << "\xEF\xBB\xBF" + text;
  std::ofstream(world_.Work() / "cp1250.txt", std::ios::binary) << cp1250::FromUtf8(text);
  const auto expectedFile = world_.folder() / "expected.wav";
  const auto [code, output] = world_.RunTool(VKSAY_PATH, {"-o", expectedFile.string(), text});
  ASSERT_EQ(code, 0) << output;
  const std::string expected = WavSamples(expectedFile);
  ASSERT_GT(expected.size(), 1000u);
  // vksay takes a file the same way, its byte order mark left out.
  const auto bomFile = world_.folder() / "bom.wav";
  ASSERT_EQ(world_.RunTool(VKSAY_PATH, {"-o", bomFile.string(), "-f", "bom.txt"}).first, 0);
  EXPECT_EQ(WavSamples(bomFile), expected) << "vksay -f";

  // vokar /X FILE: read and ended.
  server_ = world_.StartServer({"/L-", "/X", "utf8.txt"});
  ASSERT_EQ(server_->Wait(15s), 0) << world_.ServerOutput();
  EXPECT_EQ(WavSamples(world_.Wav()), expected) << "vokar /X FILE";
  std::filesystem::remove(world_.Wav());

  // vokar FILE, then the other ways into the running server.
  server_ = world_.StartServer({"/L-", "utf8.txt"});
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s));
  ASSERT_TRUE(client_.Connect());
  std::size_t heard = 0;
  auto heardNext = [&](const std::string& how) {
    ASSERT_TRUE(WaitUntil([&] { return WavSamples(world_.Wav()).size() >= heard + expected.size(); }, 15s)) << how;
    ASSERT_TRUE(client_.WaitForStatus(2, 5s)) << how;
    const std::string samples = WavSamples(world_.Wav());
    EXPECT_EQ(samples.substr(heard), expected) << how;
    heard = samples.size();
  };
  heardNext("vokar FILE");
  EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"open", "utf8.txt"}).first, 0);
  heardNext("vkdde open");
  Process second(VOKAR_PATH, {"utf8.txt"}, world_.Work(), world_.folder() / "second.out");
  EXPECT_EQ(second.Wait(5s), 0);
  heardNext("a second start");
  EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"open", "bom.txt"}).first, 0);
  heardNext("UTF-8 with a byte order mark");
  EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"open", "cp1250.txt"}).first, 0);
  heardNext("Windows-1250");
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

// vkdde poke -f reads 512 KiB of a file at most. A UTF-8 file whose limit
// falls inside its last character is still UTF-8: heard as the same text
// poked in code page 1250 (blanks say nothing, and the server keeps the first
// 65276 bytes of either). Taken as Windows-1250 it would say "ZaĹĽĂłĹ‚...".
TEST_F(ServerProcess, VkddePokesTheStartOfALongUtf8FileAsUtf8) {
  constexpr std::size_t kPokeFileLimit = 512 * 1024;
  const std::string text = "Zażółć gęślą jaźń.";
  std::string file = "\xEF\xBB\xBF" + text;
  file += std::string(kPokeFileLimit - 1 - file.size(), ' ') + "ż";  // C5 on the limit, BC past it
  ASSERT_EQ(file.size(), kPokeFileLimit + 1);
  std::ofstream(world_.Work() / "long.txt", std::ios::binary) << file;
  Start();
  auto heard = [&](const std::function<void()>& poke) {
    const std::size_t before = WavSamples(world_.Wav()).size();
    poke();
    EXPECT_TRUE(client_.Execute("read"));
    EXPECT_TRUE(WaitUntil([&] { return WavSamples(world_.Wav()).size() > before; }, 5s));
    EXPECT_TRUE(client_.WaitForStatus(2, 10s));
    return WavSamples(world_.Wav()).substr(before);
  };
  const std::string fromFile =
      heard([&] { EXPECT_EQ(world_.RunTool(VKDDE_PATH, {"poke", "-f", "long.txt"}).first, 0); });
  const std::string start = cp1250::FromUtf8(text);
  const std::string fromCp1250 =
      heard([&] { EXPECT_TRUE(client_.Poke(start + std::string(65276 - start.size(), ' '))); });
  EXPECT_GT(fromCp1250.size(), 1000u);
  EXPECT_EQ(fromFile, fromCp1250);
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, ExitAfterReadingTheCommandLineFile) {
  std::ofstream(world_.Work() / "list.txt") << "Raz dwa.";
  server_ = world_.StartServer({"/L-", "/X", "list.txt"});
  EXPECT_EQ(server_->Wait(15s), 0) << world_.ServerOutput();
  EXPECT_GT(world_.WavBytes(), 0u);
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(ServerProcess, VersionAndTheStartedEvent) {
  auto started = named::NamedEvent::CreateOrOpen("Server_VOKAR_Started", named::InitialState::NotSignaled);
  ASSERT_TRUE(started);
  Start();
  EXPECT_EQ(started->Wait(10s), named::WaitResult::Signaled);
  const auto window = desktop::FindWindow("Vokar");
  EXPECT_EQ(desktop::SendMessage(window, server::WM_SERVER_VERSION, 0, 0).result, 0x00010001);
  EXPECT_EQ(desktop::SendMessage(window, server::WM_SERVER_VERSION, 1, 0).result, 0x005F0003);
  EXPECT_EQ(desktop::SendMessage(window, server::WM_SERVER_VERSION, 2, 0).result, 0);
  const auto [code, output] = world_.RunTool(VKDDE_PATH, {"version"});
  EXPECT_EQ(code, 0);
  EXPECT_EQ(output, "1.1.95.3\n");
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, VkddeSpeaksPausesAndReportsStatus) {
  Start();
  auto run = [&](std::vector<std::string> arguments) { return world_.RunTool(VKDDE_PATH, std::move(arguments)); };
  EXPECT_EQ(run({"exec", "status"}), std::make_pair(0, std::string("2\n")));
  EXPECT_EQ(run({"poke", "Raz.", "Dwa.", "Trzy.", "Cztery."}).first, 0);
  EXPECT_EQ(run({"exec", "read"}).first, 0);
  EXPECT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_EQ(run({"exec", "pause"}).first, 0);
  EXPECT_EQ(run({"exec", "status"}), std::make_pair(0, std::string("3\n")));
  // A poke now is refused as busy.
  EXPECT_EQ(run({"poke", "Pięć."}).first, 4);
  // speak breaks the job first, then pokes and reads.
  EXPECT_EQ(run({"speak", "Zażółć gęślą jaźń."}).first, 0);
  EXPECT_TRUE(client_.WaitForStatus(1, 2s));
  EXPECT_TRUE(client_.WaitForStatus(2, 10s));
  const auto file = world_.Work() / "x.txt";
  std::ofstream(file) << "Raz.";
  EXPECT_EQ(run({"open", "x.txt"}).first, 0);
  EXPECT_TRUE(client_.WaitForStatus(1, 3s));
  EXPECT_EQ(run({"--service", "Inny", "exec", "status"}).first, 3);
  EXPECT_EQ(run({"exec"}).first, 2);
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

// A user and PID namespace of the test's own, as a container or a sandbox of
// the same user has: the programs in it see no process outside, and
// nothing outside knows them by the ids they see. Nothing when this machine
// lets the test make one; else why not.
std::optional<std::string> NamespacesUnavailable(ServerWorld& world) {
  if (::access("/usr/bin/unshare", X_OK) != 0) return "unshare (util-linux) is not installed";
  const auto [code, output] = world.RunTool("/usr/bin/unshare", {"--user", "--map-root-user", "--pid", "--fork", "/bin/true"});
  if (code != 0) return "this machine does not let a user make user and PID namespaces: " + output;
  return std::nullopt;
}

// Everything started in the namespace ends with it, however the test ends.
const std::vector<std::string> kInNamespace = {"--user", "--map-root-user", "--pid", "--fork", "--kill-child"};

TEST_F(ServerProcess, AClientInAnotherPidNamespaceSpeaks) {
  if (const auto reason = NamespacesUnavailable(world_)) GTEST_SKIP() << *reason;
  Start();
  auto inside = [&](std::vector<std::string> arguments) {
    std::vector<std::string> all = kInNamespace;
    all.push_back(VKDDE_PATH);
    all.insert(all.end(), arguments.begin(), arguments.end());
    return world_.RunTool("/usr/bin/unshare", all);
  };
  EXPECT_EQ(inside({"version"}), std::make_pair(0, std::string("1.1.95.3\n")));
  EXPECT_EQ(inside({"exec", "status"}), std::make_pair(0, std::string("2\n")));
  const auto [code, output] = inside({"speak", kLongText});
  EXPECT_EQ(code, 0) << output;
  EXPECT_TRUE(client_.WaitForStatus(1, 3s)) << "the client's text is not read";
  EXPECT_EQ(inside({"exec", "status"}), std::make_pair(0, std::string("1\n")));
  EXPECT_EQ(inside({"exec", "break"}).first, 0);
  EXPECT_TRUE(client_.WaitForStatus(2, 3s));
  EXPECT_GT(world_.WavBytes(), 0u);
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(Stop(), 0);
}

TEST_F(ServerProcess, AServerInAnotherPidNamespaceIsSpokenTo) {
  if (const auto reason = NamespacesUnavailable(world_)) GTEST_SKIP() << *reason;
  // The server is not the first process of its namespace (which takes no
  // signal from outside that it has no handler for): a shell is.
  std::vector<std::string> arguments = kInNamespace;
  arguments.insert(arguments.end(), {"/bin/sh", "-c", "\"$0\" /L- & wait $!", VOKAR_PATH});
  server_ = std::make_unique<Process>("/usr/bin/unshare", arguments, world_.Work(), world_.Log());
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s)) << world_.ServerOutput();
  const auto owner = desktop::WindowOwner(desktop::FindWindow("Vokar"));
  ASSERT_TRUE(owner.has_value());
  // Seen from here, under the id it has here.
  ASSERT_GT(owner->process, 0u);
  ASSERT_TRUE(client_.Connect()) << world_.ServerOutput();
  EXPECT_EQ(client_.Status(), 2);
  ASSERT_TRUE(client_.Poke(kLongText));
  ASSERT_TRUE(client_.Execute("read"));
  EXPECT_TRUE(client_.WaitForStatus(1, 3s));
  ASSERT_TRUE(client_.Execute("break"));
  EXPECT_TRUE(client_.WaitForStatus(2, 3s));
  EXPECT_GT(world_.WavBytes(), 0u);
  ::kill(static_cast<pid_t>(owner->process), SIGTERM);
  EXPECT_EQ(server_->Wait(10s), 0) << world_.ServerOutput();
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(ServerProcess, ASecondStartWaitsForTheWindowOfAStartingServer) {
  // Another server holds the instance but has no window yet.
  auto semaphore = named::NamedSemaphore::Create("VokarInstance");
  ASSERT_TRUE(semaphore);
  std::ofstream(world_.Work() / "list.txt") << "Raz.";
  Process second(VOKAR_PATH, {"list.txt"}, world_.Work(), world_.folder() / "second.out");
  desktop::PumpMessages(1500ms);
  EXPECT_TRUE(second.Running()) << "the second start gave up before the window came";
  std::string handed;
  auto created = desktop::Window::Create("Vokar", [&](desktop::Message& m) -> std::int64_t {
    if (m.message == server::WM_SERVER_OPENFILE) handed = m.payload;
    return 0;
  });
  ASSERT_TRUE(created.window);
  ASSERT_TRUE(WaitUntil([&] { return !second.Running(); }, 10s));
  EXPECT_EQ(handed, (world_.Work() / "list.txt").string());
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(ServerProcess, ASecondStartThatNeverSeesAWindowSaysSo) {
  auto semaphore = named::NamedSemaphore::Create("VokarInstance");
  ASSERT_TRUE(semaphore);
  Process second(VOKAR_PATH, {"list.txt"}, world_.Work(), world_.folder() / "second.out");
  EXPECT_EQ(second.Wait(15s), 0);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find((world_.Work() / "list.txt").string()), std::string::npos) << messages[0].text;
}

}  // namespace
