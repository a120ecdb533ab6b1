// Writing and reading allophone files: what vkalf writes, the engine loads
// entry for entry; damaged files are refused with the offset of the damage;
// files are replaced atomically.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "AlfFile.h"
#include "AllophoneDb.h"
#include "Riff.h"
#include "support/VoiceTestSupport.h"

namespace vokar::alf {
namespace {

using testing::ReadBytes;
using testing::StandardFile;

AlfFile Small() {
  AlfFile file;
  file.versionText = "odd";  // odd length: padded with a NUL
  file.entries.push_back({1, "a", 0x0004, {128, 130, 126}, 0});   // odd: a pad byte follows
  file.entries.push_back({85, "h", 0x2010, {120, 140}, 0});
  file.entries.push_back({97, "12345678", 0x0008, {1, 2, 3, 4, 5}, 0});
  return file;
}

TEST(AlfFile, RoundTripKeepsEveryField) {
  auto bytes = SerializeAlf(Small());
  ASSERT_TRUE(bytes) << bytes.Error().ToString();
  EXPECT_EQ(bytes->size() % 2, 0u);
  auto parsed = ParseAlf(*bytes);
  ASSERT_TRUE(parsed) << parsed.Error().ToString();
  EXPECT_EQ(parsed->format, kVoiceFormat);
  EXPECT_EQ(parsed->versionText, "odd");
  ASSERT_EQ(parsed->entries.size(), 3u);
  const AlfFile original = Small();
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(parsed->entries[i].index, original.entries[i].index);
    EXPECT_EQ(parsed->entries[i].name, original.entries[i].name);
    EXPECT_EQ(parsed->entries[i].classBits, original.entries[i].classBits);
    EXPECT_EQ(parsed->entries[i].samples, original.entries[i].samples);
  }
}

TEST(AlfFile, TheEngineLoadsWhatIsWritten) {
  auto bytes = SerializeAlf(StandardFile());
  ASSERT_TRUE(bytes);
  CAllophoneDb db;
  CSpeechSettingsValues settings;
  CSilentSink sink;
  ASSERT_TRUE(db.LoadFromBytes(*bytes, settings, sink));
  const AlfFile standard = StandardFile();
  for (const AlfEntry& e : standard.entries) {
    const CAllophone* loaded = db.Entry(e.index);
    ASSERT_NE(loaded, nullptr) << e.index;
    EXPECT_EQ(loaded->classBits, e.classBits) << e.index;
    // The pauses are refilled at load, ch and chi copied from h and soft h.
    if ((e.index < 106 || e.index > 109) && e.index != 87 && e.index != 88) {
      EXPECT_EQ(loaded->samples, e.samples) << e.index;
    }
  }
  EXPECT_EQ(db.Entry(87)->samples, db.Entry(85)->samples);
  EXPECT_EQ(db.FindByName("space"), 98);
  EXPECT_EQ(db.FindByName("ieen"), 32);
}

TEST(AlfFile, WriterRefusesWhatCannotBeStored) {
  AlfFile longName = Small();
  longName.entries[0].name = "123456789";
  EXPECT_FALSE(SerializeAlf(longName));
  AlfFile noName = Small();
  noName.entries[0].name.clear();
  EXPECT_FALSE(SerializeAlf(noName));
  AlfFile longVersion = Small();
  longVersion.versionText.assign(33, 'v');
  EXPECT_FALSE(SerializeAlf(longVersion));
  longVersion.versionText.assign(32, 'v');
  EXPECT_TRUE(SerializeAlf(longVersion));
}

TEST(AlfFile, DamageIsReportedWithItsOffset) {
  const std::vector<std::uint8_t> good = *SerializeAlf(Small());

  // Cut inside the last "data" chunk.
  std::vector<std::uint8_t> cut(good.begin(), good.end() - 20);
  auto truncated = ParseAlf(cut, "cut.alf");
  ASSERT_FALSE(truncated);
  EXPECT_GT(truncated.Error().position, 0u);
  EXPECT_NE(truncated.Error().ToString().find("cut.alf"), std::string::npos);

  // Version words 1, 1, 2, 4.
  std::vector<std::uint8_t> version = good;
  const std::size_t ver = 12 + 8 + 16;  // RIFF header, "fmt " chunk
  ASSERT_EQ(std::string(version.begin() + ver, version.begin() + ver + 4), "VER ");
  version[ver + 8 + 6] = 4;
  auto badVersion = ParseAlf(version);
  ASSERT_FALSE(badVersion);
  EXPECT_EQ(badVersion.Error().position, ver + 8 + 6);

  // An "info" chunk of 13 bytes.
  std::vector<std::uint8_t> info = good;
  const std::size_t firstInfo = ver + 8 + 8 + 4 /* "odd" + NUL */ + 8 + 4 /* 3 samples + pad */;
  ASSERT_EQ(std::string(info.begin() + firstInfo, info.begin() + firstInfo + 4), "info");
  info[firstInfo + 4] = 13;
  EXPECT_FALSE(ParseAlf(info));

  // Not an allophone file at all.
  std::vector<std::uint8_t> wave = good;
  wave[8] = 'W';
  EXPECT_FALSE(ParseAlf(wave));
  EXPECT_FALSE(ParseAlf(std::vector<std::uint8_t>{}));
}

TEST(AlfFile, LastDataWithoutInfoIsRefused) {
  std::vector<std::uint8_t> bytes = *SerializeAlf(Small());
  bytes.resize(bytes.size() - 20);  // drop the last "info" chunk
  bytes[4] = static_cast<std::uint8_t>((bytes.size() - 8) & 0xFF);
  bytes[5] = static_cast<std::uint8_t>((bytes.size() - 8) >> 8);
  auto parsed = ParseAlf(bytes);
  ASSERT_FALSE(parsed);
  EXPECT_NE(parsed.Error().description.find("info"), std::string::npos);
}

TEST(AlfFile, AtomicWriteReplacesOrLeavesTheOldFile) {
  const vokar::test::TestFolder scratch("voice");
  const auto folder = scratch.path();
  const auto target = folder / "voice.alf";
  const std::vector<std::uint8_t> first{1, 2, 3};
  const std::vector<std::uint8_t> second{4, 5};
  ASSERT_FALSE(WriteFileAtomically(target, first));
  EXPECT_EQ(ReadBytes(target), first);
  ASSERT_FALSE(WriteFileAtomically(target, second));
  EXPECT_EQ(ReadBytes(target), second);

  // A folder standing where the file should go: the rename fails, the folder
  // stays and no temporary file is left behind.
  const auto blocked = folder / "blocked";
  std::filesystem::create_directories(blocked / "inside");
  const auto error = WriteFileAtomically(blocked, first);
  ASSERT_TRUE(error);
  EXPECT_NE(error->ToString().find("blocked"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++files;
  EXPECT_EQ(files, 2u);  // voice.alf and blocked

  EXPECT_TRUE(WriteFileAtomically(folder / "no" / "such" / "dir.alf", first));
}

}  // namespace
}  // namespace vokar::alf
