// What a user of the talking keyboard waits for: the delay from a key press
// on a private X server (Xvfb with the Polish layout and a window manager) to
// klavo's poke reaching the speech server (the DDE test server, which logs
// each poke the moment it arrives; the log is watched with inotify).
//   1. echo mode: a key to the poke of its name;
//   2. whole-word reading: the blank after a word to the poke of the word;
//   3. the timer's step: a key refused while the server still speaks, from
//      the end of that reading to the poke that carries it (the engine tries
//      again at its 250 ms ticks, so this is up to a tick by design).
// Everything runs on a private desktop and settings store in a temporary
// folder, removed at the end.
//   bench_klavo [PRESSES]   (default 200)
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Child {
  pid_t pid = -1;
  explicit Child(const std::vector<std::string>& arguments, int stdoutFd = -1, int extraFd = -1) {
    std::vector<std::string> all = arguments;
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() { Stop(); }
  int Wait() {
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Stop() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
        return;
      }
      std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
};

int RunTool(const std::vector<std::string>& arguments) { return Child(arguments).Wait(); }

std::string ToolOutput(const std::vector<std::string>& arguments) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  Child child(arguments, fds[1]);
  ::close(fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  child.Wait();
  return out;
}

// The test server's log, line by line, each with the moment it was seen.
class LogWatch {
 public:
  explicit LogWatch(const fs::path& file) : file_(file) {
    inotify_ = ::inotify_init1(IN_CLOEXEC);
    std::ofstream(file_, std::ios::app).flush();
    ::inotify_add_watch(inotify_, file_.c_str(), IN_MODIFY);
  }
  ~LogWatch() { ::close(inotify_); }

  struct Line {
    std::string text;
    Clock::time_point seen;
  };

  // Waits for the next line that satisfies the test; nothing on timeout.
  std::optional<Line> Next(const std::function<bool(const std::string&)>& test, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      while (!pending_.empty()) {
        Line line = pending_.front();
        pending_.erase(pending_.begin());
        if (test(line.text)) return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd entry{inotify_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(left)) > 0) {
        char events[4096];
        [[maybe_unused]] const auto n = ::read(inotify_, events, sizeof events);
      }
      ReadNew();
    }
  }
  void Skip() {
    ReadNew();
    pending_.clear();
  }

 private:
  void ReadNew() {
    const auto now = Clock::now();
    std::ifstream in(file_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto end = chunk.rfind('\n');
    if (end == std::string::npos) return;
    offset_ += end + 1;
    std::size_t start = 0;
    for (std::size_t nl; (nl = chunk.find('\n', start)) != std::string::npos && nl <= end; start = nl + 1) {
      pending_.push_back({chunk.substr(start, nl - start), now});
    }
  }

  fs::path file_;
  int inotify_ = -1;
  std::size_t offset_ = 0;
  std::vector<Line> pending_;
};

struct Figures {
  std::vector<double> values;
  int missed = 0;
  void Print(const char* what) const {
    if (values.empty()) {
      std::printf("%-52s no figures (%d missed)\n", what, missed);
      return;
    }
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))]; };
    std::printf("%-52s p50 %6.1f ms  p95 %6.1f  max %6.1f  (%zu presses, %d missed)\n", what, at(0.5), at(0.95),
                sorted.back(), sorted.size(), missed);
  }
};

bool IsPoke(const std::string& line) { return line.rfind("poke ", 0) == 0; }

}  // namespace

