// Named objects between real processes: a helper program holds, waits on or
// sets them while this test does the other side.
#include "NamedObjects.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace vokar::named;
using namespace std::chrono_literals;

class Helper {
 public:
  explicit Helper(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      std::vector<char*> argv{const_cast<char*>(VOKAR_NAMED_HELPER)};
      for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(VOKAR_NAMED_HELPER, argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
  }
  ~Helper() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // The next line the helper prints, or "" when none comes within 10 s.
  std::string Line() {
    std::string line;
    while (true) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) return "";
      char c;
      if (::read(out_, &c, 1) != 1) return line;
      if (c == '\n') return line;
      line += c;
    }
  }
  void Kill() {
    ::kill(pid_, SIGKILL);
    Reap();
  }
  int Reap() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool reaped_ = false;
};

class NamedObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const char* base = std::getenv("VOKAR_TEST_TMP");
    dir_ = std::filesystem::path(base && *base ? base : "/tmp") /
           ("named-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)) / "desktop";
    std::filesystem::remove_all(dir_.parent_path());
    ::setenv("VOKAR_DESKTOP_DIR", dir_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_.parent_path()); }
  std::filesystem::path dir_;
};

TEST_F(NamedObjects, SemaphoreIsFreedWhenItsHolderIsKilled) {
  Helper first({"hold-semaphore", "VokarInstance"});
  ASSERT_EQ(first.Line(), "created");
  {
    auto mine = NamedSemaphore::Create("VokarInstance");
    ASSERT_TRUE(mine) << mine.error().description;
    EXPECT_TRUE(mine->AlreadyExisted());
  }
  Helper second({"hold-semaphore", "VokarInstance"});
  EXPECT_EQ(second.Line(), "existed");
  second.Kill();
  // The second start held nothing, so the first still owns it.
  EXPECT_TRUE(NamedSemaphore::Create("VokarInstance")->AlreadyExisted());

  first.Kill();
  auto mine = NamedSemaphore::Create("VokarInstance");
  ASSERT_TRUE(mine);
  EXPECT_EQ(mine->origin(), Origin::Created);
  Helper third({"hold-semaphore", "VokarInstance"});
  EXPECT_EQ(third.Line(), "existed");
}

TEST_F(NamedObjects, SemaphoreInOneProcessAndOtherNames) {
  auto first = NamedSemaphore::Create("VokarInstance");
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->AlreadyExisted());
  EXPECT_TRUE(NamedSemaphore::Create("VokarInstance")->AlreadyExisted());
  // Names are case-sensitive and any bytes are allowed.
  EXPECT_FALSE(NamedSemaphore::Create("vokarinstance")->AlreadyExisted());
  EXPECT_FALSE(NamedSemaphore::Create("../Vokar/Instance ż")->AlreadyExisted());
  EXPECT_FALSE(NamedSemaphore::Create(""));
  {
    const NamedSemaphore moved = std::move(first).value();
    EXPECT_TRUE(NamedSemaphore::Create("VokarInstance")->AlreadyExisted());
  }
  EXPECT_FALSE(NamedSemaphore::Create("VokarInstance")->AlreadyExisted());
  // Only plain files inside the folder.
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
  }
}

TEST_F(NamedObjects, EventSetByOneProcessReleasesAnothersWait) {
  auto event = NamedEvent::CreateOrOpen("Server_VOKAR_Started", InitialState::NotSignaled);
  ASSERT_TRUE(event) << event.error().description;
  EXPECT_EQ(event->origin(), Origin::Created);
  Helper waiter({"wait-event", "Server_VOKAR_Started", "20000"});
  ASSERT_EQ(waiter.Line(), "waiting");
  ASSERT_TRUE(event->Set());
  EXPECT_EQ(waiter.Line(), "signaled");
  EXPECT_EQ(waiter.Reap(), 0);

  // And the other way round: this process waits, a helper sets.
  ASSERT_TRUE(event->Reset());
  Helper setter({"set-event", "Server_VOKAR_Started"});
  EXPECT_EQ(event->Wait(20000ms), WaitResult::Signaled);
  EXPECT_EQ(setter.Line(), "set");
}

