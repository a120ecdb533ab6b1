// The real klavo on a private X server with the Polish layout, typed at with
// xdotool into another program's window, speaking to the DDE test server that
// logs every request: whole words and their separators, AltGr letters in
// echo mode, a busy server, the on/off hot key and the silence while off, the
// start-up sound, the settings after the end, one program per desktop, and a
// server that goes away.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "KlavoWorld.h"

namespace {

using namespace vokar::keyboard::testing;

const auto* const kX = ::testing::AddGlobalTestEnvironment(new XEnvironment);

const std::string kPause = "\\Alf=(p010)\\";
const std::string kSpace = " \\Alf=(space)\\ ";
const std::string kOnSound = "\\Alf=(on1)\\" + kPause;
const std::string kOffSound = "\\Alf=(off1)\\" + kPause;

std::string Echoed(const std::vector<std::string>& allophones) {
  std::string text;
  for (const auto& a : allophones) text += "\\Alf=" + a + "\\" + kPause;
  return text;
}

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
  return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

TEST(KlavoProcess, WholeWordsAreSpokenAndTheSettingsStoredAtTheEnd) {
  KlavoWorld k;
  k.UseTestServer(100);
  ASSERT_TRUE(k.StartKlavo()) << "klavo connects and plays its start-up sound";
  EXPECT_EQ(k.Accepted().front(), kOnSound) << "the start-up sound comes first";
  k.FocusOtherProgram();

  // The comma ends the word without reading it; the blank reads the word
  // with its mark. (The 250 ms tick reads finished words too: a tick that
  // falls between the comma and the blank reads "Ala," by itself, so the two
  // keys go together and, should a tick still part them, once more.)
  k.Type("Ala, ", 0);
  if (!Eventually([&] { return k.CountAccepted("Ala," + kSpace) == 1; }, 3000ms) && k.CountAccepted("Ala,") == 1) {
    k.Type("Ala, ", 0);
  }
  ASSERT_TRUE(k.WaitForAccepted("Ala," + kSpace));
  EXPECT_EQ(k.Pokes().back(), "Ala," + kSpace) << "the comma alone read nothing";
  k.Type("ma kota");
  ASSERT_TRUE(k.WaitForAccepted("ma" + kSpace));
  // The unfinished word is read after the pause.
  EXPECT_TRUE(k.WaitForAccepted("kota", 5000ms));
  k.Key("BackSpace");
  EXPECT_TRUE(k.WaitForAccepted("kot"));

  EXPECT_EQ(k.StopKlavo(), 0);
  EXPECT_TRUE(k.world().Messages().empty());
  EXPECT_EQ(k.Stored("Global", "Echo"), "No");
  EXPECT_EQ(k.Stored("Global", "OnOff"), "Yes");
  EXPECT_EQ(k.StoredInt("Global", "DelayedTalk"), 1);
  EXPECT_EQ(k.StoredInt("Global", "DelayTime"), 2);
  EXPECT_EQ(k.StoredInt("Global", "CtrlBckMode"), 0);
  EXPECT_EQ(k.Stored("Global", "TaskBarIcon"), "Yes");
  EXPECT_EQ(k.Stored("Global", "HighPriority"), "No");
  EXPECT_TRUE(k.Stored("Global", "WorkDir").has_value());
  for (const char* sound : {"Separator", "CR", "ClearBuffer", "Desynchro", "OnOff", "Echo"}) {
    EXPECT_EQ(k.Stored("Sound", sound), "Yes") << sound;
  }
  for (const char* hotKey : {"StartStop", "SwitchEcho", "ClearBuffer", "LoadBuffer", "LastWord", "LastSentence"}) {
    EXPECT_EQ(k.Stored("HotKeys", hotKey), "") << hotKey;
  }
}

TEST(KlavoProcess, EchoModeSaysAltGrLettersByTheirAllophones) {
  KlavoWorld k;
  k.UseTestServer(100);
  k.Store("Global", "Echo", "Yes");
  k.Store("Global", "DelayTime", "x");  // unreadable: the default
  ASSERT_TRUE(k.StartKlavo());
  k.FocusOtherProgram();
  k.Key("ISO_Level3_Shift+a");
  EXPECT_TRUE(k.WaitForAccepted(Echoed({"(aan)"})));
  k.Key("ISO_Level3_Shift+shift+z");
  EXPECT_TRUE(k.WaitForAccepted(Echoed({"(rz-ee-t)"})));
  k.Type("?");
  EXPECT_TRUE(k.WaitForAccepted("pytajnik" + kPause));
  EXPECT_EQ(k.StopKlavo(), 0);
  EXPECT_EQ(k.Stored("Global", "Echo"), "Yes");
}

TEST(KlavoProcess, EightKeysWhileTheServerSpeaksGiveOneUtteranceOfTheLastSix) {
  KlavoWorld k;
  k.UseTestServer(3000);
  k.Store("Global", "Echo", "Yes");
  ASSERT_TRUE(k.StartKlavo());
  k.FocusOtherProgram();
  // The start-up sound's reading is over.
  std::this_thread::sleep_for(2200ms);
  const auto before = k.Accepted().size();

  // The first key starts a reading of 3 s; the next eight come while it
  // lasts and are refused as busy.
  k.Type("abcdefghi", 15);
  ASSERT_TRUE(Eventually([&] { return k.Accepted().size() >= before + 2; }, 15000ms));
  std::this_thread::sleep_for(700ms);
  const auto accepted = k.Accepted();
  ASSERT_EQ(accepted.size(), before + 2) << "one utterance for the key, one for the six after it";
  EXPECT_EQ(accepted[before], Echoed({"(a_)"}));
  EXPECT_EQ(accepted[before + 1], Echoed({"(d-e_)", "(e_)", "(ee-f)", "(gi-j-ie_)", "(h-a_)", "(i_)"}));
  EXPECT_GT(k.Pokes().size(), accepted.size()) << "the refused pokes were tried";
}

TEST(KlavoProcess, AnUnfinishedWordDueWhileTheServerReadsIsReadWhenItIsFree) {
  KlavoWorld k;
  k.UseTestServer(4000);
  ASSERT_TRUE(k.StartKlavo());
  k.FocusOtherProgram();
  // The start-up sound's reading is over.
  std::this_thread::sleep_for(4200ms);
  // "ala " starts a reading of four seconds; "kot" is due two seconds after
  // its last key, while that reading lasts.
  k.Type("ala kot", 20);
  ASSERT_TRUE(k.WaitForAccepted("ala" + kSpace));
  ASSERT_TRUE(k.WaitForAccepted("kot", 10000ms)) << "the word due while the server read was never read";
  const auto pokes = k.Pokes();
  EXPECT_GE(std::count(pokes.begin(), pokes.end(), std::string("kot")), 2) << "refused first, then taken";
  EXPECT_EQ(k.CountAccepted("kot"), 1);
  // Once taken, it is not read again in the same pause.
  std::this_thread::sleep_for(3000ms);
  EXPECT_EQ(k.CountAccepted("kot"), 1);
  EXPECT_EQ(k.StopKlavo(), 0);
}

TEST(KlavoProcess, StartStopHotKeySilencesTheKeyboardAndTheWatcher) {
  KlavoWorld k;
  k.UseTestServer(50);
  k.Store("HotKeys", "StartStop", "CS75");     // Ctrl+Shift+K
  k.Store("HotKeys", "LastSentence", "cs76");  // Ctrl+Shift+L
  ASSERT_TRUE(k.StartKlavo());
  k.FocusOtherProgram();

  k.Type("kot ");
  ASSERT_TRUE(k.WaitForAccepted("kot" + kSpace));
  k.Key("ctrl+shift+k");
  ASSERT_TRUE(k.WaitForAccepted(kOffSound));
  k.Type("pies ");
  std::this_thread::sleep_for(1500ms);
  EXPECT_FALSE(Contains(k.Pokes(), "pies")) << "nothing is spoken while off";
  k.Key("ctrl+shift+k");
  ASSERT_TRUE(Eventually([&] { return k.CountAccepted(kOnSound) == 2; }));
  k.Type("las ");
  ASSERT_TRUE(k.WaitForAccepted("las" + kSpace));
  // The last sentence shows what the watcher reported: nothing of "pies".
  k.Key("ctrl+shift+l");
  EXPECT_TRUE(k.WaitForAccepted("kot" + kSpace + "las" + kSpace));
  EXPECT_FALSE(Contains(k.Pokes(), "pies"));

  EXPECT_EQ(k.StopKlavo(), 0);
  EXPECT_EQ(k.Stored("HotKeys", "StartStop"), "CS75");
  EXPECT_EQ(k.Stored("HotKeys", "LastSentence"), "CS76");
  EXPECT_EQ(k.Stored("Global", "OnOff"), "Yes");
}

TEST(KlavoProcess, SwitchedOffAtTheEndStartsSwitchedOff) {
  KlavoWorld k;
  k.UseTestServer(50);
  k.Store("Global", "OnOff", "No");
  k.Store("Sound", "Separator", "No");
  ASSERT_TRUE(k.StartKlavo(false));
  ASSERT_TRUE(k.WaitForAccepted(kOffSound, 15000ms)) << "the saved state is announced";
  k.FocusOtherProgram();
  k.Type("cisza ");
  std::this_thread::sleep_for(1000ms);
  EXPECT_FALSE(Contains(k.Pokes(), "cisza"));
  EXPECT_EQ(k.StopKlavo(), 0);
  EXPECT_EQ(k.Stored("Global", "OnOff"), "No");
  EXPECT_EQ(k.Stored("Sound", "Separator"), "No");
}

TEST(KlavoProcess, OneKeyboardPerDesktop) {
  KlavoWorld k;
  k.UseTestServer(50);
  ASSERT_TRUE(k.StartKlavo());
  std::string id;
  ASSERT_TRUE(Eventually([&] {
    id = ToolOutput({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Klavo$"});
    return !id.empty();
  }));
  id = id.substr(0, id.find('\n'));
  ASSERT_EQ(RunTool({"/usr/bin/xdotool", "windowminimize", "--sync", id}), 0);
  EXPECT_TRUE(ToolOutput({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Klavo$"}).empty());

  // A second start brings the first window forward and ends.
  ChildProcess second(VOKAR_KLAVO, {});
  const int status = second.StopWithin(0, 10000ms);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(Eventually([&] {
    return !ToolOutput({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Klavo$"}).empty();
  })) << "the first window is shown again";
  EXPECT_TRUE(k.klavo().Running());

  // Two starts at the same moment, as at login: one keyboard, one sound.
  ChildProcess third(VOKAR_KLAVO, {});
  ChildProcess fourth(VOKAR_KLAVO, {});
  EXPECT_EQ(third.StopWithin(0, 10000ms), 0);
  EXPECT_EQ(fourth.StopWithin(0, 10000ms), 0);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(k.CountAccepted(kOnSound), 1);
  EXPECT_EQ(k.StopKlavo(), 0);
}

TEST(KlavoProcess, ServerThatGoesAwayIsStartedAgain) {
  KlavoWorld k;
  k.UseTestServer(50);
  ASSERT_TRUE(k.StartKlavo());
  k.FocusOtherProgram();
  const auto starts = [&] {
    int count = 0;
    for (const auto& entry : k.Log()) count += entry.kind == "start" ? 1 : 0;
    return count;
  };
  EXPECT_EQ(starts(), 1);
  const auto server = vokar::desktop::FindWindow("Vokar");
  ASSERT_TRUE(server);
  vokar::testing::KillAndWait(static_cast<pid_t>(server.processId()));
  ASSERT_TRUE(Eventually([&] { return starts() == 2; }, 15000ms)) << "klavo starts the server again";
  k.Type("dom ");
  EXPECT_TRUE(k.WaitForAccepted("dom" + kSpace, 15000ms));
  EXPECT_TRUE(k.world().Messages().empty());
  EXPECT_EQ(k.StopKlavo(), 0);
}

// "Pomo&c..." where nothing can show the page (no xdg-open on the PATH, no
// other launcher): a box with the page's path, over which the program still
// ends on SIGTERM, its settings written.
TEST(KlavoProcess, HelpWithoutABrowserIsSaidAndTheBoxDoesNotHoldTheEnd) {
  KlavoWorld k;
  k.UseTestServer(50);
  k.world().Set("PATH", k.world().bin().string());
  k.world().Set("VOKAR_MSGBOX_ANSWER", "show");
  ASSERT_TRUE(k.StartKlavo());
  ASSERT_TRUE(vokar::desktop::PostMessage(vokar::desktop::FindWindow("Klavo"), vokar::desktop::WM_COMMAND, 1003, 0));
  ASSERT_TRUE(Eventually([&] { return !k.world().Messages().empty(); }, 10000ms));
  const auto message = k.world().Messages().front();
  EXPECT_EQ(message.caption, "Klavo");
  EXPECT_EQ(message.answer, "show") << "the box is up";
  EXPECT_EQ(message.text.rfind("Nie można otworzyć pomocy", 0), 0u) << message.text;
  EXPECT_TRUE(message.text.ends_with("/help/klavo.html")) << message.text;
  EXPECT_EQ(k.StopKlavo(), 0) << "klavo stayed while its box was open";
  EXPECT_EQ(k.Stored("Global", "OnOff"), "Yes");
}
}  // namespace
