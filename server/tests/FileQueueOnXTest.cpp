// The server's boxes and dialogs on a real X session (Xvfb with openbox),
// seen on the screen: a flood of hand-overs naming missing files shows one
// box at a time, never a pile of them, while the server goes on answering;
// the files that failed while a box was open are told together in the next
// one. SIGTERM with the Info dialog and a box over it ends the server.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Registry.h"
#include "ServerIds.h"
#include "support/ServerFixture.h"
#include "support/XSession.h"

// Xlib's macro would rename the DDE client's Status().
#undef Status

namespace {

using namespace vokar;
using namespace vokar::servertest;
using vokar::testing::RunProgram;
using vokar::testing::SpawnedProgram;

// The shown windows of that title ("^Vokar$"), by X window id.
std::set<std::string> VokarWindows(const ServerWorld& world, const std::string& title = "^Vokar$") {
  const auto out = world.folder() / "windows.txt";
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  {
    SpawnedProgram search({"xdotool", "search", "--onlyvisible", "--name", title}, fd);
    search.Wait();
  }
  ::close(fd);
  std::set<std::string> ids;
  std::ifstream in(out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) ids.insert(line);
  return ids;
}

TEST(FileQueueOnX, AFloodOfMissingFilesShowsOneBoxAtATime) {
  vokar::testing::XSession x(true);
  ASSERT_TRUE(x.ok()) << "Xvfb or openbox did not start";
  ServerWorld world;
  // Real boxes on the screen, not the log.
  ::unsetenv("VOKAR_MSGBOX_LOG");
  SetEnv("QT_QPA_PLATFORM", "xcb");
  auto server = world.StartServer();
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s)) << world.ServerOutput();
  DdeClient client;
  ASSERT_TRUE(client.Connect());
  std::set<std::string> main;
  ASSERT_TRUE(WaitUntil([&] { return (main = VokarWindows(world)).size() == 1; }, 10s));

  // 400 missing files, handed over in bursts for two seconds: most come
  // while the first box is open.
  const auto window = desktop::FindWindow("Vokar");
  for (int burst = 0; burst < 4; ++burst) {
    for (int i = 0; i < 100; ++i) {
      const std::string path = (world.Work() / ("brak" + std::to_string(burst * 100 + i) + ".txt")).string();
      ASSERT_TRUE(desktop::SendMessage(window, server::WM_SERVER_OPENFILE, 0, 0, path).ok());
    }
    desktop::PumpMessages(500ms);
  }

  // Boxes are answered one after another; never more than one is shown.
  std::size_t mostShown = 0;
  int answered = 0;
  const auto deadline = Clock::now() + 40s;
  while (Clock::now() < deadline) {
    std::set<std::string> boxes;
    // A box may take a moment to come after the last one went.
    WaitUntil([&] {
      boxes.clear();
      for (const auto& id : VokarWindows(world))
        if (!main.count(id)) boxes.insert(id);
      return !boxes.empty();
    }, 3s);
    mostShown = std::max(mostShown, boxes.size());
    if (boxes.empty()) break;
    // The server answers while a box is open.
    EXPECT_EQ(client.Status(), 2);
    ASSERT_EQ(RunProgram({"xdotool", "windowactivate", "--sync", *boxes.begin()}), 0);
    ASSERT_EQ(RunProgram({"xdotool", "key", "Return"}), 0);
    ++answered;
    WaitUntil([&] { return !VokarWindows(world).count(*boxes.begin()); }, 5s);
  }
  EXPECT_EQ(mostShown, 1u) << "more than one box at a time";
  EXPECT_GE(answered, 1);
  EXPECT_LE(answered, 3) << "a box for each file, or nearly";
  server->Signal(SIGTERM);
  EXPECT_EQ(server->Wait(10s), 0);
}

// The "Info..." dialog on the screen and a box over it, and SIGTERM: both
// close, the server ends as its exit button would, its settings written, and
// nothing answers for it any more. Before, the window went but the process
// stayed until someone closed the dialog, answering pokes and status.
TEST(FileQueueOnX, TermSignalWithTheInfoDialogOpenEndsTheServer) {
  vokar::testing::XSession x(true);
  ASSERT_TRUE(x.ok()) << "Xvfb or openbox did not start";
  ServerWorld world;
  SetEnv("QT_QPA_PLATFORM", "xcb");
  // The box is shown and waits for a user.
  SetEnv("VOKAR_MSGBOX_ANSWER", "show");
  auto server = world.StartServer();
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s)) << world.ServerOutput();
  {
    // Not what the window holds (0): written over at the end.
    auto key = registry::Key::Create(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(key->Set("Tunning", std::uint32_t{20}).ok());
  }
  const auto window = desktop::FindWindow("Vokar");
  ASSERT_TRUE(desktop::PostMessage(window, desktop::WM_COMMAND, server::IDC_INFO, 0));
  std::set<std::string> info;
  ASSERT_TRUE(WaitUntil([&] { return !(info = VokarWindows(world, "^Informacja o Vokar$")).empty(); }, 10s))
      << "the Info dialog is not on the screen";
  // The queued file's box comes from the timer, inside the dialog's loop.
  ASSERT_TRUE(desktop::SendMessage(window, server::WM_SERVER_OPENFILE, 0, 0, (world.Work() / "brak.txt").string()).ok());
  ASSERT_TRUE(WaitUntil([&] { return !world.Messages().empty(); }, 5s));
  EXPECT_EQ(world.Messages().front().answer, "show");
  EXPECT_EQ(VokarWindows(world, "^Informacja o Vokar$"), info) << "the box closed the Info dialog";
  server->Signal(SIGTERM);
  EXPECT_EQ(server->Wait(10s), 0) << "the server stayed while its Info dialog was open\n" << world.ServerOutput();
  ::unsetenv("VOKAR_MSGBOX_ANSWER");
  EXPECT_NE(world.RunTool(VKDDE_PATH, {"exec", "status"}).first, 0) << "something still answers for the server";
  EXPECT_TRUE(VokarWindows(world, "^Informacja o Vokar$").empty());
  EXPECT_EQ(StoredSetting("Global", "TaskBarIcon"), "\"Yes\"");
  EXPECT_EQ(StoredSetting("Sound", "Tunning"), "0") << "the window's settings were not written";
}

}  // namespace
