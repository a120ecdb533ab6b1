// A private X session for tests: an Xvfb on a display number of its own
// (-displayfd, so tests run in parallel), optionally with openbox for focus,
// and helpers to run X clients (xdotool, xmodmap) on it. Everything started
// here is ended and reaped when the session goes. The programs run as the
// test's user (its home and XDG folders: openbox's log stays there) with the
// window manager's configuration of the tests (OpenboxConfig.h).
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "OpenboxConfig.h"

extern char** environ;

namespace vokar::testing {

// A spawned program, ended (SIGTERM, then SIGKILL after a second) and reaped
// when the object goes.
class SpawnedProgram {
 public:
  SpawnedProgram() = default;
  SpawnedProgram(const std::vector<std::string>& argv, int stdoutFd = -1, int extraFd = -1, int extraTarget = -1) {
    Start(argv, stdoutFd, extraFd, extraTarget);
  }
  ~SpawnedProgram() { Stop(); }
  SpawnedProgram(const SpawnedProgram&) = delete;
  SpawnedProgram& operator=(const SpawnedProgram&) = delete;

  bool Start(const std::vector<std::string>& argv, int stdoutFd = -1, int extraFd = -1, int extraTarget = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, extraTarget);
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (auto& argument : copy) args.push_back(argument.data());
    args.push_back(nullptr);
    const int failed = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) pid_ = -1;
    return pid_ > 0;
  }

  pid_t pid() const { return pid_; }
  // False once the program has ended (it is reaped then, and never signalled
  // again: its pid may belong to another process by now).
  bool running() const {
    if (pid_ <= 0) return false;
    if (::waitpid(pid_, nullptr, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
  }

  // Waits for the program to end by itself; its exit status, or -1 when it
  // did not end in time (it is then killed).
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        Stop();
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
  }

 private:
  mutable pid_t pid_ = -1;
};

// Runs an X client to its end on the session's display; its exit status.
inline int RunProgram(const std::vector<std::string>& argv) {
  SpawnedProgram program(argv);
  return program.Wait();
}

class XSession {
 public:
  // Starts Xvfb (and openbox when asked) and points DISPLAY at it.
  explicit XSession(bool windowManager = false) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    xvfb_.Start({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, -1, pipeFds[1], 3);
    ::close(pipeFds[1]);
    std::string number;
    char c = 0;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(pipeFds[0]);
    if (number.empty()) return;
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
    if (windowManager && !StartWindowManager()) return;
    ok_ = true;
  }
  ~XSession() {
    openbox_.Stop();
    xvfb_.Stop();
  }
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool ok() const { return ok_; }
  const std::string& display() const { return display_; }

 private:
  // openbox names its check window (_NET_SUPPORTING_WM_CHECK) before it has
  // taken over the screen: a window mapped in that moment is never managed,
  // so it never shows and never gets the focus. The list of managed windows
  // (_NET_CLIENT_LIST, empty at first) comes once it has; that is awaited.
  // An openbox that ends on the way (it may fail to open a display that has
  // just come up) is started again.
  bool StartWindowManager() {
    Display* display = XOpenDisplay(display_.c_str());
    if (display == nullptr) return false;
    bool ready = false;
    for (int attempt = 0; attempt < 3 && !ready; ++attempt) {
      // What an openbox that ended left on the root window is not taken for
      // the next one's.
      for (const char* name : {"_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST"}) {
        XDeleteProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False));
      }
      XSync(display, False);
      openbox_.Start({"openbox", "--sm-disable", "--config-file", vokar::test::OpenboxConfigFile().string()});
      ready = WaitForWindowManager(display);
      if (!ready) openbox_.Stop();
    }
    XCloseDisplay(display);
    return ready;
  }

  bool WaitForWindowManager(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const Atom managed = XInternAtom(display, "_NET_CLIENT_LIST", False);
    const auto rootHas = [&](Atom property, bool nonEmpty) {
      Atom type = None;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      const bool read = XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1, False, XA_WINDOW,
                                           &type, &format, &items, &after, &data) == Success;
      if (data != nullptr) XFree(data);
      return read && type == XA_WINDOW && (!nonEmpty || items == 1);
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (rootHas(check, true) && rootHas(managed, false)) return true;
      if (!openbox_.running()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  SpawnedProgram xvfb_;
  SpawnedProgram openbox_;
  std::string display_;
  bool ok_ = false;
};

#ifdef VOKAR_TEST_GRABBER
// Another program holding a combination on the root window until the object
// goes (for test programs that define VOKAR_TEST_GRABBER, the helper's path);
// answer() is "ready" when it holds it, "refused" when someone else did.
class Grabber {
 public:
  explicit Grabber(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{VOKAR_TEST_GRABBER};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    program_.Start(argv, fds[1]);
    ::close(fds[1]);
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') answer_ += c;
    ::close(fds[0]);
  }
  const std::string& answer() const { return answer_; }

 private:
  SpawnedProgram program_;
  std::string answer_;
};
#endif

}  // namespace vokar::testing
