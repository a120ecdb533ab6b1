#include "Spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace vokar::spawn {
namespace {

#ifndef CLOSE_RANGE_CLOEXEC
constexpr unsigned kCloseRangeCloexec = 1U << 2;
#else
constexpr unsigned kCloseRangeCloexec = CLOSE_RANGE_CLOEXEC;
#endif

// What the two forked processes tell the starter through the report pipe.
enum class Stage : std::int32_t { Started, SecondFork, NewSession, WorkingDirectory, Streams, Exec };

struct Report {
  Stage stage;
  std::int32_t value;  // the process id for Started, else errno
};

const char* StageText(Stage stage) {
  switch (stage) {
    case Stage::Started: return "started";
    case Stage::SecondFork: return "cannot fork";
    case Stage::NewSession: return "cannot start a session";
    case Stage::WorkingDirectory: return "cannot enter the working folder";
    case Stage::Streams: return "cannot open /dev/null";
    case Stage::Exec: return "cannot run";
  }
  return "failed";
}

// Only async-signal-safe calls from here on in the children: the starter may
// have threads, and any of them may have held a lock at the fork.
void SendReport(int fd, Stage stage, int value) {
  const Report report{stage, value};
  ssize_t wrote;
  do {
    wrote = ::write(fd, &report, sizeof report);
  } while (wrote < 0 && errno == EINTR);
}

[[noreturn]] void FailInChild(int fd, Stage stage) {
  SendReport(fd, stage, errno);
  ::_exit(127);
}

// Marks every descriptor from 3 on close-on-exec, the report pipe's end
// included (it is already), so that the program starts with 0, 1 and 2 only.
void CloseOnExecAbove2(int highest) {
  if (::syscall(SYS_close_range, 3U, ~0U, kCloseRangeCloexec) == 0) return;
  for (int fd = 3; fd <= highest; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

[[noreturn]] void RunGrandchild(int reportFd, const char* program, char* const* argv, char* const* envp,
                                const char* workingDirectory, StandardStreams streams, int highestFd) {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  for (int signal = 1; signal < NSIG; ++signal) {
    if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &standard, nullptr);
  }
  if (workingDirectory != nullptr && ::chdir(workingDirectory) != 0) FailInChild(reportFd, Stage::WorkingDirectory);

  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0) FailInChild(reportFd, Stage::Streams);
  if (::dup2(null, STDIN_FILENO) < 0) FailInChild(reportFd, Stage::Streams);
  if (streams == StandardStreams::Null) {
    if (::dup2(null, STDOUT_FILENO) < 0 || ::dup2(null, STDERR_FILENO) < 0) FailInChild(reportFd, Stage::Streams);
  }
  CloseOnExecAbove2(highestFd);

  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(program, argv, envp);
  FailInChild(reportFd, Stage::Exec);
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string text(*entry);
    bool replaced = false;
    for (const auto& mine : extra) replaced = replaced || nameOf(mine) == nameOf(text);
    if (!replaced) merged.push_back(text);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::string SystemText(int error) { return std::strerror(error); }

}  // namespace

SpawnResult SpawnDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const SpawnOptions& options) {
  SpawnResult result;
  if (program.empty()) {
    result.error = "no program named";
    return result;
  }
  for (const auto& extra : options.extraEnvironment) {
    if (extra.find('=') == std::string::npos || extra.front() == '=') {
      result.error = "bad environment entry \"" + extra + "\"";
      return result;
    }
  }
  // The child changes folder before it runs the program, so a relative path
  // must be made absolute here, against the starter's folder.
  std::error_code ignored;
  const std::string path = std::filesystem::absolute(program, ignored).string();
  const std::string name = program.string();

  // Everything the children need is made before the fork: they may not
  // allocate.
  std::vector<std::string> argvStrings{path};
  argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = Pointers(argvStrings);
  std::vector<std::string> envStrings = MergedEnvironment(options.extraEnvironment);
  std::vector<char*> envp = Pointers(envStrings);
  const std::string workingDirectory = options.workingDirectory.string();
  const char* workingDirectoryText = workingDirectory.empty() ? nullptr : workingDirectory.c_str();
  rlimit limit{};
  const int highestFd =
      ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 1048576
          ? static_cast<int>(limit.rlim_cur) - 1
          : 65535;

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.error = "cannot start " + name + ": " + SystemText(errno);
    return result;
  }
  // No signal handler of the starter may run in a child between the fork and
  // the reset of the handlers.
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);

  const pid_t middle = ::fork();
  if (middle == 0) {
    ::close(pipeFds[0]);
    // The first child only starts a session and forks the program off; then
    // it ends, so the program's parent becomes the system's reaper.
    if (::setsid() < 0) FailInChild(pipeFds[1], Stage::NewSession);
    const pid_t program = ::fork();
    if (program < 0) FailInChild(pipeFds[1], Stage::SecondFork);
    if (program > 0) {
      SendReport(pipeFds[1], Stage::Started, program);
      ::_exit(0);
    }
    RunGrandchild(pipeFds[1], argv[0], argv.data(), envp.data(), workingDirectoryText, options.streams, highestFd);
  }
  const int forkError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(pipeFds[1]);
  if (middle < 0) {
    ::close(pipeFds[0]);
    result.error = "cannot start " + name + ": " + SystemText(forkError);
    return result;
  }

  // Reports come until both children are gone or running the program: the
  // pipe's end closes in the program when it executes.
  Report report{};
  std::size_t filled = 0;
  bool failed = false;
  while (true) {
    const ssize_t got = ::read(pipeFds[0], reinterpret_cast<char*>(&report) + filled, sizeof report - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
    if (filled < sizeof report) continue;
    filled = 0;
    if (report.stage == Stage::Started) {
      result.pid = report.value;
    } else if (!failed) {
      failed = true;
      result.error = "cannot start " + name + ": " + StageText(report.stage) + ": " + SystemText(report.value);
    }
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (!failed && result.pid <= 0) result.error = "cannot start " + name + ": the starting process ended early";
  if (!result.ok()) {
    // The program's process id is no use when it never ran the program; it
    // has ended already.
    if (result.pid > 0 && failed) result.pid = -1;
  }
  return result;
}

}  // namespace vokar::spawn
