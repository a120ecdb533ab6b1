// The real sievo with its dialog, on a private desktop and store, its buttons
// pressed from this process as another program may press them: SIGTERM with
// a message box or the about box open (seen on the screen of a private X
// session) ends it as "&Koniec" does, its settings written; "Pomo&c..."
// without a browser says so with the page's path.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "ClientTestSupport.h"
#include "Desktop.h"
#include "NetTestSupport.h"
#include "Registry.h"
#include "XSession.h"

// Xlib's macro would rename the DDE client's Status().
#undef Status

namespace {

using namespace vokar;
using vokar::testing::ChildProcess;
using vokar::testing::ClientWorld;
using namespace std::chrono_literals;

// The dialog's buttons.
constexpr std::uint64_t kSend = 1000;
constexpr std::uint64_t kInfo = 1003;
constexpr std::uint64_t kHelp = 1004;

class SievoWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("QT_QPA_PLATFORM", platform_);
    // Every box is shown and stays up until the program ends.
    world_.Set("VOKAR_MSGBOX_ANSWER", "show,show,show");
    sievo_ = std::make_unique<ChildProcess>(SIEVO, std::vector<std::string>{});
    window_ = vokar::testing::WaitForWindow("Sievo", 20s);
    ASSERT_TRUE(window_);
  }

  void Press(std::uint64_t button) {
    ASSERT_TRUE(desktop::PostMessage(window_, desktop::WM_COMMAND, button, 0));
  }

  // Waits until the log holds a message whose box is really up.
  bool WaitForShownBox() {
    return vokar::testing::WaitFor(
        [&] {
          for (const auto& message : world_.Messages())
            if (message.answer == "show") return true;
          return false;
        },
        10s);
  }

  std::string Setting(std::string_view name) {
    auto key = registry::Key::Open(registry::Root::CurrentUser, "Software\\Quillmark\\Sievo\\Global");
    if (!key) return "<no key>";
    const auto value = key->Query(name);
    if (!value) return "<none>";
    const auto* text = std::get_if<std::string>(&*value);
    return text != nullptr ? *text : "<number>";
  }

  // Ends the program as the session does; its exit status, -1 when it did
  // not end in time.
  int Terminate() { return sievo_->StopWithin(SIGTERM, 10s); }

  ClientWorld world_;
  std::string platform_ = "offscreen";
  std::unique_ptr<ChildProcess> sievo_;
  desktop::WindowHandle window_;
};

// The same on a private X session (Xvfb with openbox), where the test sees
// what is on the screen.
class SievoWindowOnX : public SievoWindow {
 protected:
  void SetUp() override {
    // Xvfb, openbox and xdotool come from the system.
    world_.Set("PATH", "/usr/bin:/bin");
    session_ = std::make_unique<vokar::testing::XSession>(true);
    ASSERT_TRUE(session_->ok()) << "Xvfb or openbox did not start";
    world_.Set("DISPLAY", session_->display());
    platform_ = "xcb";
    SievoWindow::SetUp();
  }
  void TearDown() override {
    sievo_.reset();
    session_.reset();
  }

  // Whether a window of that title is shown, within ten seconds.
  bool Shown(const std::string& title) {
    return vokar::testing::WaitFor([&] { return !ShownNow(title).empty(); }, 10s);
  }
  // The X window id of the shown window of that title, or nothing.
  std::string ShownNow(const std::string& title) {
    const std::string out = (world_.folder() / "window.txt").string();
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return {};
    {
      vokar::testing::SpawnedProgram search({"xdotool", "search", "--onlyvisible", "--name", title}, fd);
      search.Wait();
    }
    ::close(fd);
    std::string id;
    std::ifstream in(out);
    std::getline(in, id);
    return id;
  }

  std::unique_ptr<vokar::testing::XSession> session_;
};

TEST_F(SievoWindow, TermSignalWithAMessageBoxOpenEndsTheProgramWithItsSettings) {
  // No computer named: the box that asks for one.
  Press(kSend);
  ASSERT_TRUE(WaitForShownBox());
  EXPECT_EQ(world_.Messages().front().text.rfind("Aby wysłać  komunikat", 0), 0u);
  const int status = Terminate();
  ASSERT_NE(status, -1) << "sievo stayed while its box was open";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Setting("FromClipboard"), "Yes");
  EXPECT_EQ(Setting("ComputerName"), "");
  EXPECT_FALSE(desktop::FindWindow("Sievo"));
}

TEST_F(SievoWindowOnX, TermSignalWithTheAboutBoxOpenEndsTheProgramWithItsSettings) {
  Press(kInfo);
  ASSERT_TRUE(Shown("^Informacja o Sievo$")) << "the about box is not on the screen";
  // A box over the about box.
  Press(kSend);
  ASSERT_TRUE(WaitForShownBox());
  EXPECT_FALSE(ShownNow("^Informacja o Sievo$").empty()) << "the box closed the about box";
  const int status = Terminate();
  ASSERT_NE(status, -1) << "sievo stayed while its about box was open";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Setting("FromClipboard"), "Yes");
  EXPECT_EQ(Setting("ComputerName"), "");
  EXPECT_TRUE(ShownNow("^Informacja o Sievo$").empty());
  EXPECT_FALSE(desktop::FindWindow("Sievo"));
}

TEST_F(SievoWindow, HelpWithoutABrowserSaysSoWithThePagesPath) {
  // The test's PATH holds no xdg-open, and the offscreen desktop opens nothing.
  Press(kHelp);
  ASSERT_TRUE(vokar::testing::WaitFor([&] { return !world_.Messages().empty(); }, 10s));
  const auto message = world_.Messages().front();
  EXPECT_EQ(message.caption, "Sievo");
  EXPECT_EQ(message.text.rfind("Nie można otworzyć pomocy", 0), 0u) << message.text;
  EXPECT_TRUE(message.text.ends_with("/help/sievo.html")) << message.text;
  EXPECT_EQ(Terminate(), 0);
}

}  // namespace
