// The advice page: its settings with their limits, the advice file that
// cannot be opened or read, the line chosen at random or in turn with the
// page's sound and prefix, long lines read in pieces, and a file that became
// shorter since its lines were counted.
#include <gtest/gtest.h>

#include <QRadioButton>

#include <fstream>
#include <string>
#include <vector>

#include "AdvicePage.h"
#include "ClockIds.h"
#include "ClockTestSupport.h"
#include "Profile.h"

namespace {

using namespace vokar;
using namespace vokar::clock;
using namespace vokar::clock::test;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

registry::Profile Store() { return registry::Profile("Quillmark", "Horalo"); }

std::string WriteFile(const ClockWorld& world, const std::string& name, const std::string& bytes) {
  const std::filesystem::path file = world.folder() / name;
  std::ofstream(file, std::ios::binary) << bytes;
  return file.string();
}

TEST(AdvicePage, StoredValuesAreReadWithTheirLimitsAndWrittenBack) {
  struct Case {
    int frequency, frequencyRead;
    int mode;
    bool inTurn;
  } cases[] = {{-1, 0, -1, false}, {0, 0, 0, false}, {3, 3, 1, true}, {4, 4, 2, true}, {5, 4, 7, true}};
  for (const auto& c : cases) {
    ClockWorld world;
    ASSERT_TRUE(Store().WriteInt("Advice", "Frequency", c.frequency).ok());
    ASSERT_TRUE(Store().WriteInt("Advice", "Mode", c.mode).ok());
    TestHost host;
    CAdvicePage page(host);
    page.LoadSettings();
    EXPECT_EQ(page.Frequency(), c.frequencyRead) << c.frequency;
    EXPECT_EQ(page.InTurn(), c.inTurn) << c.mode;
    // 4 checks no button.
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(static_cast<QRadioButton*>(page.Control(IDC_ADVICE_FREQUENCY_FIRST + i))->isChecked(),
                i == c.frequencyRead)
          << c.frequency << " " << i;
    }
    page.SaveSettings();
    EXPECT_EQ(Store().GetInt("Advice", "Frequency", -7), c.frequencyRead);
    EXPECT_EQ(Store().GetInt("Advice", "Mode", -7), c.inTurn ? 1 : 0);
    EXPECT_EQ(Store().GetString("Advice", "DocumentName", "?"), "");
  }
}

TEST(AdvicePage, AFileThatCannotBeOpenedOrReadIsToldAndForgotten) {
  ClockWorld world;
  const std::string missing = (world.folder() / "brak.txt").string();
  const std::string folder = world.folder().path().string();
  struct Case {
    std::string path, message;
  } cases[] = {
      {missing, "Błąd otwarcia pliku: " + missing},
      {folder, "Błąd otwarcia pliku: " + folder},
      // A regular file whose first read fails.
      {"/proc/self/mem", "Błąd obsługi pliku: /proc/self/mem"},
  };
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    ASSERT_TRUE(Store().WriteString("Advice", "DocumentName", c.path).ok());
    TestHost host;
    CAdvicePage page(host);
    page.LoadSettings();
    expected.push_back(c.message);
    EXPECT_EQ(world.Messages(), expected);
    EXPECT_EQ(page.path(), "");
    EXPECT_EQ(page.lineCount(), 0);
    EXPECT_EQ(page.ReadAdvice(), "");
    page.SaveSettings();
    EXPECT_EQ(Store().GetString("Advice", "DocumentName", "?"), "");
  }
}

TEST(AdvicePage, ARandomLineIsChosenByTheDrawOverTheWholeFile) {
  ClockWorld world;
  ASSERT_TRUE(Store().WriteString("Advice", "DocumentName", WriteFile(world, "rady.txt", "jeden\ndwa\ntrzy\n")).ok());
  ASSERT_TRUE(Store().WriteString("Advice", "InitSoundName", "dzwonek.wav").ok());
  ASSERT_TRUE(Store().WriteString("Advice", "Prefix", "Rada: ").ok());
  TestHost host;
  CAdvicePage page(host);
  page.LoadSettings();
  ASSERT_EQ(page.lineCount(), 3);
  // i = floor(r * 3 / 32767), at most 2: 10922 * 3 = 32766 is still line 0,
  // 10923 * 3 = 32769 line 1, 21845 * 3 = 65535 line 2 (65534 is below),
  // and 32767 (3) is held at line 2.
  const struct {
    std::uint32_t draw;
    const char* line;
    std::int64_t index;
  } draws[] = {{0, "jeden\n", 0}, {10922, "jeden\n", 0}, {10923, "dwa\n", 1}, {21844, "dwa\n", 1},
               {21845, "trzy\n", 2}, {32767, "trzy\n", 2}};
  for (const auto& d : draws) {
    host.draw = d.draw;
    EXPECT_EQ(page.ReadAdvice(), std::string("\\Wav=\"dzwonek.wav\"\\Rada: ") + d.line) << d.draw;
    EXPECT_EQ(page.lastIndex(), d.index) << d.draw;
  }
}

