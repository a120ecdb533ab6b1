// What SET blocks and the module's configuration file make of the voice and
// the module, at both ends of every range.
#include <gtest/gtest.h>

#include "ModuleConfig.h"
#include "TestFolder.h"
#include "VoiceSettings.h"

namespace vokar::speechd {
namespace {

TEST(VoiceSettings, RateBecomesHalfAsMuchEngineSpeedByThePlaybackRate) {
  struct Case {
    int rate, speed;
  } cases[] = {{-100, -50}, {-99, -50}, {-98, -49}, {-3, -2}, {-2, -1}, {-1, -1}, {0, 0},
               {1, 1},      {2, 1},     {3, 2},     {98, 49}, {99, 50}, {100, 50}, {101, 50}, {-101, -50}};
  for (const auto& c : cases) EXPECT_EQ(SpeedOfRate(c.rate, SpeedBy::PlaybackRate), c.speed) << "rate " << c.rate;
}

// With the pitch kept, the fast half reaches two and a half times normal
// speed (+150 %); the slow half is as before.
TEST(VoiceSettings, RateReachesTwoAndAHalfTimesNormalByTheTempo) {
  struct Case {
    int rate, speed;
  } cases[] = {{-101, -50}, {-100, -50}, {-99, -50}, {-1, -1}, {0, 0},    {1, 2},
               {2, 3},      {3, 5},      {50, 75},   {99, 149}, {100, 150}, {101, 150}};
  for (const auto& c : cases) EXPECT_EQ(SpeedOfRate(c.rate, SpeedBy::Tempo), c.speed) << "rate " << c.rate;
}

TEST(VoiceSettings, PitchMovesTheMelodyAndPitchRangeWidensIt) {
  struct Case {
    int value;
    double semitones, scale;
  } cases[] = {{-101, -6.0, 0.0}, {-100, -6.0, 0.0}, {-50, -3.0, 0.5}, {0, 0.0, 1.0},
               {50, 3.0, 1.5},    {100, 6.0, 2.0},   {101, 6.0, 2.0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(SemitonesOfPitch(c.value), c.semitones) << c.value;
    EXPECT_DOUBLE_EQ(ScaleOfPitchRange(c.value), c.scale) << c.value;
  }
}

TEST(VoiceSettings, VolumeIsFullFromZeroUpAndFallsToSilenceAtMinusHundred) {
  struct Case {
    int volume, level;
  } cases[] = {{100, 100}, {1, 100}, {0, 100}, {-1, 99}, {-50, 50}, {-99, 1}, {-100, 0}, {-101, 0}};
  for (const auto& c : cases) EXPECT_EQ(LevelOfVolume(c.volume), c.level) << "volume " << c.volume;
}

TEST(VoiceSettings, ASetBlockChangesWhatItNames) {
  VoiceSettings v;
  EXPECT_TRUE(v.Apply("rate", "20"));
  EXPECT_TRUE(v.Apply("pitch", "-10"));
  EXPECT_TRUE(v.Apply("volume", "+5"));
  EXPECT_TRUE(v.Apply("punctuation_mode", "most"));
  EXPECT_TRUE(v.Apply("spelling_mode", "on"));
  EXPECT_TRUE(v.Apply("cap_let_recogn", "spell"));
  EXPECT_TRUE(v.Apply("language", "pl"));
  EXPECT_TRUE(v.Apply("synthesis_voice", "NULL"));
  EXPECT_EQ(v.rate, 20);
  EXPECT_EQ(v.pitch, -10);
  EXPECT_EQ(v.volume, 5);
  EXPECT_EQ(v.punctuation, Punctuation::Most);
  EXPECT_TRUE(v.spelling);
  EXPECT_EQ(v.capitals, CapitalLetters::Spell);
  EXPECT_EQ(v.language, "pl");
  EXPECT_EQ(v.synthesisVoice, "");
}

TEST(VoiceSettings, NumbersOutsideTheRangeStopAtItsEnds) {
  VoiceSettings v;
  struct Case {
    const char* value;
    int rate;
  } cases[] = {{"100", 100}, {"101", 100}, {"-100", -100}, {"-101", -100},
               {"99999999999999999999", 100}, {"-99999999999999999999", -100}};
  for (const auto& c : cases) {
    EXPECT_TRUE(v.Apply("rate", c.value)) << c.value;
    EXPECT_EQ(v.rate, c.rate) << c.value;
  }
}

TEST(VoiceSettings, WhatCannotBeReadLeavesTheSettingAsItWas) {
  VoiceSettings v;
  v.rate = 30;
  for (const char* bad : {"", "fast", "10x", " 10", "1.5", "+", "-"}) {
    EXPECT_FALSE(v.Apply("rate", bad)) << bad;
    EXPECT_EQ(v.rate, 30) << bad;
  }
  EXPECT_FALSE(v.Apply("punctuation_mode", "loud"));
  EXPECT_EQ(v.punctuation, Punctuation::None);
  EXPECT_FALSE(v.Apply("spelling_mode", "yes"));
  EXPECT_FALSE(v.Apply("cap_let_recogn", "shout"));
  EXPECT_FALSE(v.Apply("speed", "10"));
}

TEST(ModuleConfig, ReadsTheOptionsInSpeechDispatchersSyntax) {
  const ModuleConfig config = ParseModuleConfig(
      "# Vokar\n"
      "Debug 0\n"
      "VokarDevice 2\n"
      "VokarDictionary \"/home/ala/moje skróty.exp\"   # the user's\n"
      "VokarDataDir \"/opt/vokar/share\"\n"
      "  VokarSpeakPunctuation On\n"
      "VokarPunctuationSome \"#\\\"\\\\\"\n"
      "VokarPunctuationMost \"#$\"\n"
      "VokarServerSettings Off\n");
  EXPECT_TRUE(config.warnings.empty()) << config.warnings.front();
  EXPECT_EQ(config.device, 2);
  EXPECT_EQ(config.dictionary, "/home/ala/moje skróty.exp");
  EXPECT_EQ(config.dataDir, "/opt/vokar/share");
  EXPECT_TRUE(config.speakPunctuation);
  EXPECT_EQ(config.someMarks, "#\"\\");
  EXPECT_EQ(config.mostMarks, "#$");
  EXPECT_FALSE(config.serverSettings);
}

TEST(ModuleConfig, WithoutOptionsEverythingIsDefault) {
  const ModuleConfig config = ParseModuleConfig("");
  EXPECT_FALSE(config.device);
  EXPECT_FALSE(config.dictionary);
  EXPECT_FALSE(config.speakPunctuation);
  EXPECT_TRUE(config.serverSettings);
  // An empty dictionary name is a choice of its own: no dictionary.
  EXPECT_EQ(ParseModuleConfig("VokarDictionary \"\"\n").dictionary, "");
}

TEST(ModuleConfig, TheDeviceNumberRunsFromZeroToNinetyNine) {
  EXPECT_EQ(ParseModuleConfig("VokarDevice 0").device, 0);
  EXPECT_EQ(ParseModuleConfig("VokarDevice 99").device, 99);
  for (const char* bad : {"VokarDevice 100", "VokarDevice -1", "VokarDevice x", "VokarDevice 1 2", "VokarDevice"}) {
    const ModuleConfig config = ParseModuleConfig(bad);
    EXPECT_FALSE(config.device) << bad;
    EXPECT_EQ(config.warnings.size(), 1u) << bad;
  }
}

TEST(ModuleConfig, MistakesAreWarnedAboutAndSkipped) {
  const ModuleConfig config = ParseModuleConfig(
      "VokarSpeakPunctuation Maybe\n"
      "VokarDictionary \"open\n"
      "VokarVolume 5\n"
      "VokarDevice 1\n");
  ASSERT_EQ(config.warnings.size(), 3u);
  EXPECT_EQ(config.warnings[0], "line 1: VokarSpeakPunctuation takes On or Off");
  EXPECT_EQ(config.warnings[1], "line 2: a quote is not closed");
  EXPECT_EQ(config.warnings[2], "line 3: unknown option VokarVolume");
  EXPECT_EQ(config.device, 1);
  EXPECT_FALSE(config.dictionary);
}

TEST(ModuleConfig, AMissingFileIsTheDefaultsAndAFolderIsAWarning) {
  vokar::test::TestFolder folder("speechd-config");
  const ModuleConfig missing = LoadModuleConfig(folder / "vokar.conf");
  EXPECT_TRUE(missing.warnings.empty());
  EXPECT_TRUE(missing.serverSettings);
  std::filesystem::create_directory(folder / "dir.conf");
  const ModuleConfig dir = LoadModuleConfig(folder / "dir.conf");
  // A folder is no file: the defaults, and nothing to warn about.
  EXPECT_TRUE(dir.warnings.empty());
  const auto file = folder.Write("vokar.conf", "VokarDevice 3\nVokarBogus 1\n");
  const ModuleConfig read = LoadModuleConfig(file);
  EXPECT_EQ(read.device, 3);
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_EQ(read.warnings[0], file.string() + ": line 2: unknown option VokarBogus");
}

TEST(ModuleConfig, OnlyTheFirstMebibyteIsRead) {
  vokar::test::TestFolder folder("speechd-config");
  std::string text = "VokarDevice 4\n";
  text += std::string(kMaxConfigBytes - text.size(), '#');
  const ModuleConfig exact = LoadModuleConfig(folder.Write("exact.conf", text));
  EXPECT_EQ(exact.device, 4);
  EXPECT_TRUE(exact.warnings.empty());
  const ModuleConfig over = LoadModuleConfig(folder.Write("over.conf", text + "#"));
  EXPECT_EQ(over.device, 4);
  EXPECT_EQ(over.warnings.size(), 1u);
}

}  // namespace
}  // namespace vokar::speechd
