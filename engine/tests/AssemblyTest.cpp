#include "Assembly.h"

#include <gtest/gtest.h>

#include <numeric>

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "TextScanner.h"
#include "support/TestInventory.h"

namespace vokar {
namespace {

struct RecordedControl {
  ControlCode code;
  int argument;
  std::size_t chunksBefore;
};

class Chunks : public ::testing::Test, public IControlHandler {
 protected:
  void SetUp() override { testing::FillTestInventory(db, settings); }

  void ApplyControl(ControlCode code, int argument, CUtterance&) override {
    controls.push_back({code, argument, sizes.size()});
  }

  // Renders every chunk of the first sentence and records their sizes.
  void Render(const std::string& utf8) {
    text = cp1250::FromUtf8(utf8);
    scanner = std::make_unique<CTextScanner>(text, ScannerContext{settings, db, nullptr, sink});
    utterance = scanner->NextUtterance();
    ASSERT_NE(utterance, nullptr);
    while (RenderNextChunk(*utterance, db, *this)) {
      sizes.push_back(utterance->chunk.samples.size());
      if (firstChunk.empty()) firstChunk = utterance->chunk.samples;
      EXPECT_EQ(utterance->chunk.format, db.Format());
    }
  }

  std::size_t TokenBytes(const CWordToken& token) const {
    std::size_t total = 0;
    for (const auto& e : token.allophones) total += e.index < allo::kNothing ? db.Length(e.index) : 0;
    return total;
  }

  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CSilentSink sink;
  std::string text;
  std::unique_ptr<CTextScanner> scanner;
  CUtterance* utterance = nullptr;
  std::vector<std::size_t> sizes;
  std::vector<std::uint8_t> firstChunk;
  std::vector<RecordedControl> controls;
};

TEST_F(Chunks, AFullStopAloneIsOneChunkOfTheSentencePause) {
  Render(".");
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0], 22050u);  // 100 hundredths at 22050 bytes per second
  EXPECT_EQ(firstChunk, std::vector<std::uint8_t>(22050, 128));
}

TEST_F(Chunks, PausesEndChunksAndNothingIsLost) {
  Render("raz, dwa; trzy.");
  // raz , | dwa ; | trzy . : each chunk ends after its pause token.
  ASSERT_EQ(sizes.size(), 3u);
  std::size_t expected = 0;
  for (const auto& token : utterance->Tokens()) expected += TokenBytes(token);
  EXPECT_EQ(std::accumulate(sizes.begin(), sizes.end(), std::size_t{0}), expected);
}

TEST_F(Chunks, LongSentencesAreSplitAtTokenBoundaries) {
  // Make a loud a: 40000 bytes, so a dozen words pass the limit.
  CAllophone a = *db.Entry(allo::kA);
  a.samples.assign(40000, 200);
  for (int index : {allo::kA, allo::kA + allo::kAccentOffset, allo::kA + allo::kFinalOffset}) {
    a.index = index;
    db.SetEntry(a);
  }
  std::string sentence;
  for (int i = 0; i < 12; ++i) sentence += "mama ";
  Render(sentence);
  ASSERT_GE(sizes.size(), 2u);
  // Each chunk is a run of whole tokens and stays within the limit.
  std::size_t token = 0;
  for (std::size_t size : sizes) {
    EXPECT_LE(size, kMaxChunkBytes);
    std::size_t sum = 0;
    while (sum < size && token < utterance->Tokens().size()) sum += TokenBytes(utterance->Tokens()[token++]);
    EXPECT_EQ(sum, size);
  }
}

// Chunks fill up to 262144 bytes exactly, and a token that would take them
// one byte past it starts the next chunk.
TEST_F(Chunks, AChunkFillsUpToTheLimitAndNotAByteMore) {
  // Two entries of the test's own: half the limit, and one byte.
  db.SetEntry(CAllophone{0, 100, "half", std::vector<std::uint8_t>(131072, 140)});
  db.SetEntry(CAllophone{0, 101, "one", {150}});
  struct Case {
    const char* text;
    std::vector<std::size_t> sizes;
  } cases[] = {
      {"\\Alf=(half)\\\\Alf=(half)\\\\Alf=(one)\\", {262144, 1}},
      {"\\Alf=(half)\\\\Alf=(half)\\\\Alf=(half)\\", {262144, 131072}},
      {"\\Alf=(half one)\\\\Alf=(half)\\", {131073, 131072}},
      {"\\Alf=(half)\\\\Alf=(half one)\\", {131072, 131073}},
      {"\\Alf=(half one)\\\\Alf=(half one)\\\\Alf=(one)\\", {131073, 131074}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    sizes.clear();
    controls.clear();
    Render(c.text);
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_TRUE(controls.empty());
  }
}

TEST_F(Chunks, ATokenLargerThanTheLimitMakesAChunkAlone) {
  CAllophone big = *db.Entry(allo::kO);
  big.samples.assign(kMaxChunkBytes + 10, 100);
  big.index = allo::kO + allo::kFinalOffset;
  db.SetEntry(big);
  Render("to");
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_GT(sizes[0], kMaxChunkBytes);
}

TEST_F(Chunks, ControlTokensEndTheChunkAndApplyAtTheirPlace) {
  Render("raz \\Spd=80\\dwa \\Vol=30\\");
  ASSERT_EQ(sizes.size(), 2u);
  ASSERT_EQ(controls.size(), 2u);
  EXPECT_EQ(controls[0].code, ControlCode::Speed);
  EXPECT_EQ(controls[0].argument, 81);
  EXPECT_EQ(controls[0].chunksBefore, 1u);  // after "raz", before "dwa"
  EXPECT_EQ(controls[1].code, ControlCode::Volume);
  EXPECT_EQ(controls[1].argument, 31);
  EXPECT_EQ(controls[1].chunksBefore, 2u);
}

TEST_F(Chunks, AllophoneListsAreRenderedAsSpeech) {
  Render("\\Alf=(a ch)\\");
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0], db.Length(allo::kA) + db.Length(allo::kCh));
  EXPECT_TRUE(controls.empty());
}

}  // namespace
}  // namespace vokar
