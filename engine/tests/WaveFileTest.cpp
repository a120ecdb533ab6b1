#include "WaveFile.h"

#include <gtest/gtest.h>

#include "Cp1250.h"
#include "support/AlfWriter.h"

namespace vokar {
namespace {

using testing::Bytes;
using testing::RiffBuilder;
using vokar::test::WithoutBlocking;

constexpr std::string_view kReadFailed = "Błąd odczytu pliku z falą dzwiekową";
constexpr std::string_view kBadSound = "Błędny format pliku z danymi dźwiękowymi";
const WaveFormat kStereo16{1, 2, 44100, 176400, 4, 16};

class WaveLoad : public ::testing::Test {
 protected:
  bool Load(const Bytes& bytes) {
    testing::WriteFile(dir / "x.wav", bytes);
    return LoadWaveFile(dir / "x.wav", insert, sink);
  }

  testing::TempDir dir;
  CWaveInsert insert;
  testing::RecordingSink sink;
};

TEST_F(WaveLoad, ReadsFormatAndSamples) {
  ASSERT_TRUE(Load(testing::WaveBytes(kStereo16, {1, 2, 3, 4, 5, 6, 7, 8})));
  EXPECT_TRUE(insert.loaded);
  EXPECT_EQ(insert.format, kStereo16);
  EXPECT_EQ(insert.samples, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WaveLoad, OtherChunksBeforeTheDataAreSkipped) {
  const Bytes file = RiffBuilder("WAVE")
                         .Chunk("fmt ", testing::FormatRecord(kVoiceFormat))
                         .Chunk("LIST", {1, 2, 3})
                         .Chunk("fact", {0, 0, 0, 0})
                         .Chunk("data", {9, 8, 7})
                         .Build();
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(insert.samples, (Bytes{9, 8, 7}));
}

TEST_F(WaveLoad, AFileWithoutDataIsLoadedButSilent) {
  insert.samples = {1, 2, 3};
  ASSERT_TRUE(Load(RiffBuilder("WAVE").Chunk("fmt ", testing::FormatRecord(kVoiceFormat)).Build()));
  EXPECT_TRUE(insert.loaded);
  EXPECT_TRUE(insert.samples.empty());
  EXPECT_EQ(insert.format, kVoiceFormat);
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(WaveLoad, DataBeforeTheFormatIsNotFound) {
  // The search runs forward from "fmt ", as the platform's did.
  const Bytes file =
      RiffBuilder("WAVE").Chunk("data", {1, 2}).Chunk("fmt ", testing::FormatRecord(kVoiceFormat)).Build();
  ASSERT_TRUE(Load(file));
  EXPECT_TRUE(insert.samples.empty());
}

TEST_F(WaveLoad, ShortDataIsAReadFailure) {
  const Bytes file = RiffBuilder("WAVE")
                         .Chunk("fmt ", testing::FormatRecord(kVoiceFormat))
                         .ChunkDeclaring("data", 0xFFFFFFFFu, {1, 2, 3, 4})
                         .Build();
  ASSERT_FALSE(Load(file));
  EXPECT_FALSE(insert.loaded);
  EXPECT_TRUE(insert.samples.empty());
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].text, kReadFailed);
  EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);

  auto direct = ReadWave(file);
  ASSERT_FALSE(direct);
  EXPECT_EQ(direct.GetError().message, kMsgWaveRead);
  EXPECT_EQ(direct.GetError().error.offset, file.size());
}

TEST_F(WaveLoad, NotAPcmWaveIsABadSoundFile) {
  WaveFormat extensible = kStereo16;
  extensible.formatTag = 0xFFFE;
  Bytes shortFormat = testing::FormatRecord(kVoiceFormat);
  shortFormat.resize(10);
  const std::vector<Bytes> files = {
      testing::WaveBytes(extensible, {1, 2}),
      RiffBuilder("AVI ").Chunk("fmt ", testing::FormatRecord(kVoiceFormat)).Chunk("data", {1}).Build(),
      RiffBuilder("WAVE").Chunk("data", {1}).Build(),
      RiffBuilder("WAVE").Chunk("fmt ", shortFormat).Build(),
      Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0},
      Bytes{},
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    sink.shown.clear();
    ASSERT_FALSE(Load(files[i]));
    EXPECT_FALSE(insert.loaded);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, kBadSound);
  }
}

TEST_F(WaveLoad, AFileThatCannotBeOpenedIsSilent) {
  insert.loaded = true;
  EXPECT_FALSE(LoadWaveFile(dir / "missing.wav", insert, sink));
  EXPECT_FALSE(LoadWaveFile(dir.Path(), insert, sink));
  EXPECT_FALSE(insert.loaded);
  EXPECT_TRUE(sink.shown.empty());
}

class InsertSearch : public ::testing::Test {
 protected:
  InsertSearch() {
    for (const char* sub : {"work", "path1", "path2", "cwd"}) std::filesystem::create_directory(dir / sub);
  }

