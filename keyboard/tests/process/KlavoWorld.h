// What the tests of the real klavo share: one private X server with a window
// manager and the Polish layout for the test program, and per test a private
// desktop, settings store and message log, the speech server (the DDE test
// server logging every request, or the real vokar) found through App Paths,
// a window of another program to type into, and klavo started as a user
// starts it. Everything started is ended when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AppPaths.h"
#include "ClientTestSupport.h"
#include "Profile.h"
#include "TestServerProtocol.h"
#include "support/XSession.h"

namespace vokar::keyboard::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vokar::testing::ChildProcess;
using vokar::testing::ClientWorld;
using vokar::testing::SpawnedProgram;
using vokar::testing::XSession;

// One line of the test server's log.
struct LogEntry {
  std::string kind;  // "start", "poke", "execute"
  std::string text;
};

inline std::string Unescape(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      plain += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

// The output of a program run to its end.
inline std::string ToolOutput(const std::vector<std::string>& argv) {
  std::vector<std::string> arguments(argv.begin() + 1, argv.end());
  ChildProcess child(argv.front(), arguments, true);
  std::string all;
  for (std::string line = child.ReadLine(5000ms); !line.empty(); line = child.ReadLine(2000ms)) all += line + "\n";
  child.StopWithin(SIGKILL, 5000ms);
  return all;
}

inline int RunTool(const std::vector<std::string>& argv) {
  std::vector<std::string> arguments(argv.begin() + 1, argv.end());
  ChildProcess child(argv.front(), arguments);
  const int status = child.StopWithin(0, 10000ms);
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15000ms) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// The X server of the whole test program.
class XEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    session_ = std::make_unique<XSession>(true);
    ASSERT_TRUE(session_->ok()) << "Xvfb or openbox did not start";
    ASSERT_EQ(RunTool({"/usr/bin/setxkbmap", "pl"}), 0);
  }
  void TearDown() override { session_.reset(); }

 private:
  std::unique_ptr<XSession> session_;
};

class KlavoWorld {
 public:
  KlavoWorld() {
    // X programs are run by their full names; PATH leads only to the test's
    // own folder and the system's, never to an installed speech server.
    world_.Set("PATH", world_.bin().string() + ":/usr/bin:/bin");
    world_.Set("QT_QPA_PLATFORM", "xcb");
    world_.Set("XDG_RUNTIME_DIR", world_.desktop().string());
    world_.Set("HOME", world_.folder().string());
    world_.Set("VOKAR_DATA_DIR", VOKAR_STAGE_DATA);
  }
  ~KlavoWorld() {
    klavo_.reset();
    target_.reset();
  }

  ClientWorld& world() { return world_; }
  fs::path ServerLog() const { return world_.folder() / "server.log"; }

