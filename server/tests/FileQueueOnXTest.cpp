// The server's boxes about queued files it could not read, on a real X
// session (Xvfb with openbox) with real message boxes: a flood of hand-overs
// naming missing files shows one box at a time, never a pile of them, while
// the server goes on answering; the files that failed while a box was open
// are told together in the next one.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

// The shown windows titled "Vokar", by X window id.
std::set<std::string> VokarWindows(const ServerWorld& world) {
  const auto out = world.folder() / "windows.txt";
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  {
    SpawnedProgram search({"xdotool", "search", "--onlyvisible", "--name", "^Vokar$"}, fd);
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

}  // namespace
