// The real klavo's window on a private X server: keys typed into it are not
// spoken, Enter switches the keyboard off and Esc does not end it, the
// window manager's close does; the mode's hot key with its sound; clipboard
// text loaded by a hot key and read by sentence.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "KlavoWorld.h"

namespace {

using namespace vokar::keyboard::testing;

const auto* const kX = ::testing::AddGlobalTestEnvironment(new XEnvironment);

const std::string kPause = "\\Alf=(p010)\\";
const std::string kSpace = " \\Alf=(space)\\ ";

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
  return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

// klavo's visible window, or "".
std::string KlavoWindow() {
  std::string id;
  Eventually([&] {
    id = ToolOutput({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Klavo$"});
    return !id.empty();
  });
  return id.substr(0, id.find('\n'));
}

void Activate(const std::string& window) {
  ASSERT_FALSE(window.empty());
  ASSERT_EQ(RunTool({"/usr/bin/xdotool", "windowactivate", "--sync", window}), 0);
  // Qt tells klavo which window is active.
  std::this_thread::sleep_for(300ms);
}

TEST(KlavoWindow, KeysTypedIntoItAreNotSpokenAndEnterAndEscAndCloseDoWhatTheySay) {
  KlavoWorld k;
  k.UseTestServer(50);
  ASSERT_TRUE(k.StartKlavo());
  const std::string window = KlavoWindow();
  Activate(window);

  // Letters typed into klavo's own window never reach the buffer: the blank
  // typed in another program afterwards has no word before it.
  k.Type("kot");
  k.FocusOtherProgram();
  k.Type(" ");
  ASSERT_TRUE(k.WaitForAccepted(kSpace));
  EXPECT_FALSE(Contains(k.Pokes(), "kot"));

  // Esc leaves the window open; Enter presses "Wyłącz".
  Activate(window);
  k.Key("Escape");
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(k.klavo().Running());
  EXPECT_EQ(KlavoWindow(), window);
  k.Key("Return");
  ASSERT_TRUE(k.WaitForAccepted("\\Alf=(off1)\\" + kPause)) << "Enter switched the keyboard off";

  // The window manager's close (Alt+F4 in openbox) ends it, with the state
  // stored.
  k.Key("alt+F4");
  const int status = k.klavo().StopWithin(0, 10000ms);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(k.Stored("Global", "OnOff"), "No");
}

TEST(KlavoWindow, TheModesHotKeySoundsAndTheClipboardIsReadBySentence) {
  KlavoWorld k;
  k.UseTestServer(50);
  k.Store("HotKeys", "SwitchEcho", "CS69");    // Ctrl+Shift+E
  k.Store("HotKeys", "LoadBuffer", "CS66");    // Ctrl+Shift+B
  k.Store("HotKeys", "LastSentence", "CS76");  // Ctrl+Shift+L
  k.Store("HotKeys", "LastWord", "CS87");      // Ctrl+Shift+W
  ASSERT_TRUE(k.StartKlavo());
  k.FocusOtherProgram();

  k.Key("ctrl+shift+e");
  ASSERT_TRUE(k.WaitForAccepted("\\Alf=(on2)\\" + kPause)) << "echo mode";
  k.Type("x");
  ASSERT_TRUE(k.WaitForAccepted("\\Alf=(ii-k-s)\\" + kPause));
  k.Key("ctrl+shift+e");
  ASSERT_TRUE(k.WaitForAccepted("\\Alf=(off2)\\" + kPause)) << "whole words again";

  // Another program puts text on the clipboard; loaded, nothing of it is
  // read by itself, only on request.
  const fs::path text = k.world().folder() / "schowek.txt";
  std::ofstream(text) << "Ala ma kota. Kot ma psa\n";
  vokar::testing::SpawnedProgram owner({"/usr/bin/xclip", "-quiet", "-selection", "clipboard", "-i", text.string()});
  std::this_thread::sleep_for(500ms);
  const auto before = k.Pokes().size();
  k.Key("ctrl+shift+b");
  std::this_thread::sleep_for(1000ms);
  EXPECT_EQ(k.Pokes().size(), before) << "loading reads nothing";
  k.Key("ctrl+shift+l");
  // The sentence starts just after its full stop, with the blank.
  EXPECT_TRUE(k.WaitForAccepted(kSpace + "Kot" + kSpace + "ma" + kSpace + "psa")) << ::testing::PrintToString(k.Pokes());
  k.Key("ctrl+shift+w");
  EXPECT_TRUE(k.WaitForAccepted("psa"));
  // Backspace trims the loaded text and reads the word that now ends it.
  k.Key("BackSpace");
  EXPECT_TRUE(k.WaitForAccepted("ps"));

  EXPECT_EQ(k.StopKlavo(), 0);
  EXPECT_EQ(k.Stored("Global", "Echo"), "No");
  EXPECT_EQ(k.Stored("HotKeys", "LoadBuffer"), "CS66");
}

}  // namespace
