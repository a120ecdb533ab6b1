// The real horalo, started as a user starts it, at chosen times of a faked
// clock (libfaketime), on a private desktop, settings store and message log. It
// starts the speech server itself through App Paths: the DDE test server,
// which logs every request, or the real vokar on the wav: device.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "AppPaths.h"
#include "ClientTestSupport.h"
#include "Cp1250.h"
#include "Desktop.h"
#include "EventsFile.h"
#include "Profile.h"
#include "TestBytes.h"
#include "XSession.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace vokar;
using Clock = std::chrono::steady_clock;
using vokar::testing::ClientWorld;
using vokar::test::Hex;
using vokar::test::ReadAll;

// Debian's libfaketime, preloaded into horalo itself (not through the
// faketime program, which would stand between the test and horalo and leave
// horalo behind when it is killed).
std::string FaketimeLibrary() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/usr/lib", ignored)) {
    const fs::path library = entry.path() / "faketime" / "libfaketime.so.1";
    if (fs::exists(library, ignored)) return library.string();
  }
  return {};
}
constexpr int kReadHour = 33020;
constexpr int kReadAdvice = 33022;
constexpr int kEnd = 33030;
constexpr int kHelp = 205;  // "Pomo&c..."

registry::Profile Store() { return registry::Profile("Quillmark", "Horalo"); }

// A line of the server's log and the moment the test first saw it.
struct Seen {
  std::string line;
  double seconds;  // real seconds since horalo was started
};

class HoraloProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("TZ", "UTC");
    // Headless, never on a desktop of the machine.
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    world_.Unset("DISPLAY");
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 300");
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_DDE_TESTSERVER).ok());
    // No chime and no advice unless a test asks for them.
    ASSERT_TRUE(Store().WriteInt("Clock", "Frequency", 0).ok());
    ASSERT_TRUE(Store().WriteInt("Advice", "Frequency", 0).ok());
  }
  void TearDown() override {
    if (HasFailure()) {
      std::fprintf(stderr, "horalo's output:\n%s\nmessages:\n", ReadAll(world_.folder() / "horalo.out").c_str());
      for (const auto& text : world_.MessageTexts()) std::fprintf(stderr, "  %s\n", text.c_str());
    }
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      // libfaketime removes its shared memory when the program ends, but
      // not when it is killed.
      std::error_code ignored;
      for (const char* name : {"/dev/shm/faketime_shm_", "/dev/shm/sem.faketime_sem_"})
        fs::remove(name + std::to_string(pid_), ignored);
    }
  }

  // Starts horalo under faketime: the clock starts at `start` (UTC) and runs
  // `rate` times as fast as the real one.
  void Start(const std::string& start, int rate = 1) {
    std::string spec = "@" + start;
    if (rate != 1) spec += " x" + std::to_string(rate);
    StartFaked({"FAKETIME=" + spec});
  }
  // Starts horalo with libfaketime and these of its settings.
  void StartFaked(const std::vector<std::string>& faking) {
    const std::string library = FaketimeLibrary();
    ASSERT_FALSE(library.empty()) << "libfaketime is not installed";
    std::vector<std::string> environment{"LD_PRELOAD=" + library};
    environment.insert(environment.end(), faking.begin(), faking.end());
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string_view text(*variable);
      if (!text.starts_with("LD_PRELOAD=") && !text.starts_with("FAKETIME")) environment.emplace_back(text);
    }
    std::vector<char*> envp;
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = VOKAR_HORALO;
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (world_.folder() / "horalo.out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    started_ = Clock::now();
    ASSERT_EQ(::posix_spawn(&pid_, VOKAR_HORALO, &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
  }

  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }

  // Waits until horalo has made its conversation with the server (the test
  // server logs it with --log-initiate), at most fifteen seconds.
  bool WaitForConversation() {
    return WaitLog(
        [](const std::vector<Seen>& lines) {
          return std::any_of(lines.begin(), lines.end(), [](const Seen& s) { return s.line.starts_with("initiate"); });
        },
        15s);
  }

  // Follows the server's log until the condition holds for the lines seen so
  // far, or the timeout passes; every new line is stamped when first seen.
  bool WaitLog(const std::function<bool(const std::vector<Seen>&)>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
      const auto lines = ClientWorld::Lines(serverLog_);
      for (std::size_t i = seen_.size(); i < lines.size(); ++i) seen_.push_back({lines[i], Elapsed()});
      if (done(seen_)) return true;
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(20ms);
    }
  }
  bool WaitFor(const std::string& line, std::chrono::milliseconds timeout, int count = 1) {
    return WaitLog([&](const std::vector<Seen>& lines) { return Count(lines, line) >= count; }, timeout);
  }
  static int Count(const std::vector<Seen>& lines, const std::string& line) {
    int n = 0;
    for (const auto& seen : lines) n += seen.line == line;
    return n;
  }
  const Seen* Find(const std::string& line, int occurrence = 1) const {
    for (const auto& seen : seen_) {
      if (seen.line == line && --occurrence == 0) return &seen;
    }
    return nullptr;
  }
  std::vector<std::string> Pokes() const {
    std::vector<std::string> pokes;
    for (const auto& seen : seen_) {
      if (seen.line.starts_with("poke ")) pokes.push_back(seen.line.substr(5));
    }
    return pokes;
  }

  // The clock's window on the desktop, once the program has made it.
  desktop::WindowHandle Window() {
    desktop::WindowHandle window;
    const auto deadline = Clock::now() + 10s;
    while (!(window = desktop::FindWindow("Horalo")) && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
    return window;
  }
  bool Post(int command) { return desktop::PostMessage(Window(), desktop::WM_COMMAND, command, 0); }

  // Ends horalo as another program may (command 33030); its exit status.
  int End() {
    EXPECT_TRUE(Post(kEnd));
    return WaitForEnd();
  }
  // Ends horalo as the desktop session does; its exit status, -1 when it did
  // not end in time.
  int Terminate() {
    ::kill(pid_, SIGTERM);
    return WaitForEnd();
  }
  int WaitForEnd() {
    const auto deadline = Clock::now() + 15s;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) return -1;
      std::this_thread::sleep_for(20ms);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path file = world_.folder() / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }

  ClientWorld world_;
  fs::path serverLog_ = world_.folder() / "server.log";
  pid_t pid_ = -1;
  Clock::time_point started_;
  std::vector<Seen> seen_;
};

