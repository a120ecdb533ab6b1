#include "AllophoneDb.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "AllophoneIndex.h"
#include "support/AlfWriter.h"

namespace vokar {
namespace {

using testing::AlfWriter;
using testing::Bytes;
using testing::RecordingSink;

constexpr std::string_view kDamaged = "Błędny format pliku alofonów";
constexpr std::string_view kBadSound = "Błędny format pliku z danymi dźwiękowymi";

// The required entries come last, so that a file cut anywhere lacks one.
AlfWriter GoodFile() {
  AlfWriter writer;
  writer.Add(allo::kA, "a", classbits::kVowel, {1, 2, 3, 4, 5});
  writer.Add(110, "default", 0, {7});
  writer.AddRequired();
  return writer;
}

bool AllSilence(const CAllophone* entry) {
  return entry && std::all_of(entry->samples.begin(), entry->samples.end(),
                              [](std::uint8_t b) { return b == 128; });
}

class AllophoneLoad : public ::testing::Test {
 protected:
  bool Load(const Bytes& file) { return db.LoadFromBytes(file, settings, sink); }

  // The load failed with exactly one message, the given text with the stop
  // icon, and left nothing behind.
  void ExpectRefused(std::string_view text, riff::ErrorCategory category) {
    EXPECT_FALSE(db.Loaded());
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, text);
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(db.SlotCount(), 0u);
    EXPECT_EQ(db.Entry(allo::kH), nullptr);
    ASSERT_TRUE(db.LastFailure());
    EXPECT_EQ(db.LastFailure()->error.category, category) << db.LastFailure()->error.ToString();
  }

