// The watcher on a real X server: keys typed with xdotool and XTest reach the
// window "Klavo" of this process as WM_KEY_EVENT through the desktop bus,
// with the layout and the lock state the display has at that moment; nothing
// is posted while the watcher is off or stopped, and nothing ever goes to a
// window of another process.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Desktop.h"
#include "KeyTrap.h"
#include "TestFolder.h"
#include "TestSupport.h"
#include "support/XSession.h"
#include "support/XTestKeys.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using vokar::keytrap::WM_KEY_EVENT;
using vokar::testing::RunProgram;
using vokar::testing::XSession;
using vokar::testing::XTestKeys;

constexpr std::uint32_t kCtrl = 2, kAlt = 4, kVirtual = 8;

struct Event {
  std::uint64_t key;
  std::int64_t flags;
  friend bool operator==(const Event&, const Event&) = default;
};

std::ostream& operator<<(std::ostream& out, const Event& event) {
  return out << "{" << event.key << "," << event.flags << "}";
}

// A window "Klavo" in a process of its own: the test program started again
// as that helper. It writes one line per key event it receives into the file
// named by KEYTRAP_HELPER_LOG and ends on SIGTERM.
bool RunAsForeignWindow() {
  const char* log = std::getenv("KEYTRAP_HELPER_LOG");
  if (log == nullptr) return false;
  auto created = vokar::desktop::Window::Create("Klavo", [log](vokar::desktop::Message& message) -> std::int64_t {
    if (message.message == WM_KEY_EVENT) std::ofstream(log, std::ios::app) << message.wParam << "\n";
    return 0;
  });
  if (!created.window) return true;
  std::ofstream(std::string(log) + ".ready") << "ready\n";
  for (;;) vokar::desktop::PumpMessages(1000ms);
}

class KeyTrapTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    session_ = new XSession();
    ASSERT_TRUE(session_->ok());
    ASSERT_EQ(RunProgram({"setxkbmap", "pl"}), 0);
  }
  static void TearDownTestSuite() {
    delete session_;
    session_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(session_, nullptr);
    ASSERT_TRUE(session_->ok());
    ASSERT_TRUE(keys_.ok()) << "the test's own connection to the display";
    ASSERT_EQ(RunProgram({"setxkbmap", "pl"}), 0);
    keys_.SetCapsLock(false);
    keys_.SetNumLock(false);
  }
  void TearDown() override {
    KeyTrapStop();
    window_.reset();
  }

  void OpenWindow() {
    auto created = vokar::desktop::Window::Create("Klavo", [this](vokar::desktop::Message& message) -> std::int64_t {
      if (message.message == WM_KEY_EVENT) events_.push_back({message.wParam, message.lParam});
      return 0;
    });
    ASSERT_TRUE(created.window) << created.error;
    window_ = std::move(created.window);
  }

  // Runs the loop until count events came, or for the settle time when none
  // should come.
  std::vector<Event> Collect(std::size_t count, std::chrono::milliseconds settle = 300ms) {
    vokar::desktop::RunUntil([&] { return events_.size() >= count; }, 5000ms);
    vokar::desktop::RunUntil([] { return false; }, settle);
    auto events = std::move(events_);
    events_.clear();
    return events;
  }

  void Type(const std::string& text) { ASSERT_EQ(RunProgram({"xdotool", "type", "--delay", "20", text}), 0); }
  void Key(const std::string& combination) { ASSERT_EQ(RunProgram({"xdotool", "key", combination}), 0); }

  static XSession* session_;
  vokar::test::TestFolder folder_{"keytrap"};
  vokar::testing::PrivateDesktop desktop_;
  XTestKeys keys_;
  std::unique_ptr<vokar::desktop::Window> window_;
  std::vector<Event> events_;
};

XSession* KeyTrapTest::session_ = nullptr;

TEST_F(KeyTrapTest, TypedTextArrivesAsCharactersAndKeys) {
  OpenWindow();
  EXPECT_EQ(KeyTrapWatching(), KEYTRAP_NONE) << "not started yet";
  KeyTrapSetMode(0);
  KeyTrapStart();
  EXPECT_EQ(KeyTrapWatching(), KEYTRAP_X_SESSION);
  KeyTrapOn();

  // Shift for the capital comes as a key of its own.
  Type("Ala, ");
  EXPECT_EQ(Collect(6), (std::vector<Event>{{16, kVirtual}, {'A', 0}, {'l', 0}, {'a', 0}, {',', 0}, {' ', 0}}));

  // AltGr gives the Polish letter with both flags.
  Key("ISO_Level3_Shift+a");
  EXPECT_EQ(Collect(2), (std::vector<Event>{{18, kVirtual}, {0xB9, kCtrl | kAlt}}));
  Key("ISO_Level3_Shift+shift+z");
  const auto capital = Collect(3);
  ASSERT_FALSE(capital.empty());
  EXPECT_EQ(capital.back(), (Event{0xAF, kCtrl | kAlt})) << "Ż";

  Key("ctrl+BackSpace");
  EXPECT_EQ(Collect(2), (std::vector<Event>{{17, kVirtual}, {8, kCtrl}}));
  Key("Return");
  Key("Left");
  Key("F5");
  EXPECT_EQ(Collect(3), (std::vector<Event>{{13, 0}, {37, kVirtual}, {116, kVirtual}}));
}

