// The clock page: its settings with their defaults and limits, the three
// readings with the initial sound and the prefix, and the chime of its
// minute tick.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <sstream>

#include "ClockIds.h"
#include "ClockPage.h"
#include "ClockTestSupport.h"
#include "Profile.h"

namespace {

using namespace vokar;
using namespace vokar::clock;
using namespace vokar::clock::test;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string Words(const std::string& text) {
  std::istringstream in(text);
  std::string word, joined;
  while (in >> word) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

registry::Profile Store() { return registry::Profile("Quillmark", "Horalo"); }

TEST(ClockPage, DefaultsWhenNothingIsStored) {
  ClockWorld world;
  TestHost host;
  CClockPage page(host);
  page.LoadSettings();
  for (const int id : {IDC_SOUND_FOR_HOURS, IDC_24_HOURS, IDC_COLLOQUIAL, IDC_WITHOUT_MINUTES, IDC_ADD_SECONDS,
                       IDC_INIT_SOUND}) {
    EXPECT_TRUE(static_cast<QCheckBox*>(page.Control(id))->isChecked()) << id;
  }
  EXPECT_EQ(page.Frequency(), 1);
  EXPECT_TRUE(static_cast<QRadioButton*>(page.Control(IDC_CHIME_FIRST + 1))->isChecked());
  EXPECT_EQ(page.SoundTag(), "");
  EXPECT_EQ(page.Prefix(), "");
}

TEST(ClockPage, StoredValuesAreReadWithTheirLimitsAndWrittenBack) {
  struct Case {
    int stored, read;
  } cases[] = {{-1, 0}, {0, 0}, {5, 5}, {6, 5}, {1000, 5}};
  for (const auto& c : cases) {
    ClockWorld world;
    ASSERT_TRUE(Store().WriteInt("Clock", "Frequency", c.stored).ok());
    ASSERT_TRUE(Store().WriteString("Clock", "24_Hours", "no").ok());
    ASSERT_TRUE(Store().WriteString("Clock", "Colloquial", "0").ok());
    ASSERT_TRUE(Store().WriteString("Clock", "AddSeconds", "t").ok());
    ASSERT_TRUE(Store().WriteString("Clock", "InitSound", "9").ok());
    ASSERT_TRUE(Store().WriteString("Clock", "InitSoundName", "/usr/share/gong.wav").ok());
    ASSERT_TRUE(Store().WriteString("Clock", "Prefix", "Jest ").ok());
    TestHost host;
    CClockPage page(host);
    page.LoadSettings();
    EXPECT_EQ(page.Frequency(), c.read) << c.stored;
    EXPECT_FALSE(page.Mode().hours24);
    EXPECT_FALSE(page.Mode().colloquial);
    EXPECT_TRUE(page.Mode().addSeconds);
    EXPECT_EQ(page.SoundTag(), "\\Wav=\"/usr/share/gong.wav\"\\");
    page.SaveSettings();
    EXPECT_EQ(Store().GetInt("Clock", "Frequency", -7), c.read);
    EXPECT_EQ(Store().GetString("Clock", "24_Hours", ""), "No");
    EXPECT_EQ(Store().GetString("Clock", "AddSeconds", ""), "Yes");
    EXPECT_EQ(Store().GetString("Clock", "InitSound", ""), "Yes");
    EXPECT_EQ(Store().GetString("Clock", "WithoutMinutes", ""), "Yes");
    EXPECT_EQ(Store().GetString("Clock", "InitSoundForHours", ""), "Yes");
    EXPECT_EQ(Store().GetString("Clock", "Prefix", ""), "Jest ");
  }
}

TEST(ClockPage, TheSoundOnlyAtFullHoursThePrefixNotForTheDate) {
  ClockWorld world;
  ASSERT_TRUE(Store().WriteString("Clock", "InitSoundName", "gong.wav").ok());
  ASSERT_TRUE(Store().WriteString("Clock", "Prefix", "Jest godzina ").ok());
  TestHost host;
  CClockPage page(host);
  page.LoadSettings();
  const std::string tag = "\\Wav=\"gong.wav\"\\";
  const CClockTime fullHour = CClockTime::FromTime(Utc(2026, 12, 8, 10, 0, 5));
  const CClockTime twenty = CClockTime::FromTime(Utc(2026, 12, 8, 10, 20, 0));
  EXPECT_EQ(cp1250::ToUtf8(page.HourText(fullHour)), tag + "Jest godzina dziesiąta i pieńć sekund ");
  EXPECT_EQ(Words(cp1250::ToUtf8(page.HourText(twenty))), "Jest godzina dwadzieścia minut po dziesiątej");
  EXPECT_EQ(page.HourText(twenty).find("\\Wav"), std::string::npos);
  EXPECT_EQ(Words(cp1250::ToUtf8(page.DateText(twenty))), "wtorek ósmy grudnia dwa tysiące dwudziestego szóstego roku");
  EXPECT_EQ(cp1250::ToUtf8(page.DateText(fullHour)).substr(0, tag.size() + 6), tag + "wtorek");
  // The chime speaks the minute, never its seconds.
  EXPECT_EQ(cp1250::ToUtf8(page.ChimeText(fullHour)), tag + "Jest godzina dziesiąta ");

  // With the sound for every reading.
  static_cast<QCheckBox*>(page.Control(IDC_SOUND_FOR_HOURS))->setChecked(false);
  EXPECT_EQ(cp1250::ToUtf8(page.DateText(twenty)).substr(0, tag.size()), tag);
  // And without a sound at all: the check box off, or no file named.
  static_cast<QCheckBox*>(page.Control(IDC_INIT_SOUND))->setChecked(false);
  EXPECT_EQ(page.SoundTag(), "");
  EXPECT_FALSE(page.Control(IDC_INIT_SOUND_NAME)->isEnabled());
  static_cast<QCheckBox*>(page.Control(IDC_INIT_SOUND))->setChecked(true);
  EXPECT_TRUE(page.Control(IDC_INIT_SOUND_NAME)->isEnabled());
  static_cast<QLineEdit*>(page.Control(IDC_INIT_SOUND_NAME))->clear();
  EXPECT_EQ(page.SoundTag(), "");
}

TEST(ClockPage, ChimesInItsMinutesWithoutBreakingAReading) {
  ClockWorld world;
  ASSERT_TRUE(Store().WriteInt("Clock", "Frequency", 3).ok());
  TestHost host;
  CClockPage page(host);
  page.LoadSettings();
  for (int minute = 0; minute < 60; ++minute) {
    page.MinuteTick(CClockTime::FromTime(Utc(2026, 12, 8, 23, minute, 1)));
  }
  const std::vector<Spoken> expected{{"dwudziesta trzecia ", false},
                                     {"pietnaście minut  po dwudziestej trzeciej ", false},
                                     {"wpół do dwudziestej czwartej ", false},
                                     {"za pietnaście minut dwudziesta czwarta ", false}};
  ASSERT_EQ(host.spoken.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Words(host.spoken[i].utf8), Words(expected[i].utf8)) << i;
    EXPECT_FALSE(host.spoken[i].breakFirst);
  }
}

}  // namespace
