// The program the spawn tests start. It writes what it was started with into
// the file named by its first argument (written whole, then renamed into
// place), one "key value" line each:
//   pid, ppid, sid, cwd, fd (one line per open descriptor), arg (one line per
//   argument after the first), blocked-term, term-default, env (the value of
//   SPAWN_PROBE_VALUE), stdin (what descriptor 0 is)
// then, when the second argument is "stay", waits to be killed.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string target = argv[1];
  const std::string temporary = target + ".part";
  FILE* out = std::fopen(temporary.c_str(), "w");
  if (out == nullptr) return 3;
  std::fprintf(out, "pid %d\nppid %d\nsid %d\n", static_cast<int>(getpid()), static_cast<int>(getppid()),
               static_cast<int>(getsid(0)));
  std::error_code error;
  std::fprintf(out, "cwd %s\n", std::filesystem::current_path(error).c_str());
  // The descriptor of the listing itself and of the output file are not the
  // program's own: they are left out.
  DIR* fds = opendir("/proc/self/fd");
  const int listing = fds != nullptr ? dirfd(fds) : -1;
  for (dirent* entry = fds != nullptr ? readdir(fds) : nullptr; entry != nullptr; entry = readdir(fds)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd == listing || fd == fileno(out)) continue;
    std::fprintf(out, "fd %d\n", fd);
  }
  if (fds != nullptr) closedir(fds);
  for (int i = 2; i < argc; ++i) std::fprintf(out, "arg %s\n", argv[i]);
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  std::fprintf(out, "blocked-term %d\n", sigismember(&blocked, SIGTERM));
  struct sigaction term {};
  sigaction(SIGTERM, nullptr, &term);
  std::fprintf(out, "term-default %d\n", term.sa_handler == SIG_DFL ? 1 : 0);
  const char* value = std::getenv("SPAWN_PROBE_VALUE");
  std::fprintf(out, "env %s\n", value != nullptr ? value : "(unset)");
  std::fprintf(out, "stdin %s\n", std::filesystem::read_symlink("/proc/self/fd/0", error).c_str());
  std::fclose(out);
  std::filesystem::rename(temporary, target, error);
  if (argc > 2 && std::string(argv[2]) == "stay") {
    while (true) pause();
  }
  return 0;
}
