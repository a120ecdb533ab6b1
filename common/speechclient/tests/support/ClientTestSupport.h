// What the tests of the speech client and of its programs share: a private
// desktop, settings store, message log and PATH per test, in a folder of the
// test's own under the build's test folder; and the end of every process the
// test started, directly or through a client (such a server is no child of
// the test, so it is found by the desktop folder in its environment).
#pragma once

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "MessageBox.h"
#include "PrivateUser.h"
#include "ScopedEnvironment.h"
#include "TestSupport.h"

namespace vokar::testing {

// Every process other than this one whose environment names the folder as its
// desktop.
inline std::vector<pid_t> ProcessesOnDesktop(const std::filesystem::path& desktop) {
  const std::string marker = "VOKAR_DESKTOP_DIR=" + desktop.string();
  std::vector<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return found;
  for (dirent* entry = ::readdir(proc); entry != nullptr; entry = ::readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0 || pid == ::getpid()) continue;
    std::ifstream environment("/proc/" + std::string(entry->d_name) + "/environ", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(environment)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find('\0', start);
      const std::string variable = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (variable == marker) {
        found.push_back(pid);
        break;
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  ::closedir(proc);
  return found;
}

// True when the process has ended (a zombie waiting for its parent counts).
inline bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidText, name, state;
  return !(stat >> pidText >> name >> state) || state == "Z";
}

inline void KillAndWait(pid_t pid) {
  ::kill(pid, SIGCONT);
  ::kill(pid, SIGKILL);
  for (int i = 0; i < 1000 && !ProcessGone(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

class ClientWorld {
 public:
  ClientWorld() {
    const char* base = std::getenv("VOKAR_TEST_TMP");
    const std::filesystem::path root = base != nullptr ? base : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(root);
    std::string pattern = (root / "client-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    for (const char* sub : {"registry", "config", "bin", "work"}) std::filesystem::create_directory(folder_ / sub);
    // A user of the world's own: its home, XDG folders, runtime folder and
    // no session bus.
    vokar::test::MakePrivateUserFolders(folder_);
    for (const auto& [name, value] : vokar::test::PrivateUserEnvironment(folder_)) Set(name, value);
    Set("VOKAR_REGISTRY_DIR", (folder_ / "registry").string());
    Set("VOKAR_CONFIG_DIR", (folder_ / "config").string());
    Set("VOKAR_MSGBOX_LOG", messageLog().string());
    Set("PATH", (folder_ / "bin").string());
    Unset("VOKAR_MSGBOX_ANSWER");
    Unset("VOKAR_TESTSERVER_OPTIONS");
  }
  ~ClientWorld() { EndEverything(); }
  ClientWorld(const ClientWorld&) = delete;
  ClientWorld& operator=(const ClientWorld&) = delete;

  // Ends every process on the test's desktop (servers started by a client
  // included), then removes the folders and gives the environment back.
  void EndEverything() {
    for (int round = 0; round < 3; ++round) {
      const auto pids = ProcessesOnDesktop(desktop_.folder());
      if (pids.empty()) break;
      for (const pid_t pid : pids) KillAndWait(pid);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    environment_.Restore();
  }

  void Set(const std::string& name, const std::string& value) { environment_.Set(name, value); }
  void Unset(const std::string& name) { environment_.Unset(name); }

  const std::filesystem::path& folder() const { return folder_; }
  const std::filesystem::path& desktop() const { return desktop_.folder(); }
  std::filesystem::path bin() const { return folder_ / "bin"; }
  std::filesystem::path messageLog() const { return folder_ / "messages.log"; }

  std::vector<msgbox::LoggedMessage> Messages() const { return msgbox::ReadMessageLog(messageLog()); }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& message : Messages()) texts.push_back(message.text);
    return texts;
  }

  // The lines of a log file (missing file: none).
  static std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  PrivateDesktop desktop_;
  std::filesystem::path folder_;
  vokar::test::ScopedEnvironment environment_;
};

}  // namespace vokar::testing
