#include "Intl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

std::filesystem::path WriteIni(const std::string& name, const std::string& text) {
  const auto dir = std::filesystem::temp_directory_path() / ("vokar-intl-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto path = dir / name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(Intl, MissingFileGivesTheDefaults) {
  const auto values = vokar::intl::ReadIntlFrom("/nonexistent/intl.ini");
  EXPECT_EQ(values.decimal, ',');
  EXPECT_EQ(values.thousand, '.');
  EXPECT_EQ(values.date, '/');
  EXPECT_EQ(values.shortDate, "");
}

TEST(Intl, ReadsTheIntlSectionOnly) {
  const auto path = WriteIni("a.ini",
                             "[other]\nsDecimal=;\n\n[Intl]\r\nsdecimal = .\r\nsThousand=\" \"\r\n"
                             "sDate=-\nsShortDate=yyyy-MM-dd-and-a-long-tail\n");
  const auto values = vokar::intl::ReadIntlFrom(path);
  EXPECT_EQ(values.decimal, '.');
  EXPECT_EQ(values.thousand, ' ');
  EXPECT_EQ(values.date, '-');
  EXPECT_EQ(values.shortDate, "yyyy-MM-dd-and-");  // at most 15 characters
}

TEST(Intl, EmptyValueKeepsDefaultAndUtf8IsConverted) {
  const auto path = WriteIni("b.ini", "[intl]\nsDecimal=\nsThousand=\xC2\xA0\n");
  const auto values = vokar::intl::ReadIntlFrom(path);
  EXPECT_EQ(values.decimal, ',');
  EXPECT_EQ(values.thousand, 0xA0);  // the no-break space of code page 1250
}

TEST(Intl, ConfigDirFollowsTheEnvironment) {
  ::setenv("VOKAR_CONFIG_DIR", "/tmp/some-config", 1);
  EXPECT_EQ(vokar::intl::ConfigDir(), std::filesystem::path("/tmp/some-config"));
  ::unsetenv("VOKAR_CONFIG_DIR");
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(vokar::intl::ConfigDir(), std::filesystem::path("/tmp/xdg/quillmark"));
}

}  // namespace
