// Support for tests that install and remove the suite with real processes: a
// user of the test's own (home, XDG folders, settings store, desktop folder,
// message-box log, all inside one test folder), a programs folder staged with
// copies of the real tools, and runs of programs with exactly that
// environment, each with a timeout and always reaped.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PrivateUser.h"
#include "TestBytes.h"
#include "TestFolder.h"

namespace vokar::test {

struct RunResult {
  int exitCode = -1;  // -1 when the program did not end by itself
  std::string out;
  std::string err;
};

// A started program, killed and reaped when the object goes.
class Process {
 public:
  Process(const std::filesystem::path& program, const std::vector<std::string>& arguments,
          const std::map<std::string, std::string>& environment, const std::filesystem::path& outFile,
          const std::filesystem::path& errFile, const std::filesystem::path& workingDir = {}) {
    std::vector<std::string> argStrings{program.string()};
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : environment) envStrings.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int in = ::open("/dev/null", O_RDONLY);
      const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (!workingDir.empty() && ::chdir(workingDir.c_str()) != 0) ::_exit(126);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }

  // The exit code, or -1 after killing a program that did not end in time.
  int Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void Terminate() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGTERM);
      Wait(std::chrono::seconds(5));
    }
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

// One user of the suite inside a test folder.
class UserSandbox {
 public:
  explicit UserSandbox(std::string_view label = "user") : folder_(label) {
    for (const char* dir : {"home", "registry", "runtime", "cache", "tmp"}) std::filesystem::create_directories(folder_ / dir);
    std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all);
    // The desktop's sockets need a short path: a folder of its own beside the test's.
    std::string pattern = (TestFolder::Root() / "desk-XXXXXX").string();
    std::filesystem::create_directories(TestFolder::Root());
    if (::mkdtemp(pattern.data()) != nullptr) desktop_ = pattern;
  }
  ~UserSandbox() {
    std::error_code ignored;
    if (!desktop_.empty()) std::filesystem::remove_all(desktop_, ignored);
  }
  UserSandbox(const UserSandbox&) = delete;
  UserSandbox& operator=(const UserSandbox&) = delete;

  const std::filesystem::path& path() const { return folder_.path(); }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return folder_ / name; }
  const TestFolder& folder() const { return folder_; }

  std::filesystem::path home() const { return folder_ / "home"; }
  std::filesystem::path dataHome() const { return home() / ".local" / "share"; }
  std::filesystem::path configHome() const { return home() / ".config"; }
  std::filesystem::path autostart() const { return configHome() / "autostart"; }
  std::filesystem::path applications() const { return dataHome() / "applications"; }
  std::filesystem::path group() const { return applications() / "Quillmark Vokar 1.1"; }
  std::filesystem::path workingDir() const { return dataHome() / "quillmark" / "vokar"; }
  std::filesystem::path messageLog() const { return folder_ / "messages.log"; }

  // Only what the programs need; nothing of the real user's environment.
  std::map<std::string, std::string> Environment() const {
    std::map<std::string, std::string> env{
        {"HOME", home().string()},
        {"PATH", "/usr/bin:/bin"},
        {"XDG_RUNTIME_DIR", (folder_ / "runtime").string()},
        // Caches (fonts) outside the home, so that the home holds only what
        // the suite and the test put there.
        {"XDG_CACHE_HOME", (folder_ / "cache").string()},
        // Temporary files (lintian's, dpkg's) in the test's folder too.
        {"TMPDIR", (folder_ / "tmp").string()},
        {"VOKAR_REGISTRY_DIR", (folder_ / "registry").string()},
        {"VOKAR_DESKTOP_DIR", desktop_.string()},
        {"VOKAR_CONFIG_DIR", (folder_ / "config").string()},
        {"VOKAR_MSGBOX_LOG", messageLog().string()},
        {"QT_QPA_PLATFORM", "offscreen"},
        {"LANG", "C.UTF-8"},
    };
    AddPrivateUser(env, folder_.path());
    for (const auto& [name, value] : extra_) env[name] = value;
    return env;
  }
  void Set(const std::string& name, const std::string& value) { extra_[name] = value; }

  RunResult Run(const std::filesystem::path& program, const std::vector<std::string>& arguments = {},
                std::chrono::milliseconds timeout = std::chrono::seconds(60),
                const std::filesystem::path& workingDir = {}) {
    const auto out = folder_ / ("run-" + std::to_string(runs_) + ".out");
    const auto err = folder_ / ("run-" + std::to_string(runs_) + ".err");
    ++runs_;
    Process process(program, arguments, Environment(), out, err, workingDir);
    RunResult result;
    result.exitCode = process.Wait(timeout);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
  }

  // Starts a program in the background; its output goes to NAME.out and NAME.err.
  std::unique_ptr<Process> Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                 const std::string& name, const std::filesystem::path& workingDir = {}) {
    return std::make_unique<Process>(program, arguments, Environment(), folder_ / (name + ".out"),
                                     folder_ / (name + ".err"), workingDir);
  }

  // Waits until the program started as NAME has written the text.
  bool WaitForOutput(const std::string& name, const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (ReadAll(folder_ / (name + ".out")).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  // Every message box the programs showed, one record per line.
  std::vector<std::string> Messages() const {
    std::vector<std::string> lines;
    std::ifstream in(messageLog());
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }

 private:
  TestFolder folder_;
  std::filesystem::path desktop_;
  std::map<std::string, std::string> extra_;
  int runs_ = 0;
};

// Every file, folder and link below a folder, by its path relative to it
// (folders with a final "/", links with " -> " and their target), sorted:
// a picture of a home to compare before and after.
inline std::vector<std::string> Tree(const std::filesystem::path& folder) {
  std::vector<std::string> entries;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = std::filesystem::relative(it->path(), folder).string();
    if (it->is_symlink()) {
      name += " -> " + std::filesystem::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      name += "/";
    }
    entries.push_back(name);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Copies a file keeping its permissions; the copy replaces an older one.
inline void CopyProgram(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to.parent_path());
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(to, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                       std::filesystem::perms::group_exec);
}

// A MIME package of the user's own in their data home, a type the suite
// knows nothing of (text/x-moje-notatki for "*.notatki"); its database is
// left for the test to build.
inline void WriteUsersOwnMimePackage(const UserSandbox& user) {
  user.folder().Write("home/.local/share/mime/packages/moje-notatki.xml",
                      "<?xml version=\"1.0\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                      "  <mime-type type=\"text/x-moje-notatki\"><comment>Moje notatki</comment>"
                      "<glob pattern=\"*.notatki\"/></mime-type>\n</mime-info>\n");
}

}  // namespace vokar::test
