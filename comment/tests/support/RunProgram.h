// Running a program from a test and collecting what it printed: the child
// gets the test's environment with some variables changed, is killed when it
// runs longer than the test allows, and is always reaped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace vokar::comment::support {

struct ProgramRun {
  int exitCode = -1;  // -1 when the program did not end by itself in time
  bool timedOut = false;
  std::string output;  // standard output and error together
};

// The environment of this process with the changes applied (an empty
// optional unsets the variable).
inline std::vector<std::string> ChangedEnvironment(const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('='));
    if (!changes.contains(name)) variables.push_back(variable);
  }
  for (const auto& [name, value] : changes) {
    if (value) variables.push_back(name + "=" + *value);
  }
  return variables;
}

inline ProgramRun RunProgram(const std::vector<std::string>& arguments,
                             const std::map<std::string, std::optional<std::string>>& changes = {},
                             std::chrono::milliseconds timeout = std::chrono::milliseconds(30000)) {
  ProgramRun run;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  std::vector<std::string> args = arguments;
  std::vector<char*> argv;
  for (auto& argument : args) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = ChangedEnvironment(changes);
  std::vector<char*> envp;
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    run.output = std::string("cannot start ") + arguments[0] + ": " + std::strerror(spawned);
    return run;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timedOut = true;
      break;
    }
    pollfd poller{pipeFds[0], POLLIN, 0};
    if (::poll(&poller, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    run.output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  if (run.timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!run.timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

}  // namespace vokar::comment::support
