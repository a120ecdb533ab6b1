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