  // A wave whose one sample tells which folder it came from.
  void PutWave(const std::filesystem::path& path, std::uint8_t mark) {
    testing::WriteFile(path, testing::WaveBytes(kVoiceFormat, {mark}));
  }

  int Find(std::string_view cp1250Name, const std::filesystem::path& workDir) {
    testing::ScopedEnv path("PATH", (dir / "path1").string() + ":" + (dir / "path2").string());
    testing::ScopedCurrentDir cwd(dir / "cwd");
    return FindAndLoadInsert(cp1250Name, workDir, insert, sink);
  }

  std::uint8_t Mark() const { return insert.samples.empty() ? 0 : insert.samples[0]; }

  testing::TempDir dir;
  CWaveInsert insert;
  testing::RecordingSink sink;
};

TEST_F(InsertSearch, TriesTheWorkDirectoryThenPath) {
  PutWave(dir / "path2" / "dzwon.wav", 2);
  ASSERT_EQ(Find("dzwon.wav", dir / "work"), 0);
  EXPECT_EQ(Mark(), 2);

  PutWave(dir / "path1" / "dzwon.wav", 1);
  ASSERT_EQ(Find("dzwon.wav", dir / "work"), 0);
  EXPECT_EQ(Mark(), 1);

  PutWave(dir / "work" / "dzwon.wav", 3);
  ASSERT_EQ(Find("dzwon.wav", dir / "work"), 0);
  EXPECT_EQ(Mark(), 3);

  // Without a work directory the current directory stands in for it.
  PutWave(dir / "cwd" / "dzwon.wav", 4);
  ASSERT_EQ(Find("dzwon.wav", ""), 0);
  EXPECT_EQ(Mark(), 4);
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(InsertSearch, AMissingInsertIsSilent) {
  insert.loaded = true;
  EXPECT_EQ(Find("brak.wav", dir / "work"), -1);
  EXPECT_FALSE(insert.loaded);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(Find("", dir / "work"), -1);
}

TEST_F(InsertSearch, ABadFileFoundFirstEndsTheSearch) {
  testing::WriteFile(dir / "work" / "zly.wav", std::string_view("not a wave"));
  PutWave(dir / "path1" / "zly.wav", 1);
  EXPECT_EQ(Find("zly.wav", dir / "work"), -1);
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].text, kBadSound);
}

TEST_F(InsertSearch, NamesWithSeparatorsAreUsedAsTheyStand) {
  std::filesystem::create_directory(dir / "work" / "sub");
  PutWave(dir / "work" / "sub" / "a.wav", 5);
  PutWave(dir / "path1" / "a.wav", 1);

  ASSERT_EQ(Find((dir / "work" / "sub" / "a.wav").string(), ""), 0);
  EXPECT_EQ(Mark(), 5);

  // Backslashes of the desktop platform become slashes; a relative path is
  // taken from the current directory, never from the work directory or PATH.
  std::filesystem::create_directory(dir / "cwd" / "sub");
  PutWave(dir / "cwd" / "sub" / "a.wav", 6);
  ASSERT_EQ(Find("sub\\a.wav", dir / "work"), 0);
  EXPECT_EQ(Mark(), 6);
  EXPECT_EQ(Find("nie\\ma\\a.wav", dir / "work"), -1);

  // A drive letter names nothing here and nothing else is searched.
  EXPECT_EQ(Find("C:\\DZWIEKI\\a.wav", dir / "work"), -1);
  EXPECT_EQ(Find("D:a.wav", dir / "work"), -1);
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(InsertSearch, OnlyRegularFilesAreCandidatesAndNoneIsOpenedOtherwise) {
  // A FIFO where the work directory's file would be is no file: the search
  // goes on along PATH, and the FIFO is never opened, which would wait for a
  // writer for ever.
  const auto fifo = dir.MakeFifo("work/dzwon.wav");
  ASSERT_FALSE(fifo.empty());
  PutWave(dir / "path1" / "dzwon.wav", 1);
  EXPECT_EQ(WithoutBlocking(fifo, [&] { return Find("dzwon.wav", dir / "work"); }), 0);
  EXPECT_EQ(Mark(), 1);

  // Named as a path, a FIFO or a device is not found, silently.
  for (const std::string& name : {fifo.string(), std::string("/dev/stdin"), std::string("/dev/zero")}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(WithoutBlocking(fifo, [&] { return Find(name, dir / "work"); }), -1);
    EXPECT_FALSE(insert.loaded);
  }
  std::filesystem::create_directory(dir / "work" / "folder.wav");
  EXPECT_EQ(Find("folder.wav", dir / "work"), -1);
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(InsertSearch, TheCodePageNameIsFoundUnderItsUtf8Spelling) {
  PutWave(dir / "work" / "dźwięk.wav", 7);
  ASSERT_EQ(Find(cp1250::FromUtf8("dźwięk.wav"), dir / "work"), 0);
  EXPECT_EQ(Mark(), 7);
}

}  // namespace
}  // namespace vokar
