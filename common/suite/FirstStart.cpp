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

extern char** environ;

namespace vokar::suite {

bool IsBuildFolder(const std::filesystem::path& programsDir) {
  std::error_code ignored;
  return std::filesystem::exists(programsDir / ".." / "CMakeCache.txt", ignored);
}

bool IsRegistered() {
  auto record = registry::Key::Open(registry::Root::CurrentUser, kRecordKey);
  if (!record) return false;
  auto directory = record->QueryString(kDirectoryValue);
  return directory && !directory->empty();
}

FirstStart RegisterOnFirstStart(std::filesystem::path programsDir, std::chrono::milliseconds timeout) {
  // The build folder is looked at first, so that a program run from it does
  // not even open the user's settings store.
  if (programsDir.empty()) programsDir = paths::ExecutableDir();
  if (programsDir.empty() || IsBuildFolder(programsDir)) return FirstStart::BuildFolder;
  if (IsRegistered()) return FirstStart::AlreadyRegistered;

  const std::string installer = (programsDir / kInstallerExecutable).string();
  std::vector<char*> argv{const_cast<char*>(installer.c_str()), const_cast<char*>("--quiet"), nullptr};
  pid_t pid = -1;
  if (const int error = ::posix_spawn(&pid, installer.c_str(), nullptr, nullptr, argv.data(), environ); error != 0) {
    std::cerr << "Vokar: cannot run " << installer << ": " << std::strerror(error) << "\n";
    return FirstStart::Failed;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return FirstStart::Failed;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      std::cerr << "Vokar: " << installer << " did not finish in time\n";
      return FirstStart::Failed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return FirstStart::Registered;
  std::cerr << "Vokar: " << installer << " failed; the suite is not registered for this user\n";
  return FirstStart::Failed;
}

}  // namespace vokar::suite