// The log writes a backslash as two.
const std::string kReset = " \\\\Rst\\\\";

TEST_F(HoraloProcess, TheChimeOfTheFullHourComesInItsFirstSeconds) {
  ASSERT_TRUE(Store().WriteInt("Clock", "Frequency", 1).ok());
  Start("2026-12-08 10:59:50");
  const std::string chime = "poke jedenasta " + kReset;
  ASSERT_TRUE(WaitFor(chime, 35s)) << ReadAll(serverLog_);
  const Seen* poke = Find(chime);
  // 11:00:01 to 11:00:15 is 11 to 25 seconds after the start.
  EXPECT_GE(poke->seconds, 10.5);
  EXPECT_LE(poke->seconds, 26.5);
  // A chime does not break a reading, and it is the only thing spoken.
  EXPECT_EQ(Pokes(), std::vector<std::string>{"jedenasta " + kReset});
  EXPECT_EQ(Count(seen_, "execute break"), 0);
  EXPECT_TRUE(WaitFor("execute read", 5s));
  EXPECT_EQ(End(), 0);
  EXPECT_TRUE(world_.MessageTexts().empty());
}

// Another program keeps the server reading while horalo wants to chime:
// vkdde, which says "speak" and ends (a conversation of the test's own
// would stay connected to horalo's window, which a clock ten times as fast
// closes as idle long before the test's side gives it up).
bool OtherProgramReads(const std::string& text) {
  vokar::testing::SpawnedProgram vkdde({VOKAR_VKDDE, "speak", text});
  return vkdde.Wait() == 0;
}

// The lines of the log that a poke of this text was taken: the poke and the
// "read" right after it.
std::vector<const Seen*> Taken(const std::vector<Seen>& lines, const std::string& poke) {
  std::vector<const Seen*> taken;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].line == poke && lines[i + 1].line == "execute read") taken.push_back(&lines[i]);
  }
  return taken;
}

TEST_F(HoraloProcess, AChimeRefusedWhileTheServerReadsIsSaidWhenItIsFreeWithinItsMinute) {
  ASSERT_TRUE(Store().WriteInt("Clock", "Frequency", 1).ok());
  // Each reading lasts twelve seconds.
  world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 12000");
  vokar::testing::SpawnedProgram server({VOKAR_DDE_TESTSERVER});
  ASSERT_TRUE(WaitLog([](const std::vector<Seen>& lines) { return !lines.empty(); }, 15s));
  Start("2026-12-08 10:59:50");
  // From 10:59:57 to 11:00:09 the server reads another program's text.
  while (Elapsed() < 7.0) std::this_thread::sleep_for(20ms);
  // The reading starts after this moment and lasts twelve seconds.
  const double busyFrom = Elapsed();
  ASSERT_TRUE(OtherProgramReads("Tekst innego programu."));
  const std::string chime = "poke jedenasta " + kReset;
  ASSERT_TRUE(WaitLog([&](const std::vector<Seen>& lines) { return !Taken(lines, chime).empty(); }, 30s))
      << ReadAll(serverLog_);
  // Refused while the server read (in the first seconds of the minute), then
  // said once the reading was over, still in 11:00.
  EXPECT_GE(Count(seen_, chime), 2) << ReadAll(serverLog_);
  const Seen* said = Taken(seen_, chime).front();
  EXPECT_GE(said->seconds, busyFrom + 11.9);
  EXPECT_LE(said->seconds, 10.0 + 60.0);
  ASSERT_NE(Find(chime), nullptr);
  EXPECT_LE(Find(chime)->seconds, busyFrom + 11.0) << "the first try came after the reading";
  WaitLog([](const std::vector<Seen>&) { return false; }, 3s);
  EXPECT_EQ(Taken(seen_, chime).size(), 1u) << "said once";
  EXPECT_EQ(End(), 0);
  EXPECT_TRUE(world_.MessageTexts().empty());
}