  CAllophoneDb db;
  CSpeechSettingsValues settings;
  RecordingSink sink;
};

TEST_F(AllophoneLoad, ReadsEntriesAndFinishesTheInventory) {
  ASSERT_TRUE(Load(GoodFile().Build()));
  EXPECT_TRUE(db.Loaded());
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_FALSE(db.LastFailure());
  EXPECT_EQ(db.Format(), kVoiceFormat);

  const CAllophone* a = db.Entry(allo::kA);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->name, "a");
  EXPECT_EQ(a->index, allo::kA);
  EXPECT_EQ(a->classBits, classbits::kVowel);
  EXPECT_EQ(a->samples, (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(db.Length(allo::kA), 5u);
  EXPECT_EQ(db.FindByName("default"), 110);

  // ch and chi are copies of h and h soft, keeping their own class bits.
  EXPECT_EQ(db.FindByName("ch"), allo::kCh);
  EXPECT_EQ(db.FindByName("chi"), allo::kChi);
  EXPECT_EQ(db.Entry(allo::kCh)->samples, db.Entry(allo::kH)->samples);
  EXPECT_EQ(db.Entry(allo::kChi)->samples, db.Entry(allo::kHSoft)->samples);
  EXPECT_EQ(db.ClassBits(allo::kChi), classbits::kVoiceless | classbits::kSoft);
  EXPECT_EQ(db.FindByName("x"), -1);

  // Default pauses: 3, 10, 50 and 100 hundredths at 22050 bytes per second.
  EXPECT_EQ(db.FindByName("p003"), 106);
  EXPECT_EQ(db.FindByName("p010"), 107);
  EXPECT_EQ(db.FindByName("p050"), 108);
  EXPECT_EQ(db.FindByName("p100"), 109);
  EXPECT_EQ(db.Length(106), 661u);
  EXPECT_EQ(db.Length(107), 2205u);
  EXPECT_EQ(db.Length(108), 11025u);
  EXPECT_EQ(db.Length(109), 22050u);
  EXPECT_TRUE(AllSilence(db.Entry(109)));
  EXPECT_EQ(db.ClassBits(108), classbits::kPause);

  const CAllophone* null = db.Entry(allo::kNull);
  ASSERT_NE(null, nullptr);
  EXPECT_EQ(null->name, "null");
  EXPECT_EQ(null->classBits, 1);
  EXPECT_TRUE(null->samples.empty());

  EXPECT_EQ(db.FindByName("nothing"), -1);
  EXPECT_EQ(db.Entry(allo::kB), nullptr);
  EXPECT_EQ(db.Entry(-1), nullptr);
  EXPECT_EQ(db.Entry(100000), nullptr);
  EXPECT_EQ(db.ClassBits(allo::kB), 0);
  EXPECT_EQ(db.Length(allo::kB), 0u);
}

TEST_F(AllophoneLoad, PauseLengthsFollowTheSettingsWithinTheirLimits) {
  settings.sound["PausePunctation"] = 0;        // below 1: one hundredth
  settings.sound["PauseInterSentence"] = 1000;  // capped at 10 x 100, then at 65280 bytes
  settings.sound["PauseDoubleLetter"] = 31;     // capped at 30
  settings.sound["PauseInterWord"] = -7;
  ASSERT_TRUE(Load(GoodFile().Build()));
  EXPECT_EQ(db.Length(108), 220u);
  EXPECT_EQ(db.Length(109), 65280u);
  EXPECT_EQ(db.Length(106), 6615u);
  EXPECT_EQ(db.Length(107), 220u);

  EXPECT_EQ(PauseBytes(std::nullopt, 50), 11025u);
  EXPECT_EQ(PauseBytes(1, 3), 220u);
  EXPECT_EQ(PauseBytes(100, 10), 22050u);
  EXPECT_EQ(PauseBytes(101, 10), 22050u);
  EXPECT_EQ(PauseBytes(296, 50), 65268u);
  EXPECT_EQ(PauseBytes(297, 50), 65280u);
}

TEST_F(AllophoneLoad, LaterEntriesTakeTheSlotAndNamesAreSearchedByIndex) {
  AlfWriter writer = GoodFile();
  writer.Add(allo::kE, "e", classbits::kVowel, {1});
  writer.Add(allo::kE, "e2", classbits::kVowel, {2, 2});
  writer.Add(allo::kI, "dup", 0, {3});
  writer.Add(allo::kO, "dup", 0, {4});
  writer.Add(11, "DUP", 0, {5});
  ASSERT_TRUE(Load(writer.Build()));
  EXPECT_EQ(db.Entry(allo::kE)->name, "e2");
  EXPECT_EQ(db.Length(allo::kE), 2u);
  EXPECT_EQ(db.FindByName("e"), -1);
  EXPECT_EQ(db.FindByName("dup"), allo::kI);
  EXPECT_EQ(db.FindByName("DUP"), 11);

  // The search goes by index, not by the order of the file.
  writer.Add(0, "dup", 0, {6});
  ASSERT_TRUE(Load(writer.Build()));
  EXPECT_EQ(db.FindByName("dup"), 0);
}

TEST_F(AllophoneLoad, NamesFillAllEightBytesAndIndicesReachTheTop) {
  AlfWriter writer = GoodFile();
  writer.Add(0xFFFF, "abcdefgh", 0x8001, {9});
  writer.Add(0, "zero", 0, {});
  ASSERT_TRUE(Load(writer.Build()));
  EXPECT_EQ(db.SlotCount(), 0x10000u);
  EXPECT_EQ(db.FindByName("abcdefgh"), 0xFFFF);
  EXPECT_EQ(db.ClassBits(0xFFFF), 0x8001);
  EXPECT_EQ(db.FindByName("zero"), 0);
  EXPECT_EQ(db.Length(0), 0u);
}

TEST_F(AllophoneLoad, ChunksBetweenTheKnownOnesAreSkipped) {
  // Writers may add chunks of their own; the forward search steps over them.
  AlfWriter writer = GoodFile();
  Bytes file = writer.Build();
  testing::RiffBuilder riff("ALOF");
  riff.Chunk("LIST", {1, 2, 3})
      .Chunk("fmt ", testing::FormatRecord(kVoiceFormat))
      .Chunk("note", {4})
      .Chunk("VER ", {1, 0, 1, 0, 2, 0, 3, 0});
  for (const auto& entry : writer.entries) {
    riff.Chunk("data", entry.samples).Chunk("cmnt", {0}).Chunk(
        "info", testing::InfoRecord(entry.name, static_cast<std::uint16_t>(entry.index), entry.classBits));
  }
  ASSERT_TRUE(Load(riff.Build()));
  EXPECT_EQ(db.Entry(allo::kA)->samples, (Bytes{1, 2, 3, 4, 5}));
}

TEST_F(AllophoneLoad, VersionMustBeExactlyOneOneTwoThree) {
  AlfWriter writer = GoodFile();
  writer.version = {1, 1, 2, 4};
  ASSERT_FALSE(Load(writer.Build()));
  ExpectRefused(kDamaged, riff::ErrorCategory::BadValue);
  EXPECT_EQ(db.LastFailure()->error.offset, 12u + 24u + 8u + 6u);  // the fourth word
}

TEST_F(AllophoneLoad, VersionChunkOfFortyBytesIsTheLongestAccepted) {
  AlfWriter writer = GoodFile();
  writer.versionText = std::string(32, 'v');
  EXPECT_TRUE(Load(writer.Build()));

  writer.versionText = std::string(33, 'v');
  ASSERT_FALSE(Load(writer.Build()));
  ExpectRefused(kDamaged, riff::ErrorCategory::BadSize);
}

TEST_F(AllophoneLoad, MissingOrShortVersionIsDamaged) {
  AlfWriter writer = GoodFile();
  writer.writeVersion = false;
  ASSERT_FALSE(Load(writer.Build()));
  ExpectRefused(kDamaged, riff::ErrorCategory::ChunkNotFound);

  sink.shown.clear();
  testing::RiffBuilder riff("ALOF");
  riff.Chunk("fmt ", testing::FormatRecord(kVoiceFormat)).Chunk("VER ", {1, 0, 1, 0, 2, 0});
  ASSERT_FALSE(Load(riff.Build()));
  ExpectRefused(kDamaged, riff::ErrorCategory::BadSize);
}

TEST_F(AllophoneLoad, LastDataWithoutInfoIsDamaged) {
  AlfWriter writer = GoodFile();
  writer.writeLastInfo = false;
  ASSERT_FALSE(Load(writer.Build()));
  ExpectRefused(kDamaged, riff::ErrorCategory::ChunkNotFound);
}

TEST_F(AllophoneLoad, InfoMustBeExactlyTwelveBytes) {
  for (std::size_t size : {std::size_t{11}, std::size_t{13}, std::size_t{0}, std::size_t{64}}) {
    SCOPED_TRACE(size);
    sink.shown.clear();
    AlfWriter writer = GoodFile();
    writer.lastInfoBytes = size;
    ASSERT_FALSE(Load(writer.Build()));
    ExpectRefused(kDamaged, riff::ErrorCategory::BadSize);
  }
}

TEST_F(AllophoneLoad, DataRunningPastTheEndIsDamaged) {
  AlfWriter writer = GoodFile();
  writer.writeLastInfo = false;
  writer.lastDataDeclares = 0x7FFFFFFF;
  const Bytes file = writer.Build();
  ASSERT_FALSE(Load(file));
  ExpectRefused(kDamaged, riff::ErrorCategory::Truncated);
  EXPECT_EQ(db.LastFailure()->error.offset, file.size());
}

TEST_F(AllophoneLoad, FilesCutAnywhereAreRefusedWithAMessage) {
  const Bytes whole = GoodFile().Build();
  // Cutting inside the last info chunk or earlier always damages the file;
  // cutting at a chunk boundary before "fmt " makes it no sound file at all.
  for (std::size_t cut = 0; cut + 1 < whole.size(); cut += 7) {
    SCOPED_TRACE(cut);
    sink.shown.clear();
    ASSERT_FALSE(Load(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut))));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_TRUE(sink.shown[0].text == kDamaged || sink.shown[0].text == kBadSound) << sink.shown[0].text;
    EXPECT_FALSE(db.Loaded());
  }
}