TEST_F(NamedObjects, ManualResetAndTimeouts) {
  auto event = NamedEvent::CreateOrOpen("E", InitialState::NotSignaled);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->Wait(0ms), WaitResult::TimedOut);
  EXPECT_EQ(event->Wait(150ms), WaitResult::TimedOut);
  ASSERT_TRUE(event->Set());
  // It stays set for every waiter until it is reset.
  EXPECT_EQ(event->Wait(0ms), WaitResult::Signaled);
  EXPECT_EQ(event->Wait(kWaitForever), WaitResult::Signaled);
  Helper waiter({"wait-event", "E", "0"});
  EXPECT_EQ(waiter.Line(), "waiting");
  EXPECT_EQ(waiter.Line(), "signaled");
  ASSERT_TRUE(event->Reset());
  Helper late({"wait-event", "E", "100"});
  EXPECT_EQ(late.Line(), "waiting");
  EXPECT_EQ(late.Line(), "timeout");
  EXPECT_EQ(late.Reap(), 1);
  // An event created set starts set.
  auto set = NamedEvent::CreateOrOpen("Other", InitialState::Signaled);
  EXPECT_TRUE(set->IsSet());
}

TEST_F(NamedObjects, EventOutlivesItsCreatorWhileOthersHoldIt) {
  Helper creator({"hold-event", "Server_VOKAR_Started", "0"});
  ASSERT_EQ(creator.Line(), "created");
  auto opened = NamedEvent::Open("Server_VOKAR_Started");
  ASSERT_TRUE(opened) << opened.error().description;
  EXPECT_EQ(opened->origin(), Origin::AlreadyExisted);
  creator.Kill();
  // Still there for this holder and for anyone else who opens it.
  Helper setter({"set-event", "Server_VOKAR_Started"});
  EXPECT_EQ(setter.Line(), "set");
  EXPECT_EQ(opened->Wait(5000ms), WaitResult::Signaled);
  auto again = NamedEvent::CreateOrOpen("Server_VOKAR_Started", InitialState::NotSignaled);
  EXPECT_EQ(again->origin(), Origin::AlreadyExisted);
  EXPECT_TRUE(again->IsSet());
}

TEST_F(NamedObjects, EventOfADeadCreatorIsGone) {
  Helper creator({"hold-event", "Server_VOKAR_Started", "1"});
  ASSERT_EQ(creator.Line(), "created");
  creator.Kill();
  // Nobody holds it any more: opening fails and a new creator starts afresh,
  // not with the old set state.
  EXPECT_FALSE(NamedEvent::Open("Server_VOKAR_Started"));
  Helper setter({"set-event", "Server_VOKAR_Started"});
  EXPECT_EQ(setter.Line(), "error");
  auto fresh = NamedEvent::CreateOrOpen("Server_VOKAR_Started", InitialState::NotSignaled);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->origin(), Origin::Created);
  EXPECT_FALSE(fresh->IsSet());
}

TEST_F(NamedObjects, RuntimeFolderIsPrivate) {
  auto dir = RuntimeDir();
  ASSERT_TRUE(dir) << dir.error().description;
  EXPECT_EQ(dir.value(), dir_);
  struct stat info {};
  ASSERT_EQ(::stat(dir_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A folder left open to others is closed again.
  ::chmod(dir_.c_str(), 0755);
  ASSERT_TRUE(RuntimeDir());
  ::stat(dir_.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // A symbolic link in its place is refused.
  const auto link = dir_.parent_path() / "link";
  std::filesystem::create_directory_symlink(dir_, link);
  ::setenv("VOKAR_DESKTOP_DIR", link.c_str(), 1);
  EXPECT_FALSE(RuntimeDir());
  EXPECT_FALSE(NamedSemaphore::Create("VokarInstance"));

  ::unsetenv("VOKAR_DESKTOP_DIR");
  const auto runtime = dir_.parent_path() / "xdg";
  std::filesystem::create_directories(runtime);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  EXPECT_EQ(RuntimeDir().value(), runtime / "vokar");
}

TEST(EncodeName, KeepsSafeBytesOnly) {
  EXPECT_EQ(EncodeName("Server_VOKAR_Started"), "Server_VOKAR_Started");
  EXPECT_EQ(EncodeName("../a b"), "%2E%2E%2Fa%20b");
  EXPECT_EQ(EncodeName("ż"), "%C5%BC");
}

}  // namespace