TEST_F(HoraloProcess, AChimeThatCouldNotBeSaidInItsMinuteIsDropped) {
  ASSERT_TRUE(Store().WriteInt("Clock", "Frequency", 1).ok());
  // Ten times as fast: a minute of the clock is six real seconds, and the
  // other program's reading of ten seconds outlasts the minute of 11:00.
  world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 10000");
  vokar::testing::SpawnedProgram server({VOKAR_DDE_TESTSERVER});
  ASSERT_TRUE(WaitLog([](const std::vector<Seen>& lines) { return !lines.empty(); }, 15s));
  Start("2026-12-08 10:59:00", 10);
  // 10:59:40 of the fast clock.
  while (Elapsed() < 4.0) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(OtherProgramReads("Długi tekst innego programu."));
  // 11:01:00 comes at 12 real seconds; the reading ends at about 14.
  const double busyUntil = Elapsed() + 10.0;
  while (Elapsed() < busyUntil + 4.0) WaitLog([](const std::vector<Seen>&) { return false; }, 200ms);
  const std::string chime = "poke jedenasta " + kReset;
  EXPECT_GE(Count(seen_, chime), 1) << "the chime was never tried: " << ReadAll(serverLog_);
  EXPECT_TRUE(Taken(seen_, chime).empty()) << "a chime of 11:00 said after its minute";
  for (const auto& seen : seen_) {
    if (seen.line == chime) {
      EXPECT_LE(seen.seconds, 12.5) << "tried after its minute";
    }
  }
  EXPECT_EQ(End(), 0);
}

TEST_F(HoraloProcess, ARemindersMinuteIsNotLostWhenTheClockIsHeldUpBeforeItsFirstCheck) {
  clock::EventArrays arrays;
  clock::EVENT_DSCR event;
  event.kind = clock::RepeatKind::Daily;
  event.time.year = 2026, event.time.month = 11, event.time.day = 8, event.time.hour = 11, event.time.minute = 0;
  event.text = "herbata";
  arrays[1].push_back(event);
  const fs::path file = Write("terminarz.evt", clock::SerializeEventsStream(arrays));
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 300 --log-initiate");
  // Ten times as fast, from 10:59:31: no check in the minute of the start,
  // the first one at 11:00:16, 4.5 real seconds after the start.
  Start("2026-12-08 10:59:31", 10);
  // It connects to the server (which it starts) once its window is made and
  // its clock runs; then it is held up (stopped) until 11:01:05. Not before
  // its conversation is made: held up while it asks the server's version, it
  // would find the question unanswered in time.
  ASSERT_TRUE(WaitForConversation()) << ReadAll(serverLog_);
  ::kill(pid_, SIGSTOP);
  const double stoppedAt = Elapsed();
  while (Elapsed() < 9.4) std::this_thread::sleep_for(20ms);
  ::kill(pid_, SIGCONT);
  if (stoppedAt > 4.4) GTEST_SKIP() << "horalo took " << stoppedAt << " s to start: its first check had come";
  const std::string reminder = "poke herbata" + kReset;
  EXPECT_TRUE(WaitFor(reminder, 10s)) << "the reminder of 11:00 was lost: " << ReadAll(serverLog_);
  EXPECT_EQ(End(), 0);
}

