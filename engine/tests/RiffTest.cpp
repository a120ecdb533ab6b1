#include "Riff.h"

#include <gtest/gtest.h>

#include "support/AlfWriter.h"

namespace vokar::riff {
namespace {

using testing::Bytes;
using testing::FormatRecord;
using testing::RiffBuilder;

TEST(RiffForm, FindsTheFormAndItsChunksInOrder) {
  const Bytes file = RiffBuilder("TEST").Chunk("aaaa", {1, 2}).Chunk("bbbb", {3}).Chunk("cccc", {4, 5, 6, 7}).Build();
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form) << form.GetError().ToString();
  EXPECT_EQ(form->FormEnd(), file.size());

  auto b = form->FindChunk(FourCC("bbbb"));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->declaredSize, 1u);
  EXPECT_EQ(b->headerOffset, 22u);  // 12 + 8 + 2
  // The odd chunk is followed by its pad byte, so "cccc" starts at 32.
  auto c = form->FindChunk(FourCC("cccc"));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->headerOffset, 32u);
  auto data = form->Data(*c);
  ASSERT_TRUE(data);
  EXPECT_EQ(Bytes(data->begin(), data->end()), (Bytes{4, 5, 6, 7}));
}

TEST(RiffForm, SearchesOnlyForwardFromThePosition) {
  const Bytes file = RiffBuilder("TEST").Chunk("aaaa", {1}).Chunk("bbbb", {2}).Build();
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  ASSERT_TRUE(form->FindChunk(FourCC("bbbb")));
  // "aaaa" stands before the position now: it is not found again.
  auto again = form->FindChunk(FourCC("aaaa"));
  ASSERT_FALSE(again);
  EXPECT_EQ(again.GetError().category, ErrorCategory::ChunkNotFound);
  EXPECT_EQ(again.GetError().offset, file.size());
  // A failed search leaves the position where it was.
  EXPECT_EQ(form->Position(), file.size());
}

TEST(RiffForm, NextChunkWalksEveryChunk) {
  const Bytes file = RiffBuilder("TEST").Chunk("aaaa", {1}).Chunk("bbbb", {}).Build();
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  EXPECT_EQ(form->NextChunk()->id, FourCC("aaaa"));
  EXPECT_EQ(form->NextChunk()->id, FourCC("bbbb"));
  EXPECT_FALSE(form->NextChunk());
}

TEST(RiffForm, RefusesOtherFormsAndNonRiffFiles) {
  const Bytes wave = RiffBuilder("WAVE").Chunk("fmt ", FormatRecord(kVoiceFormat)).Build();
  auto wrongForm = CFormReader::Find(wave, FourCC("ALOF"));
  ASSERT_FALSE(wrongForm);
  EXPECT_EQ(wrongForm.GetError().category, ErrorCategory::NotRiff);
  EXPECT_NE(wrongForm.GetError().description.find("\"WAVE\""), std::string::npos);

  const std::string text = "key replacement\r\nother line\r\n";
  const Bytes notRiff(text.begin(), text.end());
  auto none = CFormReader::Find(notRiff, FourCC("ALOF"));
  ASSERT_FALSE(none);
  EXPECT_EQ(none.GetError().category, ErrorCategory::NotRiff);

  EXPECT_FALSE(CFormReader::Find(Bytes{}, FourCC("ALOF")));
  EXPECT_FALSE(CFormReader::Find(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}, FourCC("ALOF")));
}

TEST(RiffForm, SkipsOtherTopLevelChunksBeforeTheForm) {
  Bytes file = RiffBuilder("JUNK").Chunk("xxxx", {1, 2, 3}).Build();
  const Bytes form = RiffBuilder("TEST").Chunk("aaaa", {9}).Build();
  file.insert(file.end(), form.begin(), form.end());
  auto found = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(found);
  auto chunk = found->FindChunk(FourCC("aaaa"));
  ASSERT_TRUE(chunk);
  EXPECT_EQ((*found->Data(*chunk))[0], 9);
}

