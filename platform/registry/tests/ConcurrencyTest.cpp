// Several programs saving settings at the same moment: each is a real process
// with its own connection to the same hive.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Registry.h"
#include "helpers/FreshRegistry.h"

extern char** environ;

namespace {

using namespace vokar::registry;

class Concurrency : public FreshRegistry {};

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

TEST_F(Concurrency, EightWritersLoseNothing) {
  constexpr int kWriters = 8;
  constexpr int kValues = 200;
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    // Half the writers share one key, the others have keys of their own.
    const std::string key = w % 2 ? "Software\\Quillmark\\Shared" : "Software\\Quillmark\\Own" + std::to_string(w);
    const pid_t pid = Spawn({VOKAR_TEST_WRITER, key, "w" + std::to_string(w) + "-", std::to_string(kValues)});
    ASSERT_GT(pid, 0);
    writers.push_back(pid);
  }
  for (const pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
  }
  std::size_t total = 0;
  for (int w = 0; w < kWriters; ++w) {
    const std::string path = w % 2 ? "Software\\Quillmark\\Shared" : "Software\\Quillmark\\Own" + std::to_string(w);
    auto key = Key::Open(Root::CurrentUser, path);
    ASSERT_TRUE(key);
    for (int i = 0; i < kValues; ++i) {
      const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
      auto value = key->Query(name);
      ASSERT_TRUE(value) << name;
      if (i % 2) {
        EXPECT_EQ(std::get<std::uint32_t>(value.value()), static_cast<std::uint32_t>(i));
      } else {
        EXPECT_EQ(std::get<std::string>(value.value()), name + "-text");
      }
      ++total;
    }
  }
  EXPECT_EQ(total, static_cast<std::size_t>(kWriters * kValues));
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Shared")->Values()->size(), 4u * kValues);
}

TEST_F(Concurrency, ForkedChildOpensItsOwnConnection) {
  // The parent's connection is open (and cached) before the fork.
  auto key = Key::Create(Root::CurrentUser, "Software\\Fork");
  ASSERT_TRUE(key->Set("parent", Value(1u)));
  const pid_t child = ::fork();
  if (child == 0) {
    auto mine = Key::Create(Root::CurrentUser, "Software\\Fork");
    const bool ok = mine && mine->Set("child", Value(2u));
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(key->QueryDword("child").value(), 2u);
  // The parent's connection still works after the child ended.
  EXPECT_TRUE(key->Set("after", Value(3u)));
}

}  // namespace