TEST_F(HoraloProcess, AReminderIsSpokenOnceAndNeverWhileTheServerReads) {
  world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 4000");
  // Two daily events at 11:00: the second waits for the first reading.
  clock::EventArrays arrays;
  for (const char* text : {"pierwszy", "drugi"}) {
    clock::EVENT_DSCR event;
    event.kind = clock::RepeatKind::Daily;
    event.time.year = 2026, event.time.month = 11, event.time.day = 8, event.time.hour = 11, event.time.minute = 0;
    event.text = text;
    arrays[1].push_back(event);
  }
  const fs::path file = Write("terminarz.evt", clock::SerializeEventsStream(arrays));
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  Start("2026-12-08 11:00:11");
  const std::string first = "poke pierwszy" + kReset;
  const std::string second = "poke drugi" + kReset;
  ASSERT_TRUE(WaitFor(second, 25s)) << ReadAll(serverLog_);
  // Nothing more comes for the rest of the minute.
  WaitLog([](const std::vector<Seen>&) { return false; }, 4s);
  EXPECT_EQ(Pokes(), (std::vector<std::string>{"pierwszy" + kReset, "drugi" + kReset}));
  // The first reading took four seconds; the second text came after it, and
  // the server was asked in between.
  const Seen* firstRead = Find("execute read", 1);
  const Seen* secondBreak = Find("execute break", 2);
  ASSERT_NE(firstRead, nullptr);
  ASSERT_NE(secondBreak, nullptr);
  EXPECT_GE(secondBreak->seconds - firstRead->seconds, 3.7);
  int statusBetween = 0;
  for (const auto& seen : seen_) {
    if (seen.seconds > firstRead->seconds && seen.seconds <= secondBreak->seconds) statusBetween += seen.line == "execute status";
  }
  EXPECT_GE(statusBetween, 2);
  EXPECT_EQ(End(), 0);
  // Nothing was changed: the file is as it was written.
  EXPECT_EQ(ReadAll(file), clock::SerializeEventsStream(arrays));
}

TEST_F(HoraloProcess, ADamagedEventsFileIsRefusedAndLeftAsItIs) {
  const std::string damaged = Hex("0100 FFFF 0200 0A00 4556454E545F44534352" "0000 EA07 0000 0000 0100 0000 0000 0000"
                                  "00000000 0000 0000 0000 0000 0000 0000");
  const fs::path file = Write("terminarz.evt", damaged);
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  Start("2026-12-08 11:00:20");
  // The server is started once the clock has read its settings and files.
  ASSERT_TRUE(WaitLog([](const std::vector<Seen>& lines) { return !lines.empty(); }, 15s));
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{"Błąd odczytu z pliku."});
  EXPECT_EQ(ReadAll(file), damaged);
  EXPECT_EQ(Store().GetString("Events", "DocumentName", "?"), "");
}

TEST_F(HoraloProcess, AdviceWaitsForItsPeriodAndComesInTurn) {
  ASSERT_TRUE(Store().WriteInt("Advice", "Frequency", 3).ok());
  ASSERT_TRUE(Store().WriteInt("Advice", "Mode", 1).ok());
  const fs::path advice = Write("rady.txt", "jeden\ndwa\ntrzy\n");
  ASSERT_TRUE(Store().WriteString("Advice", "DocumentName", advice.string()).ok());
  // Every five minutes, twenty times as fast: started at 10:58:45 the clock
  // has not seen the period of 10:55 begin, so nothing comes before the
  // period of 11:00 has begun.
  Start("2026-12-08 10:58:45", 20);
  const std::string first = "poke dwa\\n" + kReset;
  const std::string second = "poke trzy\\n" + kReset;
  ASSERT_TRUE(WaitFor(second, 60s)) << ReadAll(serverLog_);
  // 11:01:00 is 135 seconds of the fast clock after the start.
  EXPECT_GE(Find(first)->seconds * 20, 130.0);
  // 11:05 began the second period: its reading is at 11:06 at the soonest.
  EXPECT_GE(Find(second)->seconds * 20, 370.0);
  // The clock's own readings never break one that runs.
  EXPECT_EQ(Count(seen_, "execute break"), 0);
  // The clock is done with the second text once the server is asked to read
  // it; a request on demand while it still speaks would be turned away (the
  // client sends one text at a time).
  ASSERT_TRUE(WaitLog(
      [&](const std::vector<Seen>& lines) {
        bool afterSecond = false;
        for (const auto& seen : lines) {
          if (seen.line == second) afterSecond = true;
          if (afterSecond && seen.line == "execute read") return true;
        }
        return false;
      },
      10s))
      << ReadAll(serverLog_);

  // On demand, the next in turn. The fast clock goes on meanwhile and may
  // read the next period's advice first (from 11:11, a few real seconds
  // after the second one at the latest), so the reading on demand is told by
  // what it does alone: it breaks the reading first.
  ASSERT_TRUE(Post(kReadAdvice));
  const auto onDemand = [](const std::vector<Seen>& lines) -> const Seen* {
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      if (lines[i].line == "execute break" && lines[i + 1].line.starts_with("poke ")) return &lines[i + 1];
    }
    return nullptr;
  };
  ASSERT_TRUE(WaitLog([&](const std::vector<Seen>& lines) { return onDemand(lines) != nullptr; }, 10s))
      << ReadAll(serverLog_);
  EXPECT_EQ(End(), 0);
  // Whoever asked, the lines came in turn from the second one on, each once.
  const std::vector<std::string> turn{"dwa\\n" + kReset, "trzy\\n" + kReset, "jeden\\n" + kReset};
  const auto pokes = Pokes();
  ASSERT_GE(pokes.size(), 3u);
  for (std::size_t i = 0; i < pokes.size(); ++i) EXPECT_EQ(pokes[i], turn[i % turn.size()]) << i;
  EXPECT_EQ(Count(seen_, "execute break"), 1);
}

