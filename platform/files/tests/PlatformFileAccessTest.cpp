#include "PlatformFileAccess.h"

#include <gtest/gtest.h>

#include "ExceptionDict.h"
#include "TestFolder.h"

namespace {

using vokar::FileStatus;
using vokar::files::FileError;

TEST(PlatformFileAccess, EachCauseBecomesTheEnginesStatus) {
  using vokar::files::StatusOf;
  struct Case {
    FileError error;
    FileStatus status;
  } cases[] = {
      {FileError::None, FileStatus::Ok},
      {FileError::NotFound, FileStatus::NotFound},
      {FileError::BadPath, FileStatus::NotFound},
      {FileError::TooManyOpenFiles, FileStatus::CannotOpen},
      {FileError::AccessDenied, FileStatus::CannotOpen},
      {FileError::InvalidHandle, FileStatus::CannotOpen},
      {FileError::BadSeek, FileStatus::CannotOpen},
      {FileError::SharingViolation, FileStatus::CannotOpen},
      {FileError::Other, FileStatus::CannotOpen},
      {FileError::HardwareError, FileStatus::ReadError},
      {FileError::LockViolation, FileStatus::ReadError},
      {FileError::EndOfFile, FileStatus::ReadError},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(vokar::files::FileErrorName(c.error));
    EXPECT_EQ(StatusOf(c.error), c.status);
  }
}

TEST(PlatformFileAccess, TheInstalledReaderServesTheEngine) {
  vokar::test::TestFolder folder("files");
  const auto dict = folder.Write("slownik.exp", "kot pies\nnp. na przykład\n");
  const auto fifo = folder.MakeFifo("fifo.exp");
  ASSERT_FALSE(fifo.empty());

  vokar::files::InstallPlatformFileAccess();
  const auto content = vokar::FileAccess().Read(dict, 8);
  EXPECT_EQ(content.status, FileStatus::Ok);
  EXPECT_EQ(content.bytes, "kot pies");
  EXPECT_TRUE(content.truncated);

  vokar::CExceptionDict dictionary;
  EXPECT_TRUE(dictionary.Load(dict));
  EXPECT_EQ(dictionary.Size(), 2u);
  EXPECT_FALSE(vokar::test::WithoutBlocking(fifo, [&] { return dictionary.Load(fifo); }));
  EXPECT_EQ(dictionary.Size(), 0u);
  vokar::InstallFileAccess(nullptr);
}

}  // namespace
