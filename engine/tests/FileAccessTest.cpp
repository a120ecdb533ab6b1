// The reader every named file of the engine goes through: only regular files,
// read up to a bound, and the program's own reader used once installed.
#include "FileAccess.h"

#include <gtest/gtest.h>

#include <vector>

#include "AllophoneDb.h"
#include "ExceptionDict.h"
#include "WaveFile.h"
#include "support/AlfWriter.h"

namespace vokar {
namespace {

using vokar::test::TestFolder;
using vokar::test::WithoutBlocking;

TEST(StandardFileAccess, ReadsRegularFilesUpToTheBound) {
  TestFolder folder("file-access");
  const auto eight = folder.Write("eight.txt", "12345678");
  struct Case {
    std::size_t maxBytes;
    std::string bytes;
    bool truncated;
  } cases[] = {{9, "12345678", false}, {8, "12345678", false}, {7, "1234567", true}, {0, "", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.maxBytes);
    const FileContent content = StandardFileAccess().Read(eight, c.maxBytes);
    EXPECT_EQ(content.status, FileStatus::Ok);
    EXPECT_EQ(content.bytes, c.bytes);
    EXPECT_EQ(content.truncated, c.truncated);
  }
  const FileContent empty = StandardFileAccess().Read(folder.Write("empty.txt", ""), 0);
  EXPECT_EQ(empty.status, FileStatus::Ok);
  EXPECT_FALSE(empty.truncated);
}

TEST(StandardFileAccess, AnythingButARegularFileIsNotFoundAndNeverOpened) {
  TestFolder folder("file-access");
  const auto fifo = folder.MakeFifo("fifo");
  ASSERT_FALSE(fifo.empty());
  std::filesystem::create_directory(folder / "dir");
  for (const std::filesystem::path& path :
       {fifo, folder / "dir", std::filesystem::path("/dev/null"), std::filesystem::path("/dev/zero"),
        folder / "missing", folder / "missing" / "below"}) {
    SCOPED_TRACE(path.string());
    const FileContent content =
        WithoutBlocking(fifo, [&] { return StandardFileAccess().Read(path, 1000); });
    EXPECT_EQ(content.status, FileStatus::NotFound);
    EXPECT_TRUE(content.bytes.empty());
  }
}

// Counts what reaches it and answers with the standard reader.
class CountingAccess final : public IFileAccess {
 public:
  FileContent Read(const std::filesystem::path& path, std::size_t maxBytes) const override {
    asked.push_back(path.filename().string());
    return StandardFileAccess().Read(path, maxBytes);
  }
  mutable std::vector<std::string> asked;
};

TEST(InstalledFileAccess, EveryFileOfTheEngineGoesThroughTheInstalledReader) {
  TestFolder folder("file-access");
  testing::WriteFile(folder / "dict.exp", std::string_view("kot pies\n"));
  testing::WriteFile(folder / "bell.wav", testing::WaveBytes(kVoiceFormat, {1, 2}));
  testing::AlfWriter voice;
  voice.AddRequired();
  testing::WriteFile(folder / "voice.alf", voice.Build());

  CountingAccess counting;
  InstallFileAccess(&counting);
  EXPECT_EQ(&FileAccess(), &counting);
  CExceptionDict dict;
  EXPECT_TRUE(dict.Load(folder / "dict.exp"));
  CWaveInsert insert;
  CSilentSink sink;
  EXPECT_EQ(FindAndLoadInsert("bell.wav", folder.path(), insert, sink), 0);
  CAllophoneDb db;
  CSpeechSettingsValues settings;
  EXPECT_TRUE(db.LoadFromPath(folder / "voice.alf", settings, sink));
  InstallFileAccess(nullptr);
  EXPECT_EQ(&FileAccess(), &StandardFileAccess());

  EXPECT_EQ(counting.asked, (std::vector<std::string>{"dict.exp", "bell.wav", "voice.alf"}));
}

}  // namespace
}  // namespace vokar