TEST_F(AllophoneLoad, WrongFormNoFormatOrNonPcmIsNoSoundFile) {
  AlfWriter wrongForm = GoodFile();
  wrongForm.formType = "WAVE";
  ASSERT_FALSE(Load(wrongForm.Build()));
  ExpectRefused(kBadSound, riff::ErrorCategory::NotRiff);

  sink.shown.clear();
  AlfWriter noFormat = GoodFile();
  noFormat.writeFormat = false;
  ASSERT_FALSE(Load(noFormat.Build()));
  ExpectRefused(kBadSound, riff::ErrorCategory::ChunkNotFound);

  sink.shown.clear();
  AlfWriter notPcm = GoodFile();
  notPcm.format.formatTag = 3;
  ASSERT_FALSE(Load(notPcm.Build()));
  ExpectRefused(kBadSound, riff::ErrorCategory::BadValue);

  sink.shown.clear();
  AlfWriter shortFormat = GoodFile();
  shortFormat.formatBytes = 12;
  ASSERT_FALSE(Load(shortFormat.Build()));
  ExpectRefused(kBadSound, riff::ErrorCategory::BadSize);
}

TEST_F(AllophoneLoad, EntriesTheEngineFillsMustBeInTheFile) {
  for (int required : {allo::kH, allo::kHSoft, allo::kCh, allo::kChi, 106, 107, 108, 109}) {
    SCOPED_TRACE(required);
    sink.shown.clear();
    AlfWriter writer = GoodFile();
    std::erase_if(writer.entries, [&](const testing::AlfEntry& e) { return e.index == required; });
    ASSERT_FALSE(Load(writer.Build()));
    ExpectRefused(kDamaged, riff::ErrorCategory::ChunkNotFound);
  }
}

