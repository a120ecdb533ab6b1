#include "ChildProcess.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace vokar::bench {

std::optional<ChildReport> RunChild(const std::vector<std::string>& arguments, std::string& error) {
  std::error_code ec;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (ec) {
    error = "cannot find this program: " + ec.message();
    return std::nullopt;
  }
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

  std::vector<std::string> strings{self, kChildOption};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  pid_t child = 0;
  const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    error = "cannot start " + self + ": " + std::strerror(spawned);
    return std::nullopt;
  }

  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
    if (got > 0) output.append(buffer, static_cast<std::size_t>(got));
    else if (got == 0 || errno != EINTR) break;
  }
  close(pipeFds[0]);

  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      error = std::string("waiting for the child: ") + std::strerror(errno);
      return std::nullopt;
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = "the child (" + arguments.front() + ") failed";
    return std::nullopt;
  }

  ChildReport report;
  report.maxRssKb = usage.ru_maxrss;
  std::istringstream lines(output);
  std::string name;
  double value = 0;
  while (lines >> name >> value) report.values[name] = value;
  return report;
}

}  // namespace vokar::bench
