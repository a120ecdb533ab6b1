#include "DesktopFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TestSupport.h"

namespace {

using namespace vokar::desktop;

class EnvironmentGuard {
 public:
  explicit EnvironmentGuard(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) saved_ = value;
  }
  ~EnvironmentGuard() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(DesktopFolder, ChosenFromTheEnvironment) {
  EnvironmentGuard desktop("VOKAR_DESKTOP_DIR");
  EnvironmentGuard runtime("XDG_RUNTIME_DIR");
  ::setenv("VOKAR_DESKTOP_DIR", "/tmp/private-desktop", 1);
  ::setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
  EXPECT_EQ(DesktopFolder(), std::filesystem::path("/tmp/private-desktop"));
  ::unsetenv("VOKAR_DESKTOP_DIR");
  EXPECT_EQ(DesktopFolder(), std::filesystem::path("/run/user/77/vokar"));
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(DesktopFolder(), std::filesystem::path("/tmp/vokar-" + std::to_string(::geteuid())));
}

TEST(DesktopFolder, CreatedPrivateAndNeverAFileOrAWideOpenFolder) {
  vokar::testing::PrivateDesktop scratch;
  const auto folder = scratch.folder() / "desk";
  ASSERT_FALSE(PrepareDesktopFolder(folder).has_value());
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  ::chmod(folder.c_str(), 0777);
  ASSERT_FALSE(PrepareDesktopFolder(folder).has_value());
  ::stat(folder.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  const auto file = scratch.folder() / "plain";
  std::ofstream(file) << "x";
  const auto error = PrepareDesktopFolder(file);
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find("not a directory"), std::string::npos);

  // A symbolic link planted in the folder's place is not followed.
  const auto link = scratch.folder() / "link";
  std::filesystem::create_directory_symlink(folder, link);
  EXPECT_TRUE(PrepareDesktopFolder(link).has_value());
}

TEST(DesktopFolder, FileNamesMapToHandlesAndBack) {
  const WindowHandle window{0x00001234'0000abcdULL};
  const auto path = EndpointPath("/d", window, EndpointFile::Socket);
  EXPECT_EQ(path, std::filesystem::path("/d/000012340000abcd.sock"));
  EXPECT_EQ(HandleOfFileName(path.filename().string()), window);
  EXPECT_EQ(HandleOfFileName("000012340000abcd.lock.tmp"), window);
  EXPECT_FALSE(HandleOfFileName("000012340000ABCD.sock").has_value());
  EXPECT_FALSE(HandleOfFileName("0000000000000000.sock").has_value());
  EXPECT_FALSE(HandleOfFileName("00001234.sock").has_value());
  EXPECT_FALSE(HandleOfFileName("readme").has_value());
}

TEST(DesktopFolder, TitleFilesAreReplacedWholeAndLongOnesRejected) {
  vokar::testing::PrivateDesktop scratch;
  const WindowHandle window{0x00000001'00000001ULL};
  ASSERT_TRUE(WriteTitleFile(scratch.folder(), window, "Vokar"));
  ASSERT_TRUE(WriteTitleFile(scratch.folder(), window, std::string("Zegar \xB9\x9C", 8)));
  EXPECT_EQ(ReadTitleFile(scratch.folder(), window), std::string("Zegar \xB9\x9C", 8));
  EXPECT_EQ(scratch.Files().size(), 1u);  // no temporary file left behind

  std::ofstream(EndpointPath(scratch.folder(), window, EndpointFile::Title)) << std::string(kMaxTitle + 1, 'a');
  EXPECT_FALSE(ReadTitleFile(scratch.folder(), window).has_value());
}

TEST(DesktopFolder, FilesOfAProcessThatDoesNotExistAreRemovedWhenMet) {
  vokar::testing::PrivateDesktop scratch;
  // A child that has ended and been reaped leaves a pid that no process has.
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const WindowHandle stale{(std::uint64_t{static_cast<std::uint32_t>(gone)} << 32) | 5};
  for (auto file : {EndpointFile::Socket, EndpointFile::Lock}) std::ofstream(EndpointPath(scratch.folder(), stale, file));
  WriteTitleFile(scratch.folder(), stale, "Vokar");
  std::ofstream(scratch.folder() / "unrelated.txt") << "kept";

  EXPECT_TRUE(ScanWindows(scratch.folder(), std::string_view("Vokar"), ScanMode::FirstMatch).empty());
  EXPECT_EQ(scratch.Files(), std::vector<std::string>{"unrelated.txt"});
}

TEST(DesktopFolder, AnUnlockedLockMeansTheWindowIsGone) {
  vokar::testing::PrivateDesktop scratch;
  // Our own pid, so only the lock can tell: nobody holds it.
  const WindowHandle window{(std::uint64_t{static_cast<std::uint32_t>(::getpid())} << 32) | 0xFFFF0000u};
  std::ofstream(EndpointPath(scratch.folder(), window, EndpointFile::Lock));
  WriteTitleFile(scratch.folder(), window, "Vokar");
  EXPECT_FALSE(EndpointAlive(scratch.folder(), window));
  EXPECT_TRUE(scratch.Files().empty());
}

}  // namespace

namespace {

// A program that looks through the folder while another makes its window
// must never take the new window for a dead one (and remove its files), nor
// make its creation fail. The window's lock is made under a temporary name
// and renamed into place, so a look can fall between the two names; it also
// tries the lock of a window being made, which the maker must not take for
// a lock held by someone else. A child makes and destroys windows as fast as
// it can while this process looks through the folder without pause.
TEST(DesktopFolder, WindowsBeingMadeAreNeverTakenForDeadOnesByThoseWhoLook) {
  vokar::testing::PrivateDesktop scratch;
  constexpr int kWindows = 1000;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t maker = ::fork();
  ASSERT_GE(maker, 0);
  if (maker == 0) {
    ::close(ready[0]);
    int failed = 0;
    char go = 0;
    [[maybe_unused]] const auto said = ::write(ready[1], &go, 1);
    for (int i = 0; i < kWindows && failed < 100; ++i) {
      auto created = Window::Create("Vokar", [](Message&) { return std::int64_t{0}; });
      if (!created.window) {
        std::fprintf(stderr, "window %d not made: %s\n", i, created.error.c_str());
        ++failed;
        continue;
      }
      const WindowHandle window = created.window->handle();
      for (auto file : {EndpointFile::Lock, EndpointFile::Socket, EndpointFile::Title}) {
        if (::access(EndpointPath(scratch.folder(), window, file).c_str(), F_OK) != 0) {
          std::fprintf(stderr, "window %d lost a file of its own while alive\n", i);
          ++failed;
          break;
        }
      }
    }
    ::_exit(failed > 0 ? 1 : 0);
  }
  ::close(ready[1]);
  char go = 0;
  ASSERT_EQ(::read(ready[0], &go, 1), 1);
  ::close(ready[0]);
  int status = 0;
  int looks = 0;
  while (::waitpid(maker, &status, WNOHANG) == 0) {
    ScanWindows(scratch.folder(), std::nullopt, ScanMode::All);
    ++looks;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "after " << looks << " looks through the folder";
  EXPECT_GT(looks, 100);
}

}  // namespace
