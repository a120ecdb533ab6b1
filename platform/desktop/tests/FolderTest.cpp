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