TEST_F(AllophoneLoad, AFailedLoadEmptiesALoadedDatabase) {
  ASSERT_TRUE(Load(GoodFile().Build()));
  AlfWriter bad = GoodFile();
  bad.version = {1, 1, 2, 4};
  ASSERT_FALSE(Load(bad.Build()));
  ExpectRefused(kDamaged, riff::ErrorCategory::BadValue);
  EXPECT_EQ(db.FindByName("ch"), -1);

  sink.shown.clear();
  ASSERT_TRUE(Load(GoodFile().Build()));
  EXPECT_FALSE(db.LastFailure());
  EXPECT_EQ(db.FindByName("ch"), allo::kCh);
}

TEST_F(AllophoneLoad, FreeingWritesOnlyTheMissingPauseSettings) {
  settings.sound["PauseInterWord"] = 20;
  ASSERT_TRUE(Load(GoodFile().Build()));
  EXPECT_EQ(settings.sound.size(), 1u);  // loading writes nothing

  // Reloading frees the loaded entries first.
  ASSERT_TRUE(Load(GoodFile().Build()));
  EXPECT_EQ(settings.sound.at("PauseInterWord"), 20);
  EXPECT_EQ(settings.sound.at("PauseDoubleLetter"), 3);
  EXPECT_EQ(settings.sound.at("PausePunctation"), 50);
  EXPECT_EQ(settings.sound.at("PauseInterSentence"), 100);

  settings.sound.clear();
  db.Free(settings);
  EXPECT_FALSE(db.Loaded());
  EXPECT_EQ(db.Entry(allo::kA), nullptr);
  EXPECT_EQ(settings.sound.size(), 4u);
}