int main(int argc, char** argv) {
  const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  std::string pattern = (fs::temp_directory_path() / "bench-klavo-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path folder = pattern;
  for (const char* sub : {"registry", "config", "desktop", "home"}) fs::create_directory(folder / sub);
  fs::permissions(folder / "desktop", fs::perms::owner_all, fs::perm_options::replace);
  const fs::path log = folder / "server.log";
  ::setenv("VOKAR_REGISTRY_DIR", (folder / "registry").c_str(), 1);
  ::setenv("VOKAR_CONFIG_DIR", (folder / "config").c_str(), 1);
  ::setenv("VOKAR_DESKTOP_DIR", (folder / "desktop").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (folder / "desktop").c_str(), 1);
  ::setenv("HOME", (folder / "home").c_str(), 1);
  ::setenv("VOKAR_MSGBOX_LOG", (folder / "messages.log").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);

  int failures = 0;
  // The X server, its layout and window manager, and a window to type into.
  int displayPipe[2];
  if (::pipe(displayPipe) != 0) return 1;
  Child xvfb({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, -1, displayPipe[1]);
  ::close(displayPipe[1]);
  std::string number;
  for (char c; ::read(displayPipe[0], &c, 1) == 1 && c != '\n';) number += c;
  ::close(displayPipe[0]);
  if (number.empty()) {
    std::fprintf(stderr, "bench_klavo: Xvfb did not start\n");
    return 1;
  }
  ::setenv("DISPLAY", (":" + number).c_str(), 1);
  RunTool({"setxkbmap", "pl"});
  Child openbox({"openbox", "--sm-disable"});
  std::this_thread::sleep_for(500ms);
  Child target({"xmessage", "-geometry", "300x80+20+20", "-name", "cel", "notatnik"});

  Display* display = XOpenDisplay(nullptr);
  Figures echo, word, tick;
  if (display == nullptr ||
      RunTool({VOKAR_VKREG, "set", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "",
               VOKAR_DDE_TESTSERVER}) != 0) {
    std::fprintf(stderr, "bench_klavo: no display or no settings store\n");
    failures = 1;
  }
  const KeyCode keyA = display != nullptr ? XKeysymToKeycode(display, XK_a) : 0;
  const KeyCode keyK = display != nullptr ? XKeysymToKeycode(display, XK_k) : 0;
  const KeyCode keySpace = display != nullptr ? XKeysymToKeycode(display, XK_space) : 0;
  auto press = [&](KeyCode key) {
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    XFlush(display);
  };
  auto focusTarget = [&] {
    std::string id = ToolOutput({"xdotool", "search", "--classname", "cel"});
    id = id.substr(0, id.find('\n'));
    if (!id.empty()) RunTool({"xdotool", "windowactivate", "--sync", id});
    std::this_thread::sleep_for(300ms);
  };

  // Each part: klavo started afresh with the mode and a server whose readings
  // last jobMs.
  auto part = [&](bool echoMode, int jobMs, const std::function<void(LogWatch&)>& measure) {
    if (failures != 0) return;
    RunTool({VOKAR_VKREG, "set", "HKCU\\Software\\Quillmark\\Klavo\\Global", "Echo", echoMode ? "Yes" : "No"});
    ::setenv("VOKAR_TESTSERVER_OPTIONS", ("--log " + log.string() + " --job-ms " + std::to_string(jobMs)).c_str(), 1);
    LogWatch watch(log);
    watch.Skip();
    Child klavo({VOKAR_KLAVO});
    if (!watch.Next([](const std::string& l) { return l.find("(on1)") != std::string::npos; }, 20s)) {
      std::fprintf(stderr, "bench_klavo: klavo did not start\n");
      ++failures;
      return;
    }
    focusTarget();
    std::this_thread::sleep_for(std::chrono::milliseconds(jobMs + 300));
    watch.Skip();
    measure(watch);
    klavo.Stop();
    // The server klavo started ends with the desktop's other programs.
    const std::string servers = ToolOutput({"pgrep", "-f", VOKAR_DDE_TESTSERVER});
    for (std::size_t start = 0, nl; (nl = servers.find('\n', start)) != std::string::npos; start = nl + 1) {
      const pid_t pid = static_cast<pid_t>(std::atoi(servers.substr(start, nl - start).c_str()));
      std::ifstream environment("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(environment)), std::istreambuf_iterator<char>());
      if (text.find("VOKAR_DESKTOP_DIR=" + (folder / "desktop").string()) != std::string::npos) ::kill(pid, SIGKILL);
    }
  };

  part(true, 0, [&](LogWatch& watch) {
    for (int i = 0; i < presses; ++i) {
      const auto start = Clock::now();
      press(keyA);
      if (const auto line = watch.Next(IsPoke, 2s)) {
        echo.values.push_back(Ms(line->seen - start));
      } else {
        ++echo.missed;
      }
      std::this_thread::sleep_for(60ms);
      watch.Skip();
    }
  });
  part(false, 0, [&](LogWatch& watch) {
    for (int i = 0; i < presses; ++i) {
      press(keyK);
      std::this_thread::sleep_for(30ms);
      watch.Skip();
      const auto start = Clock::now();
      press(keySpace);
      if (const auto line = watch.Next(IsPoke, 2s)) {
        word.values.push_back(Ms(line->seen - start));
      } else {
        ++word.missed;
      }
      std::this_thread::sleep_for(60ms);
      watch.Skip();
    }
  });
  constexpr int kJobMs = 300;
  part(true, kJobMs, [&](LogWatch& watch) {
    for (int i = 0; i < std::max(1, presses / 10); ++i) {
      press(keyA);
      const auto first = watch.Next(IsPoke, 2s);
      std::this_thread::sleep_for(60ms);
      press(keyK);
      // The reading of the first key ends kJobMs after its "read"; the key
      // refused meanwhile goes with the first poke that the server takes.
      const auto read = first ? watch.Next([](const std::string& l) { return l == "execute read"; }, 2s)
                              : std::nullopt;
      std::optional<LogWatch::Line> taken;
      for (std::optional<LogWatch::Line> line; read && (line = watch.Next([](const std::string&) { return true; }, 3s));) {
        if (line->text == "execute read") break;
        if (IsPoke(line->text)) taken = line;
      }
      if (read && taken) {
        tick.values.push_back(Ms(taken->seen - (read->seen + std::chrono::milliseconds(kJobMs))));
      } else {
        ++tick.missed;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(kJobMs + 300));
      watch.Skip();
    }
  });

  if (display != nullptr) XCloseDisplay(display);
  std::printf("klavo: from a key press on Xvfb to its poke reaching the speech server\n");
  echo.Print("echo mode: key to the poke of its name");
  word.Print("whole words: the blank to the poke of the word");
  tick.Print("server busy: end of its reading to the retry's poke");
  if (fs::exists(folder / "messages.log")) {
    std::ifstream messages(folder / "messages.log");
    std::fprintf(stderr, "messages:\n%s", std::string(std::istreambuf_iterator<char>(messages), {}).c_str());
  }
  failures += echo.missed + word.missed;
  target.Stop();
  openbox.Stop();
  xvfb.Stop();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  if (failures != 0) std::fprintf(stderr, "bench_klavo: %d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
