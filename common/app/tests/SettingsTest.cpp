// The settings rules every program keeps: clamping on both sides of a range,
// yes/no reading, and values written only when the store lacks them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "Registry.h"
#include "Settings.h"
#include "TestFolder.h"

namespace {

using vokar::app::CSettings;
using vokar::registry::Key;
using vokar::registry::Root;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { ::setenv("VOKAR_REGISTRY_DIR", folder_.path().c_str(), 1); }
  ~SettingsTest() override { ::unsetenv("VOKAR_REGISTRY_DIR"); }

  void StoreRaw(std::string_view section, std::string_view name, const vokar::registry::Value& value) {
    auto key = Key::Create(Root::CurrentUser, std::string("Software\\Quillmark\\Test\\") + std::string(section));
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(key->Set(name, value).ok());
  }

  vokar::test::TestFolder folder_{"settings"};
  CSettings settings_{"Test"};
};

TEST_F(SettingsTest, ClampedNumbersKeepBothEndsOfTheRange) {
  struct Case {
    std::uint32_t stored;
    int expected;
  };
  // DeviceTimeout's range 0..60: stored values as 32-bit words, read signed.
  const Case cases[] = {
      {0xFFFFFFFFu, 0}, {0, 0}, {1, 1}, {59, 59}, {60, 60}, {61, 60}, {75, 60}, {0x80000000u, 0},
  };
  for (const auto& c : cases) {
    StoreRaw("Sound", "DeviceTimeout", c.stored);
    EXPECT_EQ(settings_.ReadClampedInt("Sound", "DeviceTimeout", 5, 0, 60), c.expected) << c.stored;
  }
  // A missing value gives the fallback, a string value too.
  EXPECT_EQ(settings_.ReadClampedInt("Sound", "Missing", 5, 0, 60), 5);
  StoreRaw("Sound", "Text", std::string("75"));
  EXPECT_EQ(settings_.ReadInt("Sound", "Text", 7), 7);
}

TEST_F(SettingsTest, YesNoValuesReadByTheirFirstCharacter) {
  struct Case {
    const char* stored;
    bool expected;
  };
  const Case cases[] = {{"Yes", true}, {"yes", true}, {"True", true}, {"1", true}, {"9x", true},
                        {"y", true},   {"T", true},   {"No", false},  {"0", false}, {"", false},
                        {"n", false},  {"false", false}, {" yes", false}, {"Ja", false}};
  for (const auto& c : cases) {
    StoreRaw("Global", "Flag", std::string(c.stored));
    EXPECT_EQ(settings_.ReadYesNo("Global", "Flag", !c.expected), c.expected) << '"' << c.stored << '"';
  }
  EXPECT_TRUE(settings_.ReadYesNo("Global", "Missing", true));
  EXPECT_FALSE(settings_.ReadYesNo("Global", "Missing", false));
  ASSERT_TRUE(settings_.WriteYesNo("Global", "Written", false));
  EXPECT_EQ(settings_.ReadString("Global", "Written", ""), "No");
  ASSERT_TRUE(settings_.WriteYesNo("Global", "Written", true));
  EXPECT_EQ(settings_.ReadString("Global", "Written", ""), "Yes");
}

TEST_F(SettingsTest, WrittenOnlyWhenAbsent) {
  EXPECT_FALSE(settings_.Has("Global", "InitLogo"));
  ASSERT_TRUE(settings_.WriteIntIfAbsent("Global", "InitLogo", 1));
  EXPECT_EQ(settings_.ReadInt("Global", "InitLogo", -1), 1);
  // A value already there, whatever it holds, stays.
  StoreRaw("Global", "InitLogo", std::uint32_t{0});
  ASSERT_TRUE(settings_.WriteIntIfAbsent("Global", "InitLogo", 1));
  EXPECT_EQ(settings_.ReadInt("Global", "InitLogo", -1), 0);

  ASSERT_TRUE(settings_.WriteYesNoIfAbsent("Global", "HighPriority", false));
  EXPECT_EQ(settings_.ReadString("Global", "HighPriority", ":"), "No");
  StoreRaw("Global", "HighPriority", std::string("Yes"));
  ASSERT_TRUE(settings_.WriteYesNoIfAbsent("Global", "HighPriority", false));
  EXPECT_EQ(settings_.ReadString("Global", "HighPriority", ":"), "Yes");
}

TEST_F(SettingsTest, TextInTheCodePageRoundTrips) {
  const std::string cp1250 = "\xA3\xF3\x64\x9F";  // "Łódź"
  ASSERT_TRUE(settings_.WriteStringCp1250("Dictionary", "ExpDict", cp1250));
  EXPECT_EQ(settings_.ReadString("Dictionary", "ExpDict", ""), "Łódź");
  EXPECT_EQ(settings_.ReadStringCp1250("Dictionary", "ExpDict", ""), cp1250);
}

}  // namespace
