// Finding and ending the processes a test program left behind: every
// process whose environment names a folder of the test's (its HOME, its
// desktop, VOKAR_TEST_TMP). Programs inherit such a value from the program
// that started them, so the search finds the servers a client started as
// well as the programs the test started itself.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vokar::test {

// The file's bytes; empty when it cannot be read. A file of /proc of a
// process that ends while it is read fails with ESRCH, which the stream's
// buffer throws as an exception: a test's helpers never end on it.
inline std::string ReadFileOrEmpty(const std::filesystem::path& path) {
  try {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return {};
  }
}

namespace processes_detail {

// True when the value holds the path as a whole path or as its start.
inline bool NamesPath(std::string_view value, std::string_view path) {
  for (std::size_t at = value.find(path); at != std::string_view::npos; at = value.find(path, at + 1)) {
    const std::size_t end = at + path.size();
    if (end == value.size() || value[end] == '/' || value[end] == ':') return true;
  }
  return false;
}

}  // namespace processes_detail

// The name the process runs under ("vokar", "Xvfb").
inline std::string CommandName(pid_t pid) {
  std::string name = ReadFileOrEmpty("/proc/" + std::to_string(pid) + "/comm");
  while (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

// Every process other than the caller whose environment (as it was started)
// names the folder or a path inside it: a variable's value holds the path
// followed by its end, '/' or ':'.
inline std::vector<pid_t> ProcessesNaming(const std::filesystem::path& folder) {
  const std::string path = folder.lexically_normal().string();
  std::vector<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return found;
  for (dirent* entry = ::readdir(proc); entry != nullptr; entry = ::readdir(proc)) {
    char* end = nullptr;
    const long number = std::strtol(entry->d_name, &end, 10);
    if (number <= 0 || *end != '\0' || number == ::getpid()) continue;
    const std::string block = ReadFileOrEmpty("/proc/" + std::string(entry->d_name) + "/environ");
    std::size_t start = 0;
    while (start < block.size()) {
      std::size_t stop = block.find('\0', start);
      if (stop == std::string::npos) stop = block.size();
      const std::string_view variable(block.data() + start, stop - start);
      const std::size_t equals = variable.find('=');
      if (equals != std::string_view::npos && processes_detail::NamesPath(variable.substr(equals + 1), path)) {
        found.push_back(static_cast<pid_t>(number));
        break;
      }
      start = stop + 1;
    }
  }
  ::closedir(proc);
  return found;
}

// Ends those processes, telling standard error about each: first as a
// session ends them (SIGTERM, so that an X server takes away its lock and
// socket in /tmp), then, after a second, by SIGKILL, until none is left or
// five rounds have passed. The number of processes found.
inline int EndProcessesNaming(const std::filesystem::path& folder, const char* who = "vokar tests") {
  auto pids = ProcessesNaming(folder);
  const int found = static_cast<int>(pids.size());
  for (const pid_t pid : pids) {
    std::fprintf(stderr, "%s: ending %s (pid %d), left running in %s\n", who, CommandName(pid).c_str(),
                 static_cast<int>(pid), folder.c_str());
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGCONT);
  }
  // A process that has ended no longer shows its environment.
  for (int wait = 0; wait < 20 && !pids.empty(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pids = ProcessesNaming(folder);
  }
  for (int round = 0; round < 5 && !pids.empty(); ++round) {
    for (const pid_t pid : pids) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pids = ProcessesNaming(folder);
  }
  return found;
}

}  // namespace vokar::test