TEST(AllophoneInventory, FinishLoadingCopesWithABuiltInventory) {
  CAllophoneDb db;
  db.SetEntry({classbits::kVoiceless, allo::kH, "h", {1, 2}});
  db.SetEntry({0, -3, "neg", {}});
  db.SetEntry({0, 0x10000, "big", {}});
  db.SetEntry({0, 5, "toolongname", {}});
  CSpeechSettingsValues settings;
  db.FinishLoading(settings);
  EXPECT_EQ(db.SlotCount(), static_cast<std::size_t>(allo::kNull + 1));
  EXPECT_EQ(db.FindByName("toolongn"), 5);
  EXPECT_EQ(db.Entry(allo::kCh)->samples, (Bytes{1, 2}));
  EXPECT_EQ(db.ClassBits(allo::kCh), classbits::kVoiceless);
  EXPECT_TRUE(db.Entry(allo::kChi)->samples.empty());
  EXPECT_EQ(db.ClassBits(106), classbits::kPause);
  EXPECT_EQ(db.Length(106), 661u);
}

class AllophoneSearch : public ::testing::Test {
 protected:
  AllophoneSearch() {
    for (const char* sub : {"cwd", "path1", "path2", "data"}) std::filesystem::create_directory(root / sub);
  }

  // A voice whose entry 1 is named after the folder it lies in.
  void PutVoice(const std::string& sub) {
    AlfWriter writer = GoodFile();
    writer.Add(1, sub, 0, {1});
    testing::WriteFile(root / sub / "voice.alf", writer.Build());
  }

  std::string LoadedFrom() {
    const CAllophone* entry = db.Entry(1);
    return entry ? entry->name : "";
  }

  bool Search() {
    AllophoneFileSearch search;
    search.fileName = "voice.alf";
    search.dataDirs = {root / "missing", root / "data"};
    testing::ScopedCurrentDir cwd(root / "cwd");
    testing::ScopedEnv path("PATH", (root / "path1").string() + "::" + (root / "path2").string());
    return db.LoadAllophoneFile(search, settings, sink);
  }

  testing::TempDir root;
  CAllophoneDb db;
  CSpeechSettingsValues settings;
  RecordingSink sink;
};

TEST_F(AllophoneSearch, TriesCurrentDirectoryThenPathThenDataDirectories) {
  PutVoice("data");
  ASSERT_TRUE(Search());
  EXPECT_EQ(LoadedFrom(), "data");

  PutVoice("path2");
  ASSERT_TRUE(Search());
  EXPECT_EQ(LoadedFrom(), "path2");

  PutVoice("path1");
  ASSERT_TRUE(Search());
  EXPECT_EQ(LoadedFrom(), "path1");

  PutVoice("cwd");
  ASSERT_TRUE(Search());
  EXPECT_EQ(LoadedFrom(), "cwd");
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(AllophoneSearch, AFolderOfTheNameIsNotTheFile) {
  std::filesystem::create_directory(root / "cwd" / "voice.alf");
  PutVoice("data");
  ASSERT_TRUE(Search());
  EXPECT_EQ(LoadedFrom(), "data");
}

TEST_F(AllophoneSearch, AFifoOfTheNameIsPassedOverUnopened) {
  const auto fifo = root.MakeFifo("cwd/voice.alf");
  ASSERT_FALSE(fifo.empty());
  PutVoice("data");
  ASSERT_TRUE(vokar::test::WithoutBlocking(fifo, [&] { return Search(); }));
  EXPECT_EQ(LoadedFrom(), "data");
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(AllophoneSearch, MissingEverywhereShowsTheNameNotFound) {
  ASSERT_FALSE(Search());
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].text, "Nie znaleziono pliku: voice.alf\n");
  EXPECT_FALSE(db.Loaded());
}

TEST_F(AllophoneSearch, ADamagedFileFoundFirstIsNotPassedOver) {
  testing::WriteFile(root / "cwd" / "voice.alf", std::string_view("not a voice"));
  PutVoice("data");
  ASSERT_FALSE(Search());
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].text, kBadSound);
}

TEST_F(AllophoneSearch, OpenFailureShowsThePath) {
  const auto folder = root / "data";
  ASSERT_FALSE(db.LoadFromPath(folder, settings, sink));
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].text, "Błąd otwarcia pliku: " + folder.string());
  EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);
  EXPECT_EQ(db.LastFailure()->message, kMsgFileOpen);
}

}  // namespace
}  // namespace vokar