TEST_F(HoraloProcess, TheHourOnTheRealServerIsWrittenToTheWaveDevice) {
  const fs::path wav = world_.folder() / "mowa.wav";
  world_.Set("VOKAR_WAVEOUT", "wav:" + wav.string() + ",fast");
  world_.Set("XDG_RUNTIME_DIR", world_.folder().string());
  // The speech server already runs, on the real clock, as after a login.
  vokar::testing::SpawnedProgram server({VOKAR_SERVER, "/L-"});
  const auto deadline = Clock::now() + 20s;
  while (!desktop::FindWindow("Vokar") && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(desktop::FindWindow("Vokar"));
  Start("2026-12-08 10:20:05");
  ASSERT_TRUE(Window());
  // The clock connects a second after its start.
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(Post(kReadHour));
  std::size_t size = 0;
  const auto spoken = Clock::now() + 20s;
  while (Clock::now() < spoken) {
    std::error_code ignored;
    size = fs::exists(wav) ? fs::file_size(wav, ignored) : 0;
    if (size > 20000) break;
    std::this_thread::sleep_for(100ms);
  }
  // "dwadzieścia minut i ... sekund po dziesiątej" lasts well over a second:
  // more than 20000 bytes of 8-bit sound at 22050 samples a second.
  EXPECT_GT(size, 20000u);
  EXPECT_EQ(End(), 0);
  EXPECT_TRUE(world_.MessageTexts().empty());
}

// "Pomo&c..." where an xdg-open exists but fails (as it does with no browser
// to hand the page to: exit status 3): a box with the page's path, so that
// the user can open it another way; horalo goes on.
TEST_F(HoraloProcess, HelpWithAnXdgOpenThatFailsIsSaidWithThePagesPath) {
  world_.Set("VOKAR_DATA_DIR", (world_.folder() / "data").string());
  fs::create_directories(world_.folder() / "data" / "help");
  const fs::path page = Write("data/help/horalo.html", "<html></html>");
  const fs::path asked = world_.folder() / "xdg-open.args";
  const fs::path launcher = Write("bin/xdg-open", "#!/bin/sh\necho \"$@\" > '" + asked.string() + "'\nexit 3\n");
  fs::permissions(launcher, fs::perms::owner_all);
  Start("2026-12-08 10:20:05");
  ASSERT_TRUE(Post(kHelp));
  const auto deadline = Clock::now() + 10s;
  while (world_.MessageTexts().empty() && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
  ASSERT_EQ(world_.Messages().size(), 1u);
  EXPECT_EQ(world_.Messages()[0].caption, "Horalo");
  EXPECT_EQ(world_.Messages()[0].text,
            "Nie można otworzyć pomocy: na tym komputerze nie ma przeglądarki stron WWW, która by ją wyświetliła.\n"
            "Stronę pomocy można otworzyć samodzielnie:\n" + page.string());
  EXPECT_EQ(ReadAll(asked), page.string() + "\n") << "xdg-open was not given the page";
  EXPECT_EQ(End(), 0);
}

// The tests that press keys run on a private X server.
class HoraloOnX : public HoraloProcess {
 protected:
  void SetUp() override {
    HoraloProcess::SetUp();
    // Xvfb, openbox and xdotool come from the system.
    world_.Set("PATH", "/usr/bin:/bin");
    session_ = std::make_unique<vokar::testing::XSession>(true);
    ASSERT_TRUE(session_->ok()) << "Xvfb or openbox did not start";
    world_.Set("DISPLAY", session_->display());
    world_.Set("QT_QPA_PLATFORM", "xcb");
    world_.Set("XDG_RUNTIME_DIR", world_.folder().string());
  }
  void TearDown() override {
    HoraloProcess::TearDown();
    session_.reset();
  }

  // The X window id of the shown window of that title, as xdotool gives it;
  // empty when none is shown within twenty seconds.
  std::string WindowId(const std::string& title) {
    std::string id;
    const auto deadline = Clock::now() + 20s;
    while (id.empty() && Clock::now() < deadline) {
      const std::string out = (world_.folder() / "window.txt").string();
      const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      vokar::testing::SpawnedProgram search({"xdotool", "search", "--onlyvisible", "--name", title}, fd);
      search.Wait();
      ::close(fd);
      std::ifstream in(out);
      std::getline(in, id);
      if (id.empty()) std::this_thread::sleep_for(100ms);
    }
    return id;
  }
  // Keys pressed in the window, made active first.
  static int Keys(const std::string& id, const std::vector<std::string>& keys) {
    if (vokar::testing::RunProgram({"xdotool", "windowactivate", "--sync", id}) != 0) return -1;
    std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return vokar::testing::RunProgram(argv);
  }

  // horalo started at 10:20:05 and, once it has made its conversation with
  // the server (as a user comes to it: its start is not what these tests are
  // about), its reminder dialog opened from the "Komunikaty" page with the
  // text typed; the dialog's window id.
  void StartAndTypeANewReminder(const std::string& text, std::string& dialog) {
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 300 --log-initiate");
    Start("2026-12-08 10:20:05");
    ASSERT_TRUE(WaitForConversation()) << ReadAll(serverLog_);
    const std::string id = WindowId("^Horalo$");
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(Keys(id, {"ctrl+Tab", "alt+a"}), 0);
    dialog = WindowId("^Edycja komunikatu$");
    ASSERT_FALSE(dialog.empty()) << "the reminder dialog is not on the screen";
    EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "type", "--delay", "40", text}), 0);
  }

  std::unique_ptr<vokar::testing::XSession> session_;
};

