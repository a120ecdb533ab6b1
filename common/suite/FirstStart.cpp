#include "FirstStart.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

#include "DataDirs.h"
#include "Registry.h"
#include "Suite.h"
#include "Uninstalling.h"

extern char** environ;

namespace vokar::suite {

bool IsBuildFolder(const std::filesystem::path& programsDir) {
  std::error_code ignored;
  return std::filesystem::exists(programsDir / ".." / "CMakeCache.txt", ignored);
}

bool IsRegistered() {
  auto record = registry::Key::Open(registry::Root::CurrentUser, kRecordKey);
  if (!record) return false;
  for (const auto name : {kProgramsValue, kDirectoryValue}) {
    auto value = record->QueryString(name);
    if (value && !value->empty()) return true;
  }
  return false;
}

bool RunInstaller(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout,
                  std::filesystem::path programsDir) {
  if (programsDir.empty()) programsDir = paths::ExecutableDir();
  const std::string installer = (programsDir / kInstallerExecutable).string();
  std::vector<std::string> words{installer};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (const int error = ::posix_spawn(&pid, installer.c_str(), nullptr, nullptr, argv.data(), environ); error != 0) {
    std::cerr << "Vokar: cannot run " << installer << ": " << std::strerror(error) << "\n";
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      std::cerr << "Vokar: " << installer << " did not finish in time\n";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  std::cerr << "Vokar: " << installer << " failed\n";
  return false;
}

FirstStart RegisterOnFirstStart(std::filesystem::path programsDir, std::chrono::milliseconds timeout) {
  // The build folder is looked at first, so that a program run from it does
  // not even open the user's settings store.
  if (programsDir.empty()) programsDir = paths::ExecutableDir();
  if (programsDir.empty() || IsBuildFolder(programsDir)) return FirstStart::BuildFolder;
  if (IsRegistered()) return FirstStart::AlreadyRegistered;
  if (UninstallerRuns()) return FirstStart::Uninstalling;
  if (RunInstaller({"--first-start", "--quiet"}, timeout, programsDir)) return FirstStart::Registered;
  std::cerr << "Vokar: the suite is not registered for this user\n";
  return FirstStart::Failed;
}

}  // namespace vokar::suite
