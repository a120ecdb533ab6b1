// The tray icon of the real vokar under a real X server with a real tray
// owner (Xvfb, openbox and trayer, started by the test): the icon sits in
// the tray, its left button opens the menu whose first item reads the
// clipboard, and its right button brings the minimised window up.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "OpenboxConfig.h"
#include "Registry.h"
#include "support/ServerFixture.h"

namespace {

using namespace vokar;
using namespace vokar::servertest;

bool HaveProgram(const char* name) {
  for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
    if (::access((std::string(folder) + name).c_str(), X_OK) == 0) return true;
  return false;
}

// The output of a command of the X tools (fixed texts only, no user input).
std::string Capture(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    ::pclose(pipe);
  }
  return output;
}

// An X server of the test's own with a window manager and a tray.
class XSession {
 public:
  explicit XSession(const std::filesystem::path& folder) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, (folder / "xvfb.log").c_str(), O_WRONLY | O_CREAT, 0644);
    std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ) == 0) xvfb_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) return;
    SetEnv("DISPLAY", ":" + number);
    // On a busy machine the window manager now and then fails to open a
    // display that has only just come up; it is started again then.
    for (int attempt = 0; attempt < 3 && !managed_; ++attempt) {
      openbox_ = std::make_unique<Process>(
          "/usr/bin/openbox",
          std::vector<std::string>{"--sm-disable", "--config-file", vokar::test::OpenboxConfigFile().string()}, folder,
          folder / "openbox.log");
      managed_ = WaitUntil(
          [this] {
            return !openbox_->Running() ||
                   Capture("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos;
          },
          5s) &&
                openbox_->Running();
    }
    if (!managed_) return;
    trayer_ = std::make_unique<Process>(
        "/usr/bin/trayer",
        std::vector<std::string>{"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                                 "--height", "24", "--SetDockType", "true", "--transparent", "false"},
        folder, folder / "trayer.log");
    // Ready once the window manager manages the tray's panel: a window
    // mapped before that would be shown by the X server alone, whatever
    // state it asked for.
    ready_ = WaitUntil([] { return Capture("xwininfo -root -tree").find("\"panel\"") != std::string::npos; }, 5s) &&
             WaitUntil([] { return Capture("xprop -root _NET_CLIENT_LIST").find("window id") != std::string::npos; }, 10s);
  }
  ~XSession() {
    trayer_.reset();
    openbox_.reset();
    if (xvfb_ > 0) {
      ::kill(xvfb_, SIGTERM);
      ::waitpid(xvfb_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  // The display goes away, as at the end of the session.
  void EndDisplay() {
    if (xvfb_ <= 0) return;
    ::kill(xvfb_, SIGTERM);
    ::waitpid(xvfb_, nullptr, 0);
    xvfb_ = -1;
  }

 private:
  pid_t xvfb_ = -1;
  std::unique_ptr<Process> openbox_;
  std::unique_ptr<Process> trayer_;
  bool ready_ = false;
  bool managed_ = false;
};

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
};

// The server's window inside the tray's panel, in root coordinates.
std::optional<Box> TrayIcon() {
  std::istringstream tree(Capture("xwininfo -root -tree"));
  static const std::regex line(R"(\("vokar" "Vokar"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
  bool inPanel = false;
  for (std::string text; std::getline(tree, text);) {
    if (text.find("\"panel\"") != std::string::npos) {
      inPanel = true;
      continue;
    }
    std::smatch match;
    // The icon, not the main window that may follow the panel in the tree.
    if (inPanel && std::regex_search(text, match, line) && std::stoi(match[1]) <= 64) {
      return Box{std::stoi(match[3]), std::stoi(match[4]), std::stoi(match[1]), std::stoi(match[2])};
    }
  }
  return std::nullopt;
}

// How many windows of the server are mapped (a popup menu is one more).
std::size_t VisibleServerWindows() {
  std::istringstream ids(Capture("xdotool search --onlyvisible --classname vokar"));
  std::size_t count = 0;
  for (std::string line; std::getline(ids, line);) count += line.empty() ? 0 : 1;
  return count;
}

bool MainWindowViewable() {
  const std::string id = Capture("xdotool search --onlyvisible --name '^Vokar$'");
  return !id.empty();
}

TEST(Tray, TheIconsButtonsReadTheClipboardAndBringTheWindowUp) {
  for (const char* program : {"Xvfb", "openbox", "trayer", "xdotool", "xclip", "xwininfo", "xprop"}) {
    if (!HaveProgram(program)) GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh)";
  }
  ServerWorld world;
  ::unsetenv("QT_QPA_PLATFORM");
  XSession x(world.folder().path());
  ASSERT_TRUE(x.ready()) << "no X server with a tray";

  // Another program owns the clipboard's text.
  const auto text = world.folder().Write("clip.txt", "Raz. Dwa. Trzy. Cztery.");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, text.c_str(), O_RDONLY, 0);
  std::vector<std::string> args = {"xclip", "-selection", "clipboard", "-i", "-quiet"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t xclip = -1;
  ASSERT_EQ(::posix_spawnp(&xclip, "xclip", &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  } reapClip{xclip};

  SetEnv("VOKAR_SHOW_MINIMIZED", "1");
  auto server = world.StartServer();
  ::unsetenv("VOKAR_SHOW_MINIMIZED");
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s)) << world.ServerOutput();
  DdeClient client;
  ASSERT_TRUE(client.Connect());

  std::optional<Box> icon;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon()).has_value(); }, 5s)) << "the icon is not in the tray";
  EXPECT_GE(icon->width, 16);
  EXPECT_LE(icon->width, 24);
  EXPECT_FALSE(MainWindowViewable()) << "the window should start minimised\n"
                                      << Capture("xwininfo -root -tree") << world.ServerOutput();
  // A click on the icon, until what it should bring shows: a click that
  // comes while the tray still lays its icons out can miss, so the icon is
  // looked up again before each of at most three tries.
  auto clickIcon = [&](int button, const std::function<bool()>& shown) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (const auto box = TrayIcon()) icon = box;
      Capture("xdotool mousemove " + std::to_string(icon->x + icon->width / 2) + " " +
              std::to_string(icon->y + icon->height / 2) + " click " + std::to_string(button));
      if (WaitUntil(shown, 2s)) return true;
    }
    return false;
  };

  // Left button: the menu; its first item reads the clipboard. The item is
  // chosen by its mnemonic, z in both "C&zytaj" and "Pau&za", whatever item
  // the pointer rests on. The key goes only once the menu is up, and the
  // next click only once it has gone.
  const std::size_t closed = VisibleServerWindows();
  auto chooseFirstItem = [&] {
    ASSERT_TRUE(clickIcon(1, [&] { return VisibleServerWindows() > closed; })) << "no menu";
    Capture("xdotool key z");
    EXPECT_TRUE(WaitUntil([&] { return VisibleServerWindows() == closed; }, 5s)) << "the menu stayed";
  };
  chooseFirstItem();
  EXPECT_TRUE(client.WaitForStatus(1, 3s)) << "the menu's first item did not read the clipboard";
  // The same item now pauses.
  chooseFirstItem();
  EXPECT_TRUE(client.WaitForStatus(3, 3s)) << "status " << client.Status() << "\n" << world.ServerOutput();
  EXPECT_TRUE(client.Execute("break"));

  // Right button: the window comes up.
  EXPECT_TRUE(clickIcon(3, [] { return MainWindowViewable(); }));
  server->Signal(SIGTERM);
  EXPECT_EQ(server->Wait(10s), 0);
}

}  // namespace

namespace {

TEST(XSessionEnd, TheServerSavesItsSettingsWhenTheDisplayGoesAway) {
  for (const char* program : {"Xvfb", "openbox", "trayer", "xwininfo", "xprop"}) {
    if (!HaveProgram(program)) GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh)";
  }
  ServerWorld world;
  ::unsetenv("QT_QPA_PLATFORM");
  XSession x(world.folder().path());
  ASSERT_TRUE(x.ready()) << "no X server";
  auto server = world.StartServer();
  ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s)) << world.ServerOutput();
  DdeClient client;
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.Poke("Raz. Dwa. Trzy."));
  ASSERT_TRUE(client.Execute("read"));
  ASSERT_TRUE(client.WaitForStatus(1, 3s));
  x.EndDisplay();
  // The X library ends the program; its settings are written on the way.
  server->Wait(10s);
  EXPECT_FALSE(server->Running());
  auto key = registry::Key::Open(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(key.ok()) << world.ServerOutput();
  EXPECT_TRUE(key->Query("DeviceTimeout").ok());
  auto global = registry::Key::Open(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\Global");
  ASSERT_TRUE(global.ok());
  EXPECT_TRUE(global->Query("TaskBarIcon").ok());
}

}  // namespace