TEST_F(HoraloOnX, HotKeysReadTheHourAndTheDateAndEverySettingIsStoredAtTheEnd) {
  ASSERT_TRUE(Store().WriteString("HotKeys", "ReadHour", "CS116").ok());
  // Ctrl+Alt+A; Alt alone with a letter can never be a hot key.
  ASSERT_TRUE(Store().WriteString("HotKeys", "ReadDate", "CA65").ok());
  ASSERT_TRUE(Store().WriteString("HotKeys", "ReadAdvice", "A65").ok());
  ASSERT_TRUE(Store().WriteString("Clock", "AddSeconds", "No").ok());
  Start("2026-12-08 10:20:05");
  ASSERT_TRUE(WaitLog([](const std::vector<Seen>& lines) { return !lines.empty(); }, 15s));
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "key", "ctrl+shift+F5"}), 0);
  // The server is handed code page 1250, as its log keeps it.
  const std::string hour = "poke " + cp1250::FromUtf8("dwadzieścia minut po dziesiątej ") + kReset;
  ASSERT_TRUE(WaitFor(hour, 10s)) << ReadAll(serverLog_);
  EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "key", "ctrl+alt+a"}), 0);
  const std::string date =
      "poke " + cp1250::FromUtf8("wtorek ósmy grudnia dwa tysiące dwudziestego szóstego roku") + kReset;
  ASSERT_TRUE(WaitFor(date, 10s)) << ReadAll(serverLog_);
  // Read on demand: a reading that runs is broken first.
  EXPECT_EQ(Count(seen_, "execute break"), 2);
  EXPECT_EQ(End(), 0);

  const struct {
    const char* section;
    const char* name;
    const char* value;  // nullptr: a number
  } stored[] = {
      {"Clock", "InitSound", "Yes"},       {"Clock", "InitSoundName", ""},      {"Clock", "Prefix", ""},
      {"Clock", "InitSoundForHours", "Yes"}, {"Clock", "24_Hours", "Yes"},    {"Clock", "Colloquial", "Yes"},
      {"Clock", "WithoutMinutes", "Yes"},  {"Clock", "AddSeconds", "No"},       {"Clock", "Frequency", nullptr},
      {"Events", "InitSound", "Yes"},      {"Events", "InitSoundName", ""},     {"Events", "Prefix", ""},
      {"Events", "DocumentName", ""},      {"Advice", "InitSound", "Yes"},      {"Advice", "InitSoundName", ""},
      {"Advice", "Prefix", ""},            {"Advice", "Frequency", nullptr},    {"Advice", "Mode", nullptr},
      {"Advice", "DocumentName", ""},      {"HotKeys", "ReadHour", "CS116"},    {"HotKeys", "ReadDate", "CA65"},
      {"HotKeys", "ReadAdvice", ""},
  };
  for (const auto& value : stored) {
    EXPECT_TRUE(Store().Has(value.section, value.name)) << value.section << "\\" << value.name;
    if (value.value != nullptr) {
      EXPECT_EQ(Store().GetString(value.section, value.name, "?"), value.value) << value.section << "\\" << value.name;
    }
  }
  EXPECT_EQ(Store().GetInt("Clock", "Frequency", -1), 0);
  EXPECT_EQ(Store().GetInt("Advice", "Mode", -1), 0);
}

