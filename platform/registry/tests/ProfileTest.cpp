#include "Profile.h"

#include <gtest/gtest.h>

#include "AppPaths.h"
#include "helpers/FreshRegistry.h"

namespace {

using namespace vokar::registry;

class ProfileTest : public FreshRegistry {};

TEST(YesNo, FirstCharacterRule) {
  for (const char* yes : {"Yes", "yes", "Y", "True", "t", "1", "9", "7 days", "TAK? no: t"}) {
    EXPECT_TRUE(IsYes(yes)) << yes;
  }
  for (const char* no : {"No", "no", "0", "", "false", "Nie", " Yes", "-1", "on"}) {
    EXPECT_FALSE(IsYes(no)) << no;
  }
  EXPECT_EQ(YesNoText(true), "Yes");
  EXPECT_EQ(YesNoText(false), "No");
}

TEST_F(ProfileTest, SectionsLiveUnderCompanyAndApplication) {
  const Profile profile("Quillmark", "Vokar");
  EXPECT_EQ(profile.SectionPath("Sound"), "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(profile.WriteInt("Sound", "Tunning", -25));
  auto key = Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(key);
  // Stored as a 32-bit number; negative numbers come back as they went in.
  EXPECT_EQ(key->QueryDword("Tunning").value(), static_cast<std::uint32_t>(-25));
  EXPECT_EQ(profile.GetInt("Sound", "Tunning", 0), -25);
}

TEST_F(ProfileTest, DefaultsWhenMissingOrOfTheOtherType) {
  const Profile profile("Quillmark", "Vokar");
  EXPECT_EQ(profile.GetInt("Sound", "DeviceTimeout", 5), 5);
  EXPECT_EQ(profile.GetString("Global", "HighPriority", ":"), ":");
  EXPECT_FALSE(profile.Has("Global", "HighPriority"));
  ASSERT_TRUE(profile.WriteString("Sound", "DeviceTimeout", "75"));
  EXPECT_EQ(profile.GetInt("Sound", "DeviceTimeout", 5), 5);  // a string is not a number
  ASSERT_TRUE(profile.WriteInt("Global", "WorkDir", 3));
  EXPECT_EQ(profile.GetString("Global", "WorkDir", "fallback"), "fallback");
  EXPECT_TRUE(profile.Has("Global", "WorkDir"));
  // Reading does not create the keys.
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Dictionary").IsNotFound());
}

TEST_F(ProfileTest, YesNoReadAndWritten) {
  const Profile profile("Quillmark", "Vokar");
  EXPECT_TRUE(profile.GetYesNo("Global", "TaskBarIcon", true));
  EXPECT_FALSE(profile.GetYesNo("Global", "HighPriority", false));
  ASSERT_TRUE(profile.WriteYesNo("Global", "TaskBarIcon", false));
  EXPECT_EQ(profile.GetString("Global", "TaskBarIcon", ""), "No");
  EXPECT_FALSE(profile.GetYesNo("Global", "TaskBarIcon", true));
  ASSERT_TRUE(profile.WriteString("Conversions", "ConvertDate", "true"));
  EXPECT_TRUE(profile.GetYesNo("Conversions", "ConvertDate", false));
  ASSERT_TRUE(profile.WriteString("Conversions", "ConvertCaps", ""));
  EXPECT_FALSE(profile.GetYesNo("Conversions", "ConvertCaps", true));  // an empty string is no
}

TEST_F(ProfileTest, CodePageVariantsConvertAtTheEdge) {
  const Profile profile("Quillmark", "Vokar");
  const std::string cp1250Path = "C:\\S\xB3ownik\\klient.exp";  // "Słownik" in code page 1250
  ASSERT_TRUE(profile.WriteStringCp1250("Dictionary", "ExpDict", cp1250Path));
  EXPECT_EQ(profile.GetString("Dictionary", "ExpDict", ""), "C:\\Słownik\\klient.exp");
  EXPECT_EQ(profile.GetStringCp1250("Dictionary", "ExpDict", ""), cp1250Path);
  EXPECT_EQ(profile.GetStringCp1250("Dictionary", "Missing", "\xB9"), "\xB9");
}

TEST_F(ProfileTest, OtherHivesAndEmptySection) {
  const Profile machine("Quillmark", "Vokar", Root::LocalMachine);
  ASSERT_TRUE(machine.WriteInt("", "Installed", 1));
  EXPECT_EQ(Key::Open(Root::LocalMachine, "Software\\Quillmark\\Vokar")->QueryDword("Installed").value(), 1u);
  EXPECT_EQ(Profile("Quillmark", "Vokar").GetInt("", "Installed", 0), 0);
}

TEST_F(ProfileTest, AppPathsRecordWhereAProgramLives) {
  EXPECT_TRUE(ReadAppPath("Vokar.exe").IsNotFound());
  ASSERT_TRUE(WriteAppPath("Vokar.exe", "/opt/Quillmark/bin/vokar"));
  EXPECT_EQ(ReadAppPath("VOKAR.EXE").value(), "/opt/Quillmark/bin/vokar");
  auto key = Key::Open(Root::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\vokar.exe");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->QueryString("").value(), "/opt/Quillmark/bin/vokar");
  EXPECT_EQ(ReadAppPath("a\\b").error().kind, ErrorKind::BadName);
}

}  // namespace
