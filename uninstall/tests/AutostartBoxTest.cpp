// The start-at-login check box in the speech server's window, with the real
// server of a staged installation on a real X display (Xvfb with openbox),
// worked with the keyboard as a user would (its mnemonic, Alt+U): off on the
// first start, ticking it writes the three start-up entries into the user's
// autostart folder, unticking takes them away again, and a start-up entry of
// the user's own stays through both. Then the same first start, the start at
// login by `vkinstall --autostart` and the uninstaller leave the home as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Staging.h"
#include "SuiteSandbox.h"

// X11's headers define macros (None, Status) that other headers trip over: last.
#include "OnScreen.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::test;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using vokar::testing::Shown;
using vokar::testing::WaitUntil;
using vokar::testing::Xdotool;

// Whether a process of this user runs that program.
bool Runs(const fs::path& program) {
  std::error_code code;
  for (const auto& entry : fs::directory_iterator("/proc", code)) {
    std::error_code gone;
    if (fs::read_symlink(entry.path() / "exe", gone) == program) return true;
  }
  return false;
}

// The names in the autostart folder.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class AutostartBox : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "Xvfb or openbox did not start";
    bin_ = StageInstallation(user_);
    // The user's own start-up entry, and their list of default applications.
    user_.folder().Write("home/.config/autostart/moj-zegar.desktop", kOwnEntry);
    user_.folder().Write("home/.config/mimeapps.list", "[Default Applications]\ntext/plain=moj-edytor.desktop;\n");
    before_ = Tree(user_.home());
    user_.Set("DISPLAY", x_.display());
    user_.Set("QT_QPA_PLATFORM", "");
    user_.Set("VOKAR_WAVEOUT", "null");
    user_.Set("VOKAR_DATA_DIR", (fs::path(VOKAR_SHARE_DIR) / "vokar").string());
  }

  // The first start of the server; true once its window is shown and the
  // registration it started has finished.
  bool StartServer() {
    server_ = user_.Start(bin_ / "vokar", {"/L-"}, "vokar");
    const std::string appPath = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe";
    const bool registered = WaitUntil([&] { return user_.Run(VOKAR_VKREG, {"get", appPath, "@"}).out ==
                                                   (bin_ / "vokar").string() + "\n"; }, 30s);
    const bool installerDone = WaitUntil([&] { return !Runs(bin_ / "vkinstall"); }, 30s);
    const bool shown = WaitUntil([] { return Shown("^Vokar$"); }, 30s);
    return registered && installerDone && shown;
  }

  // Alt+U in the server's window, then waits until the installer it starts has ended.
  void PressTheBox() {
    Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Vokar$", "windowactivate", "--sync"});
    std::this_thread::sleep_for(300ms);
    Xdotool({"key", "--clearmodifiers", "alt+u"});
  }

  static constexpr const char* kOwnEntry =
      "[Desktop Entry]\nType=Application\nName=Mój zegar\nExec=/usr/local/bin/zegar\n";

  vokar::testing::XSession x_{true};
  UserSandbox user_{"autostart-box"};
  fs::path bin_;
  std::vector<std::string> before_;
  std::unique_ptr<Process> server_;
};

TEST_F(AutostartBox, OffOnTheFirstStartOnWritesTheThreeEntriesOffTakesThemAway) {
  ASSERT_TRUE(StartServer()) << ReadAll(user_ / "vokar.err");
  // The first start registered the suite and wrote no start-up entry.
  EXPECT_THAT(Names(user_.autostart()), ElementsAre("moj-zegar.desktop"));

  // Ticked: the three entries of the suite, each starting the installed program.
  PressTheBox();
  EXPECT_TRUE(WaitUntil([&] { return Names(user_.autostart()).size() == 4; }, 30s)) << ReadAll(user_ / "vokar.err");
  EXPECT_THAT(Names(user_.autostart()),
              ElementsAre("Horalo.desktop", "Radko.desktop", "Vokar.desktop", "moj-zegar.desktop"));
  for (const char* program : {"horalo", "radko", "vokar"}) {
    const std::string title = std::string(1, static_cast<char>(program[0] - 'a' + 'A')) + (program + 1);
    EXPECT_THAT(ReadAll(user_.autostart() / (title + ".desktop")),
                ::testing::HasSubstr("\nExec=" + (bin_ / program).string()))
        << title;
  }

  // Unticked: the suite's entries go, the user's stays as it was.
  PressTheBox();
  EXPECT_TRUE(WaitUntil([&] { return Names(user_.autostart()).size() == 1; }, 30s)) << ReadAll(user_ / "vokar.err");
  EXPECT_THAT(Names(user_.autostart()), ElementsAre("moj-zegar.desktop"));
  EXPECT_EQ(ReadAll(user_.autostart() / "moj-zegar.desktop"), kOwnEntry);
  // No box said that something failed.
  EXPECT_THAT(user_.Messages(), IsEmpty());
  server_->Terminate();

  // Started at login by the installer itself, then removed: the home is as it was.
  ASSERT_EQ(user_.Run(bin_ / "vkinstall", {"--autostart"}).exitCode, 0);
  EXPECT_EQ(Names(user_.autostart()).size(), 4u);
  user_.Set("VOKAR_MSGBOX_ANSWER", "yes");
  const RunResult removed = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_EQ(Tree(user_.home()), before_);
  EXPECT_EQ(ReadAll(user_.autostart() / "moj-zegar.desktop"), kOwnEntry);
}

// The user's own Radko.desktop, in the place of the suite's: ticking writes
// the other two and leaves the user's file alone, saying that Radko's could
// not be set; unticking takes the suite's two away and the user's stays.
TEST_F(AutostartBox, TheUsersOwnEntryOfTheSameNameStaysThroughBoth) {
  const std::string mine = "[Desktop Entry]\nType=Application\nName=Mój Radko\nExec=/usr/local/bin/radko --cicho\n";
  user_.folder().Write("home/.config/autostart/Radko.desktop", mine);
  ASSERT_TRUE(StartServer()) << ReadAll(user_ / "vokar.err");
  EXPECT_THAT(Names(user_.autostart()), ElementsAre("Radko.desktop", "moj-zegar.desktop"));

  PressTheBox();
  EXPECT_TRUE(WaitUntil([&] { return Names(user_.autostart()).size() == 4; }, 30s)) << ReadAll(user_ / "vokar.err");
  EXPECT_THAT(Names(user_.autostart()),
              ElementsAre("Horalo.desktop", "Radko.desktop", "Vokar.desktop", "moj-zegar.desktop"));
  EXPECT_EQ(ReadAll(user_.autostart() / "Radko.desktop"), mine);
  EXPECT_TRUE(WaitUntil([&] { return user_.Messages().size() == 1; }, 10s));
  EXPECT_THAT(user_.Messages(),
              ElementsAre("caption=Vokar\ticon=warning\tbuttons=ok\tanswer=ok\ttext=Nie udało się ustawić "
                          "uruchamiania programów po zalogowaniu."));

  PressTheBox();
  EXPECT_TRUE(WaitUntil([&] { return Names(user_.autostart()).size() == 2; }, 30s)) << ReadAll(user_ / "vokar.err");
  EXPECT_THAT(Names(user_.autostart()), ElementsAre("Radko.desktop", "moj-zegar.desktop"));
  EXPECT_EQ(ReadAll(user_.autostart() / "Radko.desktop"), mine);
  EXPECT_EQ(ReadAll(user_.autostart() / "moj-zegar.desktop"), kOwnEntry);
  EXPECT_EQ(user_.Messages().size(), 1u);
  server_->Terminate();
}

}  // namespace