TEST(RiffSizes, ARiffSizePastTheEndIsClampedToTheFile) {
  const Bytes file = RiffBuilder("TEST").Chunk("aaaa", {1, 2}).Build(0x7FFFFFF0u);
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  EXPECT_EQ(form->FormEnd(), file.size());
  auto chunk = form->FindChunk(FourCC("aaaa"));
  ASSERT_TRUE(chunk);
  EXPECT_TRUE(form->Data(*chunk));
  EXPECT_FALSE(form->FindChunk(FourCC("bbbb")));
}

TEST(RiffSizes, ChunksBeyondADeclaredShortFormAreNotFound) {
  // The form says it holds 4 + 10 bytes: only "aaaa" lies inside it.
  const Bytes file = RiffBuilder("TEST").Chunk("aaaa", {1, 2}).Chunk("bbbb", {3, 4}).Build(14);
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  EXPECT_TRUE(form->FindChunk(FourCC("aaaa")));
  EXPECT_FALSE(form->FindChunk(FourCC("bbbb")));

  const Bytes tiny = RiffBuilder("TEST").Chunk("aaaa", {1}).Build(2);
  auto empty = CFormReader::Find(tiny, FourCC("TEST"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->FormEnd(), 12u);
  EXPECT_FALSE(empty->FindChunk(FourCC("aaaa")));
}

TEST(RiffSizes, AChunkSizePastTheEndIsFoundButItsDataIsTruncated) {
  const Bytes file = RiffBuilder("TEST").ChunkDeclaring("data", 1000, {1, 2, 3, 4}).Build();
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  auto chunk = form->FindChunk(FourCC("data"));
  ASSERT_TRUE(chunk);
  EXPECT_EQ(chunk->declaredSize, 1000u);
  EXPECT_EQ(form->Position(), form->FormEnd());
  auto data = form->Data(*chunk);
  ASSERT_FALSE(data);
  EXPECT_EQ(data.GetError().category, ErrorCategory::Truncated);
  EXPECT_EQ(data.GetError().offset, file.size());
  EXPECT_NE(data.GetError().ToString().find("declares 1000 bytes; the file ends after 4"), std::string::npos);
}

// A chunk's data may end exactly at the end of the file; one byte more is a
// truncated chunk, never a read past the end.
TEST(RiffSizes, DataEndingAtTheEndOfTheFileIsReadAndOneByteMoreIsNot) {
  struct Case {
    std::uint32_t declared;
    Bytes written;
    bool whole;
  } cases[] = {
      {4, {1, 2, 3, 4}, true}, {5, {1, 2, 3, 4}, false}, {3, {1, 2, 3}, true},  // then its pad byte
      {0, {}, true},           {1, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("declares " + std::to_string(c.declared) + ", holds " + std::to_string(c.written.size()));
    const Bytes file = RiffBuilder("TEST").ChunkDeclaring("data", c.declared, c.written).Build();
    auto form = CFormReader::Find(file, FourCC("TEST"));
    ASSERT_TRUE(form);
    auto chunk = form->FindChunk(FourCC("data"));
    ASSERT_TRUE(chunk);
    ASSERT_EQ(chunk->dataOffset + c.written.size() + c.written.size() % 2, file.size());
    auto data = form->Data(*chunk);
    ASSERT_EQ(static_cast<bool>(data), c.whole);
    if (c.whole) {
      EXPECT_EQ(data->size(), c.declared);
      EXPECT_EQ(data->data(), file.data() + chunk->dataOffset);
    } else {
      EXPECT_EQ(data.GetError().category, ErrorCategory::Truncated);
      EXPECT_EQ(data.GetError().offset, file.size());
    }
  }
}

TEST(RiffSizes, AHugeSizeWhileSkippingEndsTheSearch) {
  const Bytes file =
      RiffBuilder("TEST").ChunkDeclaring("skip", 0xFFFFFFFFu, {1, 2}).Chunk("want", {3}).Build();
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  auto chunk = form->FindChunk(FourCC("want"));
  ASSERT_FALSE(chunk);
  EXPECT_EQ(chunk.GetError().offset, form->FormEnd());
}

TEST(RiffSizes, AHeaderCutShortIsNotAChunk) {
  // Six bytes of a header inside the form's declared extent.
  const Bytes file = RiffBuilder("TEST").Chunk("aaaa", {1, 2}).Raw({'b', 'b', 'b', 'b', 1, 0}).Build();
  auto form = CFormReader::Find(file, FourCC("TEST"));
  ASSERT_TRUE(form);
  ASSERT_TRUE(form->FindChunk(FourCC("aaaa")));
  auto cut = form->FindChunk(FourCC("bbbb"));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.GetError().offset, 22u);
}

TEST(RiffPcm, ReadsTheFormatRecord) {
  const WaveFormat stereo{1, 2, 44100, 176400, 4, 16};
  Bytes record = FormatRecord(stereo);
  record.insert(record.end(), {0, 0});  // the 18-byte form with its extra-size field
  const Bytes file = RiffBuilder("WAVE").Chunk("fmt ", record).Build();
  auto form = OpenPcmForm(file, FourCC("WAVE"));
  ASSERT_TRUE(form) << form.GetError().ToString();
  EXPECT_EQ(form->format, stereo);
}

TEST(RiffPcm, RefusesMissingShortAndNonPcmFormats) {
  auto missing = OpenPcmForm(RiffBuilder("WAVE").Chunk("data", {1}).Build(), FourCC("WAVE"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.GetError().category, ErrorCategory::ChunkNotFound);

  Bytes shortRecord = FormatRecord(kVoiceFormat);
  shortRecord.resize(14);
  auto cut = OpenPcmForm(RiffBuilder("WAVE").Chunk("fmt ", shortRecord).Build(), FourCC("WAVE"));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.GetError().category, ErrorCategory::BadSize);
  EXPECT_EQ(cut.GetError().offset, 16u);

  WaveFormat adpcm = kVoiceFormat;
  adpcm.formatTag = 2;
  auto notPcm = OpenPcmForm(RiffBuilder("WAVE").Chunk("fmt ", FormatRecord(adpcm)).Build(), FourCC("WAVE"));
  ASSERT_FALSE(notPcm);
  EXPECT_EQ(notPcm.GetError().category, ErrorCategory::BadValue);
  EXPECT_EQ(notPcm.GetError().offset, 20u);

  auto past = OpenPcmForm(RiffBuilder("WAVE").ChunkDeclaring("fmt ", 16, {1, 0}).Build(), FourCC("WAVE"));
  ASSERT_FALSE(past);
  EXPECT_EQ(past.GetError().category, ErrorCategory::Truncated);
}

TEST(RiffFiles, ReadsWholeFilesAndRefusesBadOnes) {
  testing::TempDir dir;
  const Bytes content = RiffBuilder("TEST").Chunk("aaaa", {1, 2, 3}).Build();
  testing::WriteFile(dir / "a.riff", content);

  auto bytes = ReadFileBytes(dir / "a.riff");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, content);

  auto tooLarge = ReadFileBytes(dir / "a.riff", content.size() - 1);
  ASSERT_FALSE(tooLarge);
  EXPECT_EQ(tooLarge.GetError().category, ErrorCategory::TooLarge);
  EXPECT_TRUE(ReadFileBytes(dir / "a.riff", content.size()));

  EXPECT_EQ(ReadFileBytes(dir / "missing").GetError().category, ErrorCategory::Open);
  EXPECT_EQ(ReadFileBytes(dir.Path()).GetError().category, ErrorCategory::Open);
}

}  // namespace
}  // namespace vokar::riff
