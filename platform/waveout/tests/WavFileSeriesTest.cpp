#include "WavFileSeries.h"

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "TestSupport.h"

namespace vokar::waveout {
namespace {

using test::ReadWav;

TEST(WavFileSeries, NumbersTheFilesBeforeTheirExtension) {
  EXPECT_EQ(WavFileSeries::NthPath("/tmp/out.wav", 1), "/tmp/out.wav");
  EXPECT_EQ(WavFileSeries::NthPath("/tmp/out.wav", 2), "/tmp/out-2.wav");
  EXPECT_EQ(WavFileSeries::NthPath("/tmp/say", 3), "/tmp/say-3");
  EXPECT_EQ(WavFileSeries::NthPath("rel/a.b.wav", 10), "rel/a.b-10.wav");
}

TEST(WavFileSeries, AppendsWhileTheLayoutStaysAndIsCompleteAfterEveryAppend) {
  const vokar::test::TestFolder folder("waveout-series");
  const auto dir = folder.path();
  WavFileSeries series(dir / "out.wav");
  const PcmLayout mono{SampleType::U8, 1, 22050};
  ASSERT_TRUE(series.Begin(mono));
  ASSERT_TRUE(series.Append(reinterpret_cast<const std::uint8_t*>("abc"), 3));
  // An odd data chunk ends with a pad byte, and the file reads complete.
  auto wav = ReadWav(dir / "out.wav");
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->format, kVoiceFormat);
  EXPECT_EQ(std::string(wav->data.begin(), wav->data.end()), "abc");

  ASSERT_TRUE(series.Begin(mono));
  ASSERT_TRUE(series.Append(reinterpret_cast<const std::uint8_t*>("defg"), 4));
  wav = ReadWav(dir / "out.wav");
  ASSERT_TRUE(wav);
  EXPECT_EQ(std::string(wav->data.begin(), wav->data.end()), "abcdefg");
  EXPECT_EQ(series.Files().size(), 1u);
}

TEST(WavFileSeries, StartsTheNextFileWhenTheLayoutChanges) {
  const vokar::test::TestFolder folder("waveout-series");
  const auto dir = folder.path();
  WavFileSeries series(dir / "out.wav");
  const PcmLayout slow{SampleType::U8, 1, 22050};
  const PcmLayout fast{SampleType::U8, 1, 28665};
  const std::uint8_t bytes[] = {1, 2, 3, 4};
  ASSERT_TRUE(series.Begin(slow));
  ASSERT_TRUE(series.Append(bytes, 2));
  ASSERT_TRUE(series.Begin(fast));
  ASSERT_TRUE(series.Append(bytes, 4));
  ASSERT_TRUE(series.Begin(slow));
  ASSERT_TRUE(series.Append(bytes + 2, 2));

  const auto files = series.Files();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1], dir / "out-2.wav");
  const auto first = ReadWav(files[0]);
  const auto second = ReadWav(files[1]);
  const auto third = ReadWav(files[2]);
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(first->format.samplesPerSec, 22050u);
  EXPECT_EQ(second->format.samplesPerSec, 28665u);
  EXPECT_EQ(second->format.avgBytesPerSec, 28665u);
  EXPECT_EQ(second->data.size(), 4u);
  EXPECT_EQ(third->data, (std::vector<std::uint8_t>{3, 4}));
}

TEST(WavFileSeries, SaysWhyAFileCannotBeMade) {
  WavFileSeries series("/nonexistent-folder/out.wav");
  EXPECT_FALSE(series.Begin({SampleType::U8, 1, 22050}));
  EXPECT_NE(series.LastError().find("/nonexistent-folder/out.wav"), std::string::npos);
  const std::uint8_t byte = 0;
  EXPECT_FALSE(series.Append(&byte, 1));
  EXPECT_TRUE(series.Files().empty());
}

}  // namespace
}  // namespace vokar::waveout
