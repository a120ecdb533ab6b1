// What the benchmarks of the real programs share: a world of their own in a
// temporary folder (settings store, desktop, config folder, message log and a
// user of its own, PrivateUser.h), removed at the end with every process
// started in it; programs started and awaited; and the figures of the runs
// printed as median, least and most.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "PrivateUser.h"
#include "Processes.h"

extern char** environ;

namespace vokar::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct SpawnOptions {
  fs::path folder{};     // the working folder; empty: this one
  int out = -1;          // standard output; -1: as this program's (or /dev/null when quiet)
  bool quiet = false;    // standard output (unless given) and error to /dev/null
};

// Starts the program (the first argument, a path) with this program's
// environment; its pid, or -1.
inline pid_t Spawn(const std::vector<std::string>& arguments, const SpawnOptions& options = {}) {
  std::vector<std::string> all = arguments;
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  if (options.out >= 0) {
    posix_spawn_file_actions_adddup2(&actions, options.out, 1);
  } else if (options.quiet) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  if (options.quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits for the program's end; its exit status, or -1.
inline int Wait(pid_t pid) {
  if (pid <= 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ends the program as a user's session does (SIGTERM), killing it after two seconds.
inline void End(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// The times of the runs of one measurement.
class Figures {
 public:
  void Add(double value) { values_.push_back(value); }
  bool empty() const { return values_.empty(); }

  // "what   median M unit   min A   max B   (N runs)", the label padded to width.
  void Print(const char* what, int width = 46, const char* unit = "ms") const {
    if (values_.empty()) {
      std::printf("%-*s no samples\n", width, what);
      return;
    }
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%-*s median %8.2f %s   min %8.2f   max %8.2f   (%zu runs)\n", width, what, sorted[sorted.size() / 2],
                unit, sorted.front(), sorted.back(), sorted.size());
  }

 private:
  std::vector<double> values_;
};

// A benchmark's world: a folder of its own in the temporary folder with a
// settings store, a desktop, a config folder and a message log, and a user of
// its own, all set in this program's environment for the programs it starts.
// Every process still naming the folder is ended and the folder removed when
// the world goes.
class BenchWorld {
 public:
  explicit BenchWorld(const std::string& name) {
    std::string pattern = (fs::temp_directory_path() / ("bench-" + name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    for (const char* sub : {"registry", "config", "desktop", "work"}) fs::create_directory(folder_ / sub);
    ::chmod(desktop().c_str(), 0700);
    vokar::test::UsePrivateUser(folder_);
    ::setenv("VOKAR_REGISTRY_DIR", (folder_ / "registry").c_str(), 1);
    ::setenv("VOKAR_CONFIG_DIR", (folder_ / "config").c_str(), 1);
    ::setenv("VOKAR_DESKTOP_DIR", desktop().c_str(), 1);
    ::setenv("VOKAR_MSGBOX_LOG", messageLog().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  ~BenchWorld() {
    if (folder_.empty()) return;
    EndAll();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  BenchWorld(const BenchWorld&) = delete;
  BenchWorld& operator=(const BenchWorld&) = delete;

  bool ok() const { return !folder_.empty(); }
  const fs::path& folder() const { return folder_; }
  fs::path operator/(const fs::path& name) const { return folder_ / name; }
  fs::path desktop() const { return folder_ / "desktop"; }
  fs::path messageLog() const { return folder_ / "messages.log"; }

  // Ends every process started in the world (servers a client started too).
  void EndAll() const {
    for (int round = 0; round < 3; ++round) {
      const auto pids = vokar::test::ProcessesNaming(folder_);
      if (pids.empty()) break;
      for (const pid_t pid : pids) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  // Prints the messages the programs showed to standard error; true when
  // there were none, as in a run that went well.
  bool NoMessages() const {
    if (!fs::exists(messageLog())) return true;
    std::ifstream log(messageLog());
    std::fprintf(stderr, "messages:\n%s", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    return false;
  }

 private:
  fs::path folder_;
};

}  // namespace vokar::bench
