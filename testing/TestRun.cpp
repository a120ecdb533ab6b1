// The test program's folder, its guard and the private user of every test.
#include "TestRun.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

#include "PrivateUser.h"
#include "Processes.h"

namespace vokar::test {
namespace fs = std::filesystem;

namespace {

// The start time of a process in clock ticks since boot (field 22 of its
// stat line), or nothing when it does not run.
std::optional<std::string> StartTime(pid_t pid) {
  const std::string stat = ReadFileOrEmpty("/proc/" + std::to_string(pid) + "/stat");
  // The command name in parentheses may hold blanks: count from its end.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int number = 3; number <= 22 && fields >> field; ++number) {
    if (number == 22) return field;
  }
  return std::nullopt;
}

constexpr const char* kOwnerFile = "owner";

// The private user of each test, so that tests run one after another in
// one process see no more of each other than tests run one per process.
class PrivateUserPerTest final : public ::testing::EmptyTestEventListener {
 public:
  explicit PrivateUserPerTest(fs::path folder) : folder_(std::move(folder)) {}

  void OnTestStart(const ::testing::TestInfo&) override {
    saved_.clear();
    for (const auto& [name, value] : PrivateUserEnvironment(folder_)) {
      const char* now = std::getenv(name.c_str());
      saved_.emplace_back(name, now != nullptr ? std::optional<std::string>(now) : std::nullopt);
    }
    user_ = folder_ / ("t" + std::to_string(++tests_));
    UsePrivateUser(user_);
  }

  void OnTestEnd(const ::testing::TestInfo&) override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::error_code ignored;
    fs::remove_all(user_, ignored);
  }

 private:
  fs::path folder_;
  fs::path user_;
  int tests_ = 0;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

void RemoveFoldersOfDeadTestPrograms(const fs::path& root) {
  std::error_code error;
  for (auto it = fs::directory_iterator(root, error); !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 2 || name[0] != 'p' || name.find_first_not_of("0123456789", 1) != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::strtol(name.c_str() + 1, nullptr, 10));
    const auto started = StartTime(pid);
    const fs::path ownerFile = it->path() / kOwnerFile;
    std::error_code ignored;
    // A folder without its owner file is being made by a program that runs.
    const bool dead = !started || (fs::exists(ownerFile, ignored) && ReadFileOrEmpty(ownerFile) != *started);
    if (!dead) continue;
    EndProcessesNaming(it->path());
    fs::remove_all(it->path(), ignored);
  }
}

TestRun::TestRun() {
  const char* base = std::getenv("VOKAR_TEST_TMP");
  rootIsOwnFallback_ = base == nullptr || *base == '\0';
  root_ = rootIsOwnFallback_ ? fs::temp_directory_path() / "vokar-tests" : fs::path(base);
  std::error_code ignored;
  fs::create_directories(root_, ignored);
  RemoveFoldersOfDeadTestPrograms(root_);

  folder_ = root_ / ("p" + std::to_string(::getpid()));
  fs::remove_all(folder_, ignored);
  fs::create_directories(folder_, ignored);
  // Written aside and renamed: another test program that finds the owner
  // file half-written would take the folder for a dead program's and remove it.
  const fs::path unfinished = folder_ / (std::string(kOwnerFile) + ".new");
  std::ofstream(unfinished) << StartTime(::getpid()).value_or("");
  fs::rename(unfinished, folder_ / kOwnerFile, ignored);
  ::setenv("VOKAR_TEST_TMP", folder_.c_str(), 1);
  UsePrivateUser(folder_ / "program");
  StartGuard();
  ::testing::UnitTest::GetInstance()->listeners().Append(new PrivateUserPerTest(folder_));
}

TestRun::~TestRun() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
  // Run by hand, the tests leave no empty folder in the temporary folder.
  if (rootIsOwnFallback_) fs::remove(root_, ignored);
}

// The guard is a process of its own, outside the program's process group and
// no child of it, that waits for the program to end (its end of a pipe
// closes however the program ends, SIGKILL included), then ends every
// process still naming the program's folder and removes the folder.
void TestRun::StartGuard() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  const pid_t first = ::fork();
  if (first < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return;
  }
  if (first == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    ::prctl(PR_SET_NAME, "vokar-testguard");
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    // Only its end of the pipe and standard error stay open: the guard holds
    // no socket, file or pipe of the program's.
    for (int fd = 3; fd < 1024; ++fd) {
      if (fd != fds[0]) ::close(fd);
    }
    char byte = 0;
    while (true) {
      const ssize_t got = ::read(fds[0], &byte, 1);
      if (got == 0 || (got < 0 && errno != EINTR)) break;
    }
    EndProcessesNaming(folder_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    if (rootIsOwnFallback_) fs::remove(root_, ignored);
    ::_exit(0);
  }
  ::close(fds[0]);
  ::waitpid(first, nullptr, 0);
  // fds[1] stays open for the life of the program (and closes on exec, so
  // that no program a test starts keeps the guard waiting).
}

}  // namespace vokar::test
