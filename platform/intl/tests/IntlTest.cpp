#include "Intl.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestFolder.h"

namespace {

using vokar::test::TestFolder;

TEST(Intl, MissingFileGivesTheDefaults) {
  const auto values = vokar::intl::ReadIntlFrom("/nonexistent/intl.ini");
  EXPECT_EQ(values.decimal, ',');
  EXPECT_EQ(values.thousand, '.');
  EXPECT_EQ(values.date, '/');
  EXPECT_EQ(values.shortDate, "");
}

TEST(Intl, ReadsTheIntlSectionOnly) {
  const TestFolder folder("intl");
  const auto path = folder.Write("a.ini",
                             "[other]\nsDecimal=;\n\n[Intl]\r\nsdecimal = .\r\nsThousand=\" \"\r\n"
                             "sDate=-\nsShortDate=yyyy-MM-dd-and-a-long-tail\n");
  const auto values = vokar::intl::ReadIntlFrom(path);
  EXPECT_EQ(values.decimal, '.');
  EXPECT_EQ(values.thousand, ' ');
  EXPECT_EQ(values.date, '-');
  EXPECT_EQ(values.shortDate, "yyyy-MM-dd-and-");  // at most 15 characters
}

TEST(Intl, AnEmptyValueMeansNoSeparatorAndOnlyAMissingKeyTakesTheDefault) {
  const TestFolder folder("intl");
  struct Case {
    std::string text;
    unsigned char decimal, thousand, date;
  } cases[] = {
      {"[intl]\nsThousand=\"\"\n", ',', 0, '/'},
      {"[intl]\nsThousand=\n", ',', 0, '/'},
      {"[intl]\nsThousand=   \r\n", ',', 0, '/'},
      {"[intl]\nsDecimal=\nsDate=\n", 0, '.', 0},
      {"[intl]\nsThousand=\" \"\n", ',', ' ', '/'},
      {"[intl]\nsThousand=\xC2\xA0\n", ',', 0xA0, '/'},  // UTF-8 no-break space, 0xA0 in code page 1250
      {"[intl]\n", ',', '.', '/'},
      {"[other]\nsThousand=\n", ',', '.', '/'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto values = vokar::intl::ReadIntlFrom(folder.Write("b.ini", c.text));
    EXPECT_EQ(values.decimal, c.decimal);
    EXPECT_EQ(values.thousand, c.thousand);
    EXPECT_EQ(values.date, c.date);
  }
}

// An editor's byte order mark before the section, and each value in the
// encoding it was written in: U+00B7 is 0xB7, U+00A0 0xA0 and the en dash
// U+2013 0x96 in code page 1250.
TEST(Intl, AByteOrderMarkAndValuesOfEitherEncoding) {
  const TestFolder folder("intl");
  const auto values = vokar::intl::ReadIntlFrom(
      folder.Write("bom.ini", "\xEF\xBB\xBF[intl]\r\nsDecimal=\xB7\r\nsThousand=\xC2\xA0\r\nsDate=\xE2\x80\x93\r\n"));
  EXPECT_EQ(values.decimal, 0xB7);
  EXPECT_EQ(values.thousand, 0xA0);
  EXPECT_EQ(values.date, 0x96);
}

// A file of more than a mebibyte is read up to its last whole line: a value
// the limit cuts (here inside its en dash) keeps the default, one that ends
// on the limit is read.
TEST(Intl, AValueCutByTheReadLimitIsNotRead) {
  const TestFolder folder("intl");
  constexpr std::size_t kLimit = 1024 * 1024;
  const std::string head = "[intl]\nsDecimal=.\n";
  const std::string last = "sDate=\xE2\x80\x93\n";  // 10 bytes
  // A comment fills the file so that the last line ends on the limit.
  const std::string comment = ";" + std::string(kLimit - head.size() - last.size() - 2, 'x') + "\n";
  const std::string whole = head + comment + last;
  ASSERT_EQ(whole.size(), kLimit);
  auto values = vokar::intl::ReadIntlFrom(folder.Write("whole.ini", whole));
  EXPECT_EQ(values.decimal, '.');
  EXPECT_EQ(values.date, 0x96);
  // Two bytes more before it: the limit falls after E2 80.
  const std::string cut = head + ";xx" + comment.substr(1) + last;
  ASSERT_EQ(cut.substr(kLimit - 2, 2), "\xE2\x80");
  values = vokar::intl::ReadIntlFrom(folder.Write("cut.ini", cut));
  EXPECT_EQ(values.decimal, '.');
  EXPECT_EQ(values.date, '/');
}

TEST(Intl, AFifoOfTheNameIsNeverOpened) {
  const TestFolder folder("intl");
  const auto fifo = folder.MakeFifo("intl.ini");
  ASSERT_FALSE(fifo.empty());
  const auto values = vokar::test::WithoutBlocking(fifo, [&] { return vokar::intl::ReadIntlFrom(fifo); });
  EXPECT_EQ(values.decimal, ',');
  EXPECT_EQ(values.thousand, '.');
}

TEST(Intl, ConfigDirFollowsTheEnvironment) {
  ::setenv("VOKAR_CONFIG_DIR", "/tmp/some-config", 1);
  EXPECT_EQ(vokar::intl::ConfigDir(), std::filesystem::path("/tmp/some-config"));
  ::unsetenv("VOKAR_CONFIG_DIR");
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(vokar::intl::ConfigDir(), std::filesystem::path("/tmp/xdg/quillmark"));
}

}  // namespace