TEST_F(HoraloOnX, AVeryImportantEventMissedWhileOffSoundsEveryMinuteUntilConfirmed) {
  // A hand-written file: a very important daily event at 09:00 ("Leki"),
  // never confirmed. The clock starts at 10:00:40, ten times as fast.
  const std::string kClass = "FFFF 0100 0A00 4556454E545F44534352";
  const std::string before = Hex("0000 0100" + kClass + "0100 EA07 0B00 0000 0700 0900 0000 0100");
  const std::string after = Hex("0400 4C656B69 0000 0000 0000 0000");
  const fs::path file = Write("terminarz.evt", before + Hex("00000000") + after);
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  ASSERT_TRUE(Store().WriteString("Events", "InitSoundName", "dzwonek.wav").ok());
  Start("2026-12-08 10:00:40", 10);
  const std::string sound = "poke \\\\Wav=\"dzwonek.wav\"\\\\" + kReset;
  // At the start, at 10:01 and at 10:02.
  ASSERT_TRUE(WaitFor(sound, 40s, 3)) << ReadAll(serverLog_);
  EXPECT_GE(Find(sound, 3)->seconds - Find(sound, 1)->seconds, 6.0);

  // "Potwierdź" is the dialog's default button.
  const std::string id = WindowId("Ważne komunikaty");
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "windowactivate", "--sync", id}), 0);
  EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "key", "--window", id, "Return"}), 0);
  // The confirmation is in the file at once; every other byte is as it was.
  std::string bytes;
  const auto deadline = Clock::now() + 10s;
  while ((bytes = ReadAll(file)) == before + Hex("00000000") + after && Clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_EQ(bytes.size(), before.size() + 4 + after.size());
  EXPECT_EQ(bytes.substr(0, before.size()), before);
  EXPECT_EQ(bytes.substr(before.size() + 4), after);
  const auto* c = reinterpret_cast<const unsigned char*>(bytes.data() + before.size());
  const std::uint32_t confirmed = c[0] | (c[1] << 8) | (c[2] << 16) | (static_cast<std::uint32_t>(c[3]) << 24);
  // 2026-12-08 10:02 to 10:10 UTC.
  EXPECT_GE(confirmed, 1796724120u);
  EXPECT_LE(confirmed, 1796724600u);
  // Two more minutes of the fast clock: no more sound.
  const int sounds = Count(seen_, sound);
  WaitLog([](const std::vector<Seen>&) { return false; }, 13s);
  EXPECT_EQ(Count(seen_, sound), sounds);
  EXPECT_EQ(End(), 0);
}

// What a user does: on the events page, "Dod&aj", a daily reminder two
// minutes ahead typed into the dialog, OK; the reminder is spoken once when
// its minute comes, and the events file holds it after the end.
TEST_F(HoraloOnX, AReminderTypedIntoTheDialogIsSpokenAtItsMinuteAndKept) {
  const fs::path file = world_.folder() / "terminarz.evt";
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  // Five times as fast.
  constexpr int kRate = 5;
  constexpr double kStart = 10 * 3600 + 20 * 60 + 5;
  Start("2026-12-08 10:20:05", kRate);
  const std::string id = WindowId("^Horalo$");
  ASSERT_FALSE(id.empty());
  // The missing file was made with six empty lists.
  EXPECT_EQ(ReadAll(file), std::string(12, '\0'));
  // The second page, then its add button.
  EXPECT_EQ(Keys(id, {"ctrl+Tab", "alt+a"}), 0);
  const std::string dialog = WindowId("^Edycja komunikatu$");
  ASSERT_FALSE(dialog.empty());
  // Two minutes ahead of the clock as horalo sees it now (a loaded machine
  // may have taken a while to get here).
  const int due = static_cast<int>((kStart + kRate * Elapsed()) / 60) + 2;
  const std::string hour = std::to_string(due / 60), minute = std::to_string(due % 60);
  // The text has the focus; then the kind (one down: "raz na dzień"), the hour and the minute.
  EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "type", "--delay", "40", "Czas na herbate"}), 0);
  std::vector<std::string> keys{"alt+z", "Down", "alt+o", "ctrl+a"};
  for (const char digit : hour) keys.push_back(std::string(1, digit));
  keys.insert(keys.end(), {"alt+n", "ctrl+a"});
  for (const char digit : minute) keys.push_back(std::string(1, digit));
  keys.push_back("Return");
  EXPECT_EQ(Keys(dialog, keys), 0);
  const std::string spoken = "poke Czas na herbate" + kReset;
  ASSERT_TRUE(WaitFor(spoken, 60s)) << ReadAll(serverLog_) << ReadAll(world_.folder() / "horalo.out");
  // In seconds 16 to 30 of that minute of the fast clock (a second either side).
  const double at = kStart + kRate * Find(spoken)->seconds;
  EXPECT_GE(at, due * 60 + 15.0);
  EXPECT_LE(at, due * 60 + 31.0 + kRate);
  // Once: nothing more in the rest of the minute and the next one.
  WaitLog([](const std::vector<Seen>&) { return false; }, 14s);
  EXPECT_EQ(Pokes(), std::vector<std::string>{"Czas na herbate" + kReset});
  EXPECT_TRUE(world_.MessageTexts().empty());
  EXPECT_EQ(End(), 0);

  clock::EventArrays arrays;
  clock::EventsReadError error;
  ASSERT_TRUE(clock::ParseEventsStream(ReadAll(file), arrays, error)) << error.what;
  for (int kind = 0; kind < clock::kRepeatKinds; ++kind) EXPECT_EQ(arrays[kind].size(), kind == 1 ? 1u : 0u) << kind;
  ASSERT_EQ(arrays[1].size(), 1u);
  const clock::EVENT_DSCR& event = arrays[1].front();
  EXPECT_EQ(event.kind, clock::RepeatKind::Daily);
  EXPECT_EQ(event.time.hour, due / 60);
  EXPECT_EQ(event.time.minute, due % 60);
  EXPECT_EQ(event.text, "Czas na herbate");
  EXPECT_FALSE(event.important);
}

