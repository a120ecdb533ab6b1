// The server's start-up rules that need no process: the command line, the
// choice of the wave device from its setting, and the text buffer's limits.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "DeviceChoice.h"
#include "ServerIds.h"
#include "TextBuffer.h"

namespace {

using namespace vokar::server;

TEST(CommandLine, SwitchesFileAndTheSystemRule) {
  struct Case {
    const char* line;
    LogoSwitch logo;
    bool exitAfter;
    const char* file;
    bool minimised;
  };
  const Case cases[] = {
      {"", LogoSwitch::NotGiven, false, "", false},
      {"/L", LogoSwitch::On, false, "", false},
      {"/l+", LogoSwitch::On, false, "", false},
      {" /L-", LogoSwitch::Off, false, "", false},
      {"/LX", LogoSwitch::NotGiven, false, "", false},
      {"/L- /L", LogoSwitch::On, false, "", false},
      // No file: the exit flag goes.
      {"/X", LogoSwitch::NotGiven, false, "", false},
      {"/x tekst.txt", LogoSwitch::NotGiven, true, "tekst.txt", false},
      {"tekst.txt /X", LogoSwitch::NotGiven, false, "tekst.txt", false},
      // The first file counts; the rest of the line is not read.
      {"/l- a.txt b.txt", LogoSwitch::Off, false, "a.txt", false},
      {"a.txt /L", LogoSwitch::NotGiven, false, "a.txt", false},
      {"\t/Q\n/L-  dokument.txt", LogoSwitch::Off, false, "dokument.txt", false},
      // Linux paths are files, not switches.
      {"/home/ala/list.txt", LogoSwitch::NotGiven, false, "/home/ala/list.txt", false},
      {"/X notes/list.txt", LogoSwitch::NotGiven, true, "notes/list.txt", false},
      // A name ending in "system" (more than 5 characters) is no file.
      {"/home/ala/SYSTEM", LogoSwitch::Off, false, "", true},
      {"/L /x c/windows/System", LogoSwitch::Off, false, "", true},
      {"system", LogoSwitch::Off, false, "", true},
      {"ystem", LogoSwitch::NotGiven, false, "ystem", false},
      {"systemy", LogoSwitch::NotGiven, false, "systemy", false},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(SplitCommandLine(c.line));
    EXPECT_EQ(line.logo, c.logo) << '"' << c.line << '"';
    EXPECT_EQ(line.exitAfterReading, c.exitAfter) << '"' << c.line << '"';
    EXPECT_EQ(line.file, c.file) << '"' << c.line << '"';
    EXPECT_EQ(line.startMinimised, c.minimised) << '"' << c.line << '"';
  }
}

TEST(DeviceChoice, SettingToDeviceAndBack) {
  struct Case {
    int setting;
    int devices;
    int expected;
  };
  const Case cases[] = {
      {0, 1, vokar::kWaveMapper}, {-1, 2, vokar::kWaveMapper}, {-2147483647 - 1, 2, vokar::kWaveMapper},
      {1, 2, 0},  {2, 2, 1},  {3, 2, 1},  {7, 2, 1},  {2147483647, 2, 1}, {1, 1, 0}, {16, 16, 15}, {17, 16, 15},
  };
  for (const auto& c : cases) {
    const auto chosen = ChooseWaveDevice(c.setting, c.devices);
    ASSERT_TRUE(chosen) << c.setting;
    EXPECT_EQ(*chosen, c.expected) << c.setting << " of " << c.devices;
  }
  EXPECT_FALSE(ChooseWaveDevice(0, 0));
  EXPECT_FALSE(ChooseWaveDevice(3, 0));
  EXPECT_EQ(WaveDeviceSetting(vokar::kWaveMapper), 0);
  EXPECT_EQ(WaveDeviceSetting(0), 1);
  EXPECT_EQ(WaveDeviceSetting(1), 2);
}

TEST(TextBuffer, EachWriterKeepsItsOwnLimit) {
  CTextBuffer buffer;
  EXPECT_EQ(buffer.Text(), "");
  struct Case {
    std::size_t offered;
    std::size_t limit;
    std::size_t stored;
  };
  const Case cases[] = {
      {65276, kMaxPokeBytes, 65276},      {65277, kMaxPokeBytes, 65276},      {70000, kMaxPokeBytes, 65276},
      {65278, kMaxClipboardBytes, 65278}, {65279, kMaxClipboardBytes, 65278}, {65279, kMaxFileBytes, 65279},
      {65280, kMaxFileBytes, 65279},      {65290, 100000, 65279},            {0, kMaxFileBytes, 0},
  };
  for (const auto& c : cases) {
    const std::string text(c.offered, 'x');
    EXPECT_EQ(buffer.Store(text, c.limit), c.stored);
    EXPECT_EQ(buffer.Text().size(), c.stored);
  }
  // The text ends at its first NUL.
  buffer.Store(std::string("ab\0cd", 5), 100);
  EXPECT_EQ(buffer.Text(), "ab");
}

}  // namespace
