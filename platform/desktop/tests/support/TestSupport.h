// Helpers for tests that run real programs on a private desktop: a fresh
// desktop folder per test, child processes that are always reaped, and waits
// for a condition while the test's own messages keep flowing.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Desktop.h"

extern char** environ;

namespace vokar::testing {

// Points VOKAR_DESKTOP_DIR at a new empty folder and removes it afterwards.
class PrivateDesktop {
 public:
  PrivateDesktop() {
    const char* base = std::getenv("VOKAR_TEST_TMP");
    std::filesystem::path root = base != nullptr ? base : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(root);
    std::string pattern = (root / "desktop-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    ::setenv("VOKAR_DESKTOP_DIR", folder_.c_str(), 1);
  }
  ~PrivateDesktop() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  PrivateDesktop(const PrivateDesktop&) = delete;
  PrivateDesktop& operator=(const PrivateDesktop&) = delete;

  const std::filesystem::path& folder() const { return folder_; }

  // The names of the files in the folder, for checks that nothing is left.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) names.push_back(entry.path().filename());
    return names;
  }

 private:
  std::filesystem::path folder_;
};

// A child program, ended with SIGKILL and reaped when the object goes. With
// captureOutput its standard output comes through a pipe for ReadLine.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments, bool captureOutput = false) {
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) == 0) {
      ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
      output_ = pipeFds[0];
    }
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) ::close(pipeFds[1]);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGCONT);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }

  // The next line the child wrote, without its newline; empty when none came
  // in time.
  std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (const auto end = buffered_.find('\n'); end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (output_ < 0 || left.count() <= 0) return {};
      pollfd entry{output_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
      char bytes[512];
      const ssize_t n = ::read(output_, bytes, sizeof bytes);
      if (n <= 0) return {};
      buffered_.append(bytes, static_cast<std::size_t>(n));
    }
  }

  // Sends the signal and waits at most the timeout for the end; the exit
  // status, or -1 when the child did not end in time (it is killed then).
  int StopWithin(int signal, std::chrono::milliseconds timeout) {
    if (pid_ <= 0 || reaped_) return -1;
    ::kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return status;
      }
      ::usleep(5000);
    }
    return -1;
  }

  // False once the child has ended (it is reaped then).
  bool Running() {
    if (pid_ <= 0 || reaped_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      return false;
    }
    return true;
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }

  void Signal(int signal) const { ::kill(pid_, signal); }

  // Sends the signal and waits for the end; the exit status, or -1.
  int Stop(int signal) {
    if (pid_ <= 0 || reaped_) return -1;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    return status;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int output_ = -1;
  std::string buffered_;
};

// Runs this program's message loop until the condition holds. The loop is run
// in short passes, since the condition may change without a message (a file
// of another program appears).
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    desktop::PumpMessages(std::chrono::milliseconds(5));
  }
  return true;
}

// Waits until a window of that title appears; its handle, or 0.
inline desktop::WindowHandle WaitForWindow(const std::string& title,
                                           std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  desktop::WindowHandle found;
  WaitFor([&] { return static_cast<bool>(found = desktop::FindWindow(title)); }, timeout);
  return found;
}

}  // namespace vokar::testing