TEST_F(KeyTrapTest, LockStateAndLayoutAreTheDisplaysOfTheMoment) {
  OpenWindow();
  KeyTrapStart();
  KeyTrapOn();
  const KeyCode a = keys_.Keycode(XK_a);
  const KeyCode z = keys_.Keycode(XK_z);
  ASSERT_NE(a, 0);
  ASSERT_NE(z, 0);

  keys_.SetCapsLock(true);
  keys_.Chord({a});
  keys_.SetCapsLock(false);
  keys_.Chord({a});
  EXPECT_EQ(Collect(4), (std::vector<Event>{{20, kVirtual}, {'A', 0}, {20, kVirtual}, {'a', 0}}));

  // The German layout swaps Y and Z: the same key is read by the new layout.
  ASSERT_EQ(RunProgram({"setxkbmap", "de"}), 0);
  keys_.Chord({z});
  EXPECT_EQ(Collect(1), (std::vector<Event>{{'y', 0}}));
  ASSERT_EQ(RunProgram({"setxkbmap", "pl"}), 0);
  keys_.Chord({z});
  EXPECT_EQ(Collect(1), (std::vector<Event>{{'z', 0}}));
}

TEST_F(KeyTrapTest, NothingWhileOffOrStopped) {
  OpenWindow();
  KeyTrapStart();
  KeyTrapOff();
  Type("tajne");
  EXPECT_EQ(Collect(0), std::vector<Event>{});

  KeyTrapOn();
  Type("x");
  EXPECT_EQ(Collect(1), (std::vector<Event>{{'x', 0}}));

  // A dead key pressed while off does not join the first letter after.
  KeyTrapOff();
  Key("ISO_Level3_Shift+semicolon");
  KeyTrapOn();
  Type("e");
  EXPECT_EQ(Collect(1), (std::vector<Event>{{'e', 0}}));
  Key("ISO_Level3_Shift+semicolon");
  Type("e");
  const auto accented = Collect(2);
  ASSERT_FALSE(accented.empty());
  EXPECT_EQ(accented.back(), (Event{0xE9, 0})) << "é";

  KeyTrapStop();
  EXPECT_EQ(KeyTrapWatching(), KEYTRAP_NONE);
  Type("koniec");
  EXPECT_EQ(Collect(0), std::vector<Event>{});
  KeyTrapOn();  // switching on without a start watches nothing
  Type("nic");
  EXPECT_EQ(Collect(0), std::vector<Event>{});
}

TEST_F(KeyTrapTest, KeysNeverGoToAnotherProcess) {
  // Another program's window takes the title "Klavo"; this program has none.
  const auto log = folder_ / "foreign.log";
  ::setenv("KEYTRAP_HELPER_LOG", log.c_str(), 1);
  std::string self = "/proc/self/exe";
  char* argv[] = {self.data(), nullptr};
  pid_t helper = -1;
  ASSERT_EQ(::posix_spawn(&helper, "/proc/self/exe", nullptr, nullptr, argv, environ), 0);
  ::unsetenv("KEYTRAP_HELPER_LOG");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!std::filesystem::exists(log.string() + ".ready") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(std::filesystem::exists(log.string() + ".ready"));

  KeyTrapStart();
  KeyTrapOn();
  Type("haslo");
  EXPECT_EQ(Collect(0), std::vector<Event>{});
  // Once this program has its window, the keys come here.
  OpenWindow();
  Type("ok");
  EXPECT_EQ(Collect(2), (std::vector<Event>{{'o', 0}, {'k', 0}}));

  ::kill(helper, SIGTERM);
  ::waitpid(helper, nullptr, 0);
  EXPECT_FALSE(std::filesystem::exists(log)) << "the other program heard keys";
}

}  // namespace

// The helper role is chosen before GoogleTest starts.
int main(int argc, char** argv) {
  if (RunAsForeignWindow()) return 0;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
