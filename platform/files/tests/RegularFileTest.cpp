#include "RegularFile.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "TestFolder.h"

namespace {

using vokar::files::FileError;
using vokar::files::ReadRegularFile;
using vokar::test::TestFolder;

// Runs the read in a child process, after the preparation, and returns the
// error it found; -1 when the child did not finish normally.
template <typename Prepare>
int ErrorInChild(const std::filesystem::path& path, Prepare prepare) {
  const pid_t child = ::fork();
  if (child == 0) {
    prepare();
    _exit(static_cast<int>(ReadRegularFile(path, 100).error));
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(RegularFile, ReadsAtMostMaxBytesAndSaysWhetherMoreFollowed) {
  TestFolder folder("files");
  const auto path = folder.Write("ten.txt", "0123456789");
  const auto empty = folder.Write("empty.txt", "");
  struct Case {
    std::filesystem::path file;
    std::size_t maxBytes;
    std::string bytes;
    bool truncated;
  } cases[] = {
      {path, 100, "0123456789", false}, {path, 11, "0123456789", false}, {path, 10, "0123456789", false},
      {path, 9, "012345678", true},     {path, 1, "0", true},            {path, 0, "", true},
      {empty, 0, "", false},            {empty, 10, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.filename().string() + " max " + std::to_string(c.maxBytes));
    const auto read = ReadRegularFile(c.file, c.maxBytes);
    EXPECT_TRUE(read.ok());
    EXPECT_EQ(read.bytes, c.bytes);
    EXPECT_EQ(read.truncated, c.truncated);
  }
}

TEST(RegularFile, ReadsAFileLargerThanOneBufferWhole) {
  TestFolder folder("files");
  std::string content;
  for (int i = 0; i < 300000; ++i) content.push_back(static_cast<char>(i * 7 % 251));
  const auto path = folder.Write("big.bin", content);
  const auto whole = ReadRegularFile(path, 1 << 20);
  ASSERT_TRUE(whole.ok());
  EXPECT_EQ(whole.bytes, content);
  const auto part = ReadRegularFile(path, 262144);
  EXPECT_EQ(part.bytes, content.substr(0, 262144));
  EXPECT_TRUE(part.truncated);
}

TEST(RegularFile, OnlyARegularFileIsOpened) {
  TestFolder folder("files");
  const auto target = folder.Write("target.txt", "text");
  const auto fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto socketPath = folder / "socket";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.string().copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::filesystem::create_symlink(target, folder / "link-to-file");
  std::filesystem::create_symlink(fifo, folder / "link-to-fifo");
  std::filesystem::create_directory(folder / "dir");

  struct Case {
    std::filesystem::path path;
    FileError error;
  } cases[] = {
      {folder / "link-to-file", FileError::None},
      {fifo, FileError::NotFound},
      {folder / "link-to-fifo", FileError::NotFound},
      {socketPath, FileError::NotFound},
      {folder / "dir", FileError::NotFound},
      {"/dev/null", FileError::NotFound},
      {"/dev/zero", FileError::NotFound},
      {"/dev/stdin", FileError::NotFound},
      {folder / "missing.txt", FileError::NotFound},
      {"", FileError::NotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.string());
    // A read that blocked would never come back: ask from another thread and
    // give up after a while (the FIFO is then opened for writing to free it).
    auto pending = std::async(std::launch::async, [&] { return ReadRegularFile(c.path, 100); });
    if (pending.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "the read blocked";
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
    const auto read = pending.get();
    EXPECT_EQ(read.error, c.error);
    if (c.error != FileError::None) {
      EXPECT_TRUE(read.bytes.empty());
    }
  }
  EXPECT_EQ(ReadRegularFile(folder / "link-to-file", 100).bytes, "text");
  ::close(listener);
}

TEST(RegularFile, PathsThatCannotNameAFileAreBadPaths) {
  TestFolder folder("files");
  const auto file = folder.Write("plain.txt", "x");
  std::filesystem::create_symlink(folder / "loop-b", folder / "loop-a");
  std::filesystem::create_symlink(folder / "loop-a", folder / "loop-b");
  struct Case {
    std::filesystem::path path;
    FileError error;
  } cases[] = {
      {file / "below", FileError::BadPath},             // a file used as a folder
      {folder / "loop-a", FileError::BadPath},          // symbolic links in a circle
      {folder / std::string(NAME_MAX + 1, 'n'), FileError::BadPath},
      {folder / std::string(NAME_MAX, 'n'), FileError::NotFound},
      {std::string("plain\0.txt", 10), FileError::BadPath},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.string().substr(0, 200));
    EXPECT_EQ(ReadRegularFile(c.path, 10).error, c.error);
  }
}

// The longest path the system takes has PATH_MAX - 1 bytes; one byte more is
// refused whole, never cut back to the file whose name it begins with.
TEST(RegularFile, ThePathLengthLimitHoldsOnBothSides) {
  TestFolder folder("files");
  std::string longest = folder.path().string();
  ASSERT_LT(longest.size(), 1000u);
  while (longest.size() + 1 + 201 < PATH_MAX - 1) {
    longest += "/" + std::string(200, 'd');
  }
  std::filesystem::create_directories(longest);
  longest += "/";
  longest += std::string(PATH_MAX - 1 - longest.size(), 'f');
  ASSERT_EQ(longest.size(), static_cast<std::size_t>(PATH_MAX - 1));
  {
    std::ofstream out(longest);
    out << "deep";
  }
  const auto atLimit = ReadRegularFile(longest, 10);
  EXPECT_TRUE(atLimit.ok());
  EXPECT_EQ(atLimit.bytes, "deep");
  const auto overLimit = ReadRegularFile(longest + "x", 10);
  EXPECT_EQ(overLimit.error, FileError::BadPath);
  EXPECT_TRUE(overLimit.bytes.empty());
}

TEST(RegularFile, ACauseForEachRefusal) {
  TestFolder folder("files");
  const auto locked = folder.Write("locked.txt", "secret");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  // root reads any file: drop to an ordinary user in the child first.
  const int denied = ErrorInChild(locked, [] {
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) _exit(200);
    }
  });
  EXPECT_EQ(denied, static_cast<int>(FileError::AccessDenied));

  const auto readable = folder.Write("readable.txt", "open me");
  // With every descriptor slot taken no further file opens.
  const int tooMany = ErrorInChild(readable, [] {
    const rlimit none{3, 3};
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    if (::setrlimit(RLIMIT_NOFILE, &none) != 0) _exit(201);
  });
  EXPECT_EQ(tooMany, static_cast<int>(FileError::TooManyOpenFiles));
  // The same read with one slot free succeeds.
  const int oneFree = ErrorInChild(readable, [] {
    const rlimit one{4, 4};
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    if (::setrlimit(RLIMIT_NOFILE, &one) != 0) _exit(201);
  });
  EXPECT_EQ(oneFree, static_cast<int>(FileError::None));
}

TEST(RegularFile, ErrnoValuesMapToCauses) {
  using vokar::files::ErrorFromErrno;
  struct Case {
    int errorNumber;
    FileError error;
  } cases[] = {
      {0, FileError::None},           {ENOENT, FileError::NotFound},         {ENOTDIR, FileError::BadPath},
      {ENAMETOOLONG, FileError::BadPath}, {ELOOP, FileError::BadPath},       {EMFILE, FileError::TooManyOpenFiles},
      {ENFILE, FileError::TooManyOpenFiles}, {EACCES, FileError::AccessDenied}, {EPERM, FileError::AccessDenied},
      {EIO, FileError::HardwareError}, {EBADF, FileError::InvalidHandle},   {ENOMEM, FileError::Other},
      {EOVERFLOW, FileError::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.errorNumber);
    EXPECT_EQ(ErrorFromErrno(c.errorNumber), c.error);
  }
}

}  // namespace
