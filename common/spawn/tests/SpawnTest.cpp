// The spawn helper starting a real program (the probe), which writes down
// what it got: its descriptors, parent, session, folder, arguments, signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "Spawn.h"

namespace {

namespace fs = std::filesystem;
using vokar::spawn::SpawnDetached;
using vokar::spawn::SpawnOptions;
using vokar::spawn::StandardStreams;

// A folder of the test's own under the build's test folder; removed at the
// end, with every probe that was told to stay killed first.
class Spawn : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("VOKAR_TEST_TMP");
    const fs::path root = base != nullptr ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    std::string pattern = (root / "spawn-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }

  void TearDown() override {
    for (const pid_t pid : staying_) {
      ::kill(pid, SIGKILL);
      WaitUntilGone(pid);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // A process that is not our child cannot be waited for: look until it is
  // gone or only a zombie for its new parent to reap.
  static void WaitUntilGone(pid_t pid) {
    for (int i = 0; i < 400; ++i) {
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string pidText, name, state;
      if (!(stat >> pidText >> name >> state) || state == "Z") return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // The probe's report as key -> every value given for it.
  std::multimap<std::string, std::string> Report(const fs::path& file) {
    for (int i = 0; i < 1000 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::multimap<std::string, std::string> values;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      const auto blank = line.find(' ');
      values.emplace(line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1));
    }
    return values;
  }

  static std::string One(const std::multimap<std::string, std::string>& report, const std::string& key) {
    const auto it = report.find(key);
    return it == report.end() ? "(missing)" : it->second;
  }

  static std::vector<std::string> All(const std::multimap<std::string, std::string>& report, const std::string& key) {
    std::vector<std::string> values;
    for (auto [it, end] = report.equal_range(key); it != end; ++it) values.push_back(it->second);
    return values;
  }

  fs::path folder_;
  std::vector<pid_t> staying_;
};

TEST_F(Spawn, ProgramRunsDetachedWithOnlyTheStandardStreamsAndDefaultSignals) {
  // What a starter may hold: an open file without close-on-exec, SIGTERM
  // blocked (programs read it through a signal descriptor) and ignored.
  const int stray = ::open((folder_ / "held").c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(stray, 3);
  sigset_t term, before;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  ASSERT_EQ(::sigprocmask(SIG_BLOCK, &term, &before), 0);
  struct sigaction ignore {}, previousTerm {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGTERM, &ignore, &previousTerm);

  const fs::path out = folder_ / "report";
  const auto result = SpawnDetached(VOKAR_SPAWN_PROBE, {out.string(), "stay"});
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
  ::close(stray);
  ASSERT_TRUE(result.ok()) << result.error;
  staying_.push_back(result.pid);

  const auto report = Report(out);
  EXPECT_EQ(One(report, "pid"), std::to_string(result.pid));
  EXPECT_NE(One(report, "ppid"), std::to_string(::getpid()));
  EXPECT_NE(One(report, "sid"), std::to_string(::getsid(0)));
  EXPECT_EQ(All(report, "fd"), (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(One(report, "stdin"), "/dev/null");
  EXPECT_EQ(One(report, "blocked-term"), "0");
  EXPECT_EQ(One(report, "term-default"), "1");
  // The starter has no child left to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  // And the program is alive on its own, ending on SIGTERM.
  EXPECT_EQ(::kill(result.pid, SIGTERM), 0);
  WaitUntilGone(result.pid);
  std::ifstream stat("/proc/" + std::to_string(result.pid) + "/stat");
  std::string pidText, name, state;
  EXPECT_TRUE(!(stat >> pidText >> name >> state) || state == "Z");
}

TEST_F(Spawn, ArgumentsArriveAsGivenWithNoShellBetween) {
  const std::vector<std::string> arguments{"/L-", "a b", "$HOME", "`touch hacked`", "; touch hacked2", "*",
                                           "", "zażółć \"gęślą\" jaźń", "\\Rst\\"};
  std::vector<std::string> all{(folder_ / "report").string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  SpawnOptions options;
  options.workingDirectory = folder_;
  const auto result = SpawnDetached(VOKAR_SPAWN_PROBE, all, options);
  ASSERT_TRUE(result.ok()) << result.error;
  const auto report = Report(folder_ / "report");
  EXPECT_EQ(All(report, "arg"), arguments);
  EXPECT_FALSE(fs::exists(folder_ / "hacked"));
  EXPECT_FALSE(fs::exists(folder_ / "hacked2"));
}

TEST_F(Spawn, WorkingFolderEnvironmentAndRelativeProgramPath) {
  const fs::path work = folder_ / "work";
  fs::create_directory(work);
  const fs::path probe = fs::path(VOKAR_SPAWN_PROBE);
  const fs::path before = fs::current_path();
  // A program named relative to the starter's folder is still found after the
  // child has entered its working folder.
  fs::current_path(probe.parent_path());
  SpawnOptions options;
  options.workingDirectory = work;
  options.extraEnvironment = {"SPAWN_PROBE_VALUE=zmienione"};
  ::setenv("SPAWN_PROBE_VALUE", "pierwotne", 1);
  const auto result = SpawnDetached(probe.filename(), {(folder_ / "report").string()}, options);
  ::unsetenv("SPAWN_PROBE_VALUE");
  fs::current_path(before);
  ASSERT_TRUE(result.ok()) << result.error;
  const auto report = Report(folder_ / "report");
  EXPECT_EQ(One(report, "cwd"), work.string());
  EXPECT_EQ(One(report, "env"), "zmienione");

  // Without a working folder the starter's own is kept.
  const auto kept = SpawnDetached(VOKAR_SPAWN_PROBE, {(folder_ / "report2").string()});
  ASSERT_TRUE(kept.ok()) << kept.error;
  EXPECT_EQ(One(Report(folder_ / "report2"), "cwd"), before.string());
}

TEST_F(Spawn, FailuresAreReportedWithTheirCause) {
  const fs::path plain = folder_ / "not-a-program";
  std::ofstream(plain) << "echo hello\n";
  fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
  SpawnOptions badFolder;
  badFolder.workingDirectory = folder_ / "missing";
  SpawnOptions badEnvironment;
  badEnvironment.extraEnvironment = {"NO_EQUALS_SIGN"};

  struct Case {
    const char* what;
    fs::path program;
    SpawnOptions options;
    std::string expected;  // a part of the error text
  } cases[] = {
      {"missing file", folder_ / "absent", {}, "cannot run: No such file or directory"},
      {"file without execute permission", plain, {}, "cannot run: Permission denied"},
      {"a folder", folder_, {}, "cannot run: Permission denied"},
      {"missing working folder", VOKAR_SPAWN_PROBE, badFolder, "cannot enter the working folder: No such file"},
      {"no name", fs::path(), {}, "no program named"},
      {"bad environment entry", VOKAR_SPAWN_PROBE, badEnvironment, "bad environment entry \"NO_EQUALS_SIGN\""},
  };
  for (const auto& c : cases) {
    const auto result = SpawnDetached(c.program, {(folder_ / "never").string()}, c.options);
    EXPECT_FALSE(result.ok()) << c.what;
    EXPECT_EQ(result.pid, -1) << c.what;
    EXPECT_NE(result.error.find(c.expected), std::string::npos) << c.what << ": " << result.error;
  }
  EXPECT_FALSE(fs::exists(folder_ / "never"));
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