TEST(AdvicePage, InTurnLongLinesComeInPiecesOf255) {
  ClockWorld world;
  const std::string longLine(300, 'a');
  ASSERT_TRUE(Store().WriteInt("Advice", "Mode", 1).ok());
  ASSERT_TRUE(Store().WriteString("Advice", "InitSound", "No").ok());
  ASSERT_TRUE(Store().WriteString("Advice", "InitSoundName", "dzwonek.wav").ok());
  ASSERT_TRUE(
      Store().WriteString("Advice", "DocumentName", WriteFile(world, "rady.txt", longLine + "\nkoniec\n")).ok());
  TestHost host;
  CAdvicePage page(host);
  page.LoadSettings();
  // 255 characters, then the other 45 with the line end, then the last line.
  ASSERT_EQ(page.lineCount(), 3);
  const std::vector<std::string> expected{std::string(45, 'a') + "\n", "koniec\n", std::string(255, 'a'),
                                          std::string(45, 'a') + "\n"};
  for (const auto& line : expected) EXPECT_EQ(page.ReadAdvice(), line);
}

TEST(AdvicePage, AFileShortenedSinceItWasCountedStartsAgainFromTheTop) {
  ClockWorld world;
  const std::string path = WriteFile(world, "rady.txt", "jeden\ndwa\ntrzy\n");
  ASSERT_TRUE(Store().WriteInt("Advice", "Mode", 1).ok());
  ASSERT_TRUE(Store().WriteString("Advice", "DocumentName", path).ok());
  TestHost host;
  CAdvicePage page(host);
  page.LoadSettings();
  EXPECT_EQ(page.ReadAdvice(), "dwa\n");
  WriteFile(world, "rady.txt", "jeden\n");
  // Line 2 is gone: nothing is read and the turn starts again.
  EXPECT_EQ(page.ReadAdvice(), "");
  EXPECT_EQ(page.lastIndex(), 0);
  WriteFile(world, "rady.txt", "jeden\ndwa\ntrzy\n");
  EXPECT_EQ(page.ReadAdvice(), "dwa\n");
  // A file that is gone says nothing and tells nobody.
  std::filesystem::remove(path);
  EXPECT_EQ(page.ReadAdvice(), "");
  EXPECT_TRUE(world.Messages().empty());
}

TEST(AdvicePage, TheMinuteTickReadsOncePerPeriodWithoutBreakingAReading) {
  ClockWorld world;
  ASSERT_TRUE(Store().WriteInt("Advice", "Frequency", 2).ok());
  ASSERT_TRUE(Store().WriteInt("Advice", "Mode", 1).ok());
  ASSERT_TRUE(Store().WriteString("Advice", "DocumentName", WriteFile(world, "rady.txt", "jeden\ndwa\n")).ok());
  TestHost host;
  // floor(16384 * 15 / 32767) = 7: the seventh minute of each quarter.
  host.draw = 16384;
  CAdvicePage page(host);
  page.LoadSettings();
  std::vector<int> minutes;
  // Started at 10:20: the quarter of 10:15 was not seen begin.
  for (int minute = 20; minute < 60; ++minute) {
    const std::size_t before = host.spoken.size();
    page.MinuteTick(CClockTime::FromTime(Utc(2026, 12, 8, 10, minute, 31)));
    if (host.spoken.size() > before) minutes.push_back(minute);
  }
  EXPECT_EQ(minutes, (std::vector<int>{37, 52}));
  EXPECT_EQ(host.spoken, (std::vector<Spoken>{{"dwa\n", false}, {"jeden\n", false}}));
}

}  // namespace