  // The DDE test server answers for the speech server, each reading job
  // lasting jobMs.
  void UseTestServer(int jobMs) {
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_DDE_TESTSERVER).ok());
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + ServerLog().string() + " --job-ms " + std::to_string(jobMs));
  }
  // The real speech server, speaking into WAV files.
  void UseRealServer(const fs::path& wav) {
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_SERVER).ok());
    world_.Set("VOKAR_WAVEOUT", "wav:" + wav.string());
  }

  void Store(const std::string& section, const std::string& name, const std::string& value) {
    ASSERT_TRUE(Settings().WriteString(section, name, value).ok());
  }
  registry::Profile Settings() const { return registry::Profile("Quillmark", "Klavo"); }
  std::optional<std::string> Stored(const std::string& section, const std::string& name) const {
    const auto profile = Settings();
    if (!profile.Has(section, name)) return std::nullopt;
    return profile.GetString(section, name, "");
  }
  std::optional<int> StoredInt(const std::string& section, const std::string& name) const {
    const auto profile = Settings();
    if (!profile.Has(section, name)) return std::nullopt;
    return profile.GetInt(section, name, -12345);
  }

  // klavo as a user starts it; true once it has connected and played its
  // start-up sound (the test server's log shows the poke).
  bool StartKlavo(bool waitForSound = true) {
    klavo_ = std::make_unique<ChildProcess>(VOKAR_KLAVO, std::vector<std::string>{});
    if (!klavo_->started()) return false;
    // The window is shown after the start-up sound; the window manager gives
    // it the focus, which tests take away from it only after that.
    const bool shown = Eventually([] {
      return !ToolOutput({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Klavo$"}).empty();
    }, 20000ms);
    if (!shown) {
      std::string log;
      for (const auto& entry : Log()) log += "  " + entry.kind + " [" + entry.text + "]\n";
      std::string messages;
      for (const auto& text : world_.MessageTexts()) messages += "  " + text + "\n";
      ADD_FAILURE() << "klavo's window was not shown; klavo " << (klavo_->Running() ? "runs" : "ended")
                    << "; the server's log:\n" << log << "messages:\n" << messages << "windows:\n"
                    << ToolOutput({"/bin/sh", "-c", "echo DISPLAY=$DISPLAY; /usr/bin/xwininfo -root -tree 2>&1 | head -30; echo rc=$?; ps -eo pid,stat,pcpu,etime,args | grep -E 'Xvfb|openbox|klavo' | grep -v grep"});
      return false;
    }
    if (!waitForSound) return true;
    return Eventually([&] { return CountAccepted("\\Alf=(on1)\\\\Alf=(p010)\\") >= 1; }, 15000ms);
  }
  ChildProcess& klavo() { return *klavo_; }
  // Ends klavo as the session does (SIGTERM); its exit status, or -1.
  int StopKlavo() {
    const int status = klavo_->StopWithin(SIGTERM, 10000ms);
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Another program's window takes the focus, so that klavo's own window is
  // not the active one.
  void FocusOtherProgram() {
    if (!target_) {
      target_ = std::make_unique<SpawnedProgram>(
          std::vector<std::string>{"/usr/bin/xmessage", "-geometry", "300x80+20+20", "-name", "cel", "notatnik"});
    }
    std::string id;
    Eventually([&] {
      id = ToolOutput({"/usr/bin/xdotool", "search", "--classname", "cel"});
      return !id.empty();
    });
    ASSERT_FALSE(id.empty()) << "the other program's window";
    id = id.substr(0, id.find('\n'));
    ASSERT_EQ(RunTool({"/usr/bin/xdotool", "windowactivate", "--sync", id}), 0);
    // Qt tells klavo that its window is no longer active once the focus has
    // stayed away for 400 ms; a loaded machine needs a little more.
    std::this_thread::sleep_for(1000ms);
  }

  void Type(const std::string& text, int delayMs = 30) {
    ASSERT_EQ(RunTool({"/usr/bin/xdotool", "type", "--delay", std::to_string(delayMs), text}), 0);
  }
  void Key(const std::string& combination) { ASSERT_EQ(RunTool({"/usr/bin/xdotool", "key", combination}), 0); }

  std::vector<LogEntry> Log() const {
    std::vector<LogEntry> entries;
    for (const auto& line : ClientWorld::Lines(ServerLog())) {
      const auto blank = line.find(' ');
      entries.push_back({line.substr(0, blank), blank == std::string::npos ? "" : Unescape(line.substr(blank + 1))});
    }
    return entries;
  }
  // The texts the server took: a poke followed by "read".
  std::vector<std::string> Accepted() const {
    const auto entries = Log();
    std::vector<std::string> accepted;
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
      if (entries[i].kind == "poke" && entries[i + 1].kind == "execute" && entries[i + 1].text == "read") {
        accepted.push_back(entries[i].text);
      }
    }
    return accepted;
  }
  int CountAccepted(const std::string& text) const {
    int count = 0;
    for (const auto& accepted : Accepted()) count += accepted == text ? 1 : 0;
    return count;
  }
  // Every poke, taken or refused.
  std::vector<std::string> Pokes() const {
    std::vector<std::string> pokes;
    for (const auto& entry : Log()) {
      if (entry.kind == "poke") pokes.push_back(entry.text);
    }
    return pokes;
  }
  // On a timeout the server's log is shown, to tell what came instead.
  bool WaitForAccepted(const std::string& text, std::chrono::milliseconds timeout = 15000ms) const {
    if (Eventually([&] { return CountAccepted(text) >= 1; }, timeout)) return true;
    std::string log;
    for (const auto& entry : Log()) log += "  " + entry.kind + " [" + entry.text + "]\n";
    ADD_FAILURE() << "not accepted: [" << text << "]; the server's log:\n" << log;
    return false;
  }

 private:
  ClientWorld world_;
  std::unique_ptr<SpawnedProgram> target_;
  std::unique_ptr<ChildProcess> klavo_;
};

}  // namespace vokar::keyboard::testing