// The reminder dialog on the screen, half filled in, and SIGTERM: horalo ends
// as "Koniec" would, every setting written and the events file kept as it
// was (the unfinished reminder is not added); nothing of it stays on the
// screen or on the desktop.
TEST_F(HoraloOnX, TermSignalWithTheReminderDialogOpenEndsItWithItsSettings) {
  const fs::path file = world_.folder() / "terminarz.evt";
  ASSERT_TRUE(Store().WriteString("Events", "DocumentName", file.string()).ok());
  ASSERT_TRUE(Store().WriteString("HotKeys", "ReadHour", "CS116").ok());
  std::string dialog;
  ASSERT_NO_FATAL_FAILURE(StartAndTypeANewReminder("Niedokonczone", dialog));
  // Only the two frequencies were stored before the start.
  ASSERT_FALSE(Store().Has("Clock", "InitSound"));
  EXPECT_EQ(Terminate(), 0) << "horalo stayed while its dialog was open";
  EXPECT_FALSE(desktop::FindWindow("Horalo"));
  EXPECT_EQ(vokar::testing::RunProgram({"xdotool", "search", "--onlyvisible", "--name", "^Edycja komunikatu$"}), 1)
      << "the dialog is still on the screen";
  for (const auto& [section, name] : std::vector<std::pair<const char*, const char*>>{
           {"Clock", "InitSound"}, {"Clock", "24_Hours"}, {"Events", "Prefix"}, {"Advice", "Mode"}, {"HotKeys", "ReadDate"}})
    EXPECT_TRUE(Store().Has(section, name)) << section << "\\" << name << " was not written";
  EXPECT_EQ(Store().GetString("Events", "DocumentName", "?"), file.string());
  EXPECT_EQ(Store().GetString("HotKeys", "ReadHour", "?"), "CS116");
  EXPECT_EQ(ReadAll(file), std::string(12, '\0')) << "six empty lists, and nothing of the unfinished reminder";
  EXPECT_TRUE(world_.MessageTexts().empty());
}

// Reminders typed in but never given a file, and SIGTERM (the end of the
// session): nobody is there to choose a file, so they are kept in the
// documents folder under a name of their own, never over a file of the
// user's, and that file is the page's at the next start.
TEST_F(HoraloOnX, RemindersWithoutAFileAreKeptInTheDocumentsFolderWhenTheSessionEnds) {
  const fs::path home = world_.folder() / "home";
  const fs::path documents = home / "Dokumenty";
  fs::create_directories(documents);
  fs::create_directories(home / ".config");
  ASSERT_TRUE(std::ofstream(home / ".config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  const fs::path users = documents / "Horalo - komunikaty.evt";
  ASSERT_TRUE(std::ofstream(users, std::ios::binary) << "moje notatki");
  std::string dialog;
  ASSERT_NO_FATAL_FAILURE(StartAndTypeANewReminder("Kupic chleb", dialog));
  EXPECT_EQ(Keys(dialog, {"Return"}), 0);
  const auto deadline = Clock::now() + 10s;
  while (Clock::now() < deadline &&
         vokar::testing::RunProgram({"xdotool", "search", "--onlyvisible", "--name", "^Edycja komunikatu$"}) == 0) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(Terminate(), 0);

  EXPECT_EQ(ReadAll(users), "moje notatki") << "the user's file was written over";
  const fs::path kept = documents / "Horalo - komunikaty (2).evt";
  ASSERT_TRUE(fs::is_regular_file(kept)) << ReadAll(world_.folder() / "horalo.out");
  EXPECT_EQ(Store().GetString("Events", "DocumentName", "?"), kept.string());
  clock::EventArrays arrays;
  clock::EventsReadError error;
  ASSERT_TRUE(clock::ParseEventsStream(ReadAll(kept), arrays, error)) << error.what;
  std::vector<std::string> texts;
  for (int kind = 0; kind < clock::kRepeatKinds; ++kind)
    for (const auto& event : arrays[kind]) texts.push_back(event.text);
  EXPECT_EQ(texts, std::vector<std::string>{"Kupic chleb"});
  EXPECT_TRUE(world_.MessageTexts().empty());
}

}  // namespace
