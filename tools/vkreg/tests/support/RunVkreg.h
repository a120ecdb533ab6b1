// Runs vkreg as a real process, as a user would, with standard output and
// error caught in files (so that neither pipe can fill up), and optionally
// with a file-size limit (a full disk) or, for root, without the power to
// override file permissions (so that a read-only folder is read-only).
#pragma once

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vokar::testing {

struct VkregOutcome {
  int code = -1;
  std::string out;
  std::string err;
};

struct VkregOptions {
  long fileSizeLimit = -1;       // bytes any file may grow to; -1 for none
  bool withoutOverride = false;  // root loses CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH
  long stackLimit = -1;          // bytes of stack; -1 for the usual
};

inline std::string DrainFile(const std::filesystem::path& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY);
  char buffer[4096];
  ssize_t got;
  while (fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
  if (fd >= 0) ::close(fd);
  return text;
}

inline VkregOutcome RunVkreg(const std::vector<std::string>& args, const std::filesystem::path& scratch,
                             const VkregOptions& options = {}) {
  const auto outPath = scratch / "vkreg.out", errPath = scratch / "vkreg.err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (options.fileSizeLimit >= 0) {
      // A write past the limit then fails with EFBIG, as on a full disk.
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.stackLimit > 0) {
      const rlimit limit{static_cast<rlim_t>(options.stackLimit), static_cast<rlim_t>(options.stackLimit)};
      ::setrlimit(RLIMIT_STACK, &limit);
    }
    if (options.withoutOverride && ::geteuid() == 0) {
      // Dropped from the bounding set, they are gone after exec.
      ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
      ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
    }
    std::vector<char*> argv{const_cast<char*>(VOKAR_VKREG)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(VOKAR_VKREG, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  VkregOutcome run;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = DrainFile(outPath);
  run.err = DrainFile(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

}  // namespace vokar::testing
