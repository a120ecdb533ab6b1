// Reading manifests: every field and option, and a clear error with the line
// number for each kind of mistake.
#include <gtest/gtest.h>

#include "Manifest.h"

namespace vokar::alf {
namespace {

Result<Manifest> Parse(const std::string& text) { return ParseManifest(text, "m.txt", "/base"); }

TEST(Manifest, ReadsEntriesDirectivesAndOptions) {
  auto m = Parse(
      "# a comment\n"
      "version \"my voice 2\"\n"
      "fade 3.5\n"
      "gain -2\n"
      "\n"
      "1  a 0x0004 rec/a.wav start=10 end=95.5 gain=1.5 fade=1  # the a\n"
      "85 h 8208 \"rec/with blank.wav\" fadein=0 fadeout=4\n"
      "106 p003 0x0002 silence length=30\r\n");
  ASSERT_TRUE(m) << m.Error().ToString();
  EXPECT_EQ(m->versionText, "my voice 2");
  EXPECT_DOUBLE_EQ(m->fadeMs, 3.5);
  EXPECT_DOUBLE_EQ(m->gainDb, -2.0);
  ASSERT_EQ(m->entries.size(), 3u);
  const ManifestEntry& a = m->entries[0];
  EXPECT_EQ(a.line, 6u);
  EXPECT_EQ(a.index, 1);
  EXPECT_EQ(a.name, "a");
  EXPECT_EQ(a.classBits, 0x0004);
  EXPECT_EQ(a.source, std::filesystem::path("/base/rec/a.wav"));
  EXPECT_DOUBLE_EQ(*a.startMs, 10.0);
  EXPECT_DOUBLE_EQ(*a.endMs, 95.5);
  EXPECT_DOUBLE_EQ(a.gainDb, 1.5);
  EXPECT_DOUBLE_EQ(*a.fadeInMs, 1.0);
  EXPECT_DOUBLE_EQ(*a.fadeOutMs, 1.0);
  const ManifestEntry& h = m->entries[1];
  EXPECT_EQ(h.classBits, 0x2010);
  EXPECT_EQ(h.source, std::filesystem::path("/base/rec/with blank.wav"));
  EXPECT_FALSE(h.startMs);
  EXPECT_DOUBLE_EQ(*h.fadeInMs, 0.0);
  EXPECT_DOUBLE_EQ(*h.fadeOutMs, 4.0);
  EXPECT_TRUE(m->entries[2].silence);
  EXPECT_DOUBLE_EQ(m->entries[2].lengthMs, 30.0);
}

TEST(Manifest, AbsoluteSourcesStayAsTheyAre) {
  auto m = Parse("1 a 4 /rec/a.wav\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->entries[0].source, std::filesystem::path("/rec/a.wav"));
}

TEST(Manifest, MistakesNameTheirLine) {
  const struct {
    const char* text;
    std::size_t line;
    const char* says;
  } cases[] = {
      {"1 a 4 a.wav\n1 b 4 b.wav\n", 2, "given twice"},
      {"1 a 4 a.wav\n2 a 4 b.wav\n", 2, "given twice"},
      {"\n\n1 a 4 a.wav volume=3\n", 3, "unknown option"},
      {"1 a 4 a.wav start=x\n", 1, "key=number"},
      {"1 a 4 a.wav start=50 end=40\n", 1, "end must come after start"},
      {"1 a 4 a.wav start=-5\n", 1, "negative"},
      {"1 a-b 4 a.wav\n", 1, "name"},
      {"1 abcdefghi 4 a.wav\n", 1, "name"},
      {"1 a 0x10000 a.wav\n", 1, "16-bit"},
      {"70000 a 4 a.wav\n", 1, "0..65535"},
      {"1 a 4\n", 1, "needs index"},
      {"1 a 4 silence\n", 1, "length"},
      {"1 a 4 silence start=3\n", 1, "length="},
      {"1 a 4 a.wav length=3\n", 1, "silence entries only"},
      {"hello\n", 1, "not 'hello'"},
      {"version \"abcdefghijabcdefghijabcdefghijabc\"\n", 1, "longer than 32"},
      {"fade 500\n", 1, "0..100"},
      {"1 a 4 \"a.wav\n", 1, "unterminated"},
  };
  for (const auto& c : cases) {
    auto m = Parse(c.text);
    ASSERT_FALSE(m) << c.text;
    EXPECT_EQ(m.Error().position, c.line) << c.text;
    EXPECT_NE(m.Error().ToString().find(c.says), std::string::npos) << m.Error().ToString();
    EXPECT_NE(m.Error().ToString().find("m.txt line"), std::string::npos) << m.Error().ToString();
  }
}

TEST(Manifest, EntryNamesFitAllophoneLists) {
  EXPECT_TRUE(IsValidEntryName("ieen"));
  EXPECT_TRUE(IsValidEntryName("ll_"));
  EXPECT_TRUE(IsValidEntryName("12345678"));
  for (const char* bad : {"", "123456789", "a b", "a-b", "(a", "a)", "a\\b", "\xc4\x85"}) {
    EXPECT_FALSE(IsValidEntryName(bad)) << bad;
  }
}

}  // namespace
}  // namespace vokar::alf
