// The comment type's entries in the class root of the settings store: every
// key's value, what a second registration keeps and what it rewrites, and a
// removal that leaves other programs' types alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "ClassRegistration.h"
#include "Registry.h"
#include "TestFolder.h"

namespace vokar::comment {
namespace {

using registry::Key;
using registry::Root;
using vokar::test::TestFolder;

// A private settings store for the test.
class ClassRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("VOKAR_REGISTRY_DIR")) saved_ = old;
    ::setenv("VOKAR_REGISTRY_DIR", (folder_ / "registry").c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("VOKAR_REGISTRY_DIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("VOKAR_REGISTRY_DIR");
    }
  }

  static std::optional<std::string> Default(const std::string& key) {
    auto opened = Key::Open(Root::ClassesRoot, key);
    if (!opened) return std::nullopt;
    auto value = opened->QueryString("");
    if (!value) return std::nullopt;
    return *value;
  }
  static void SetDefault(const std::string& key, const std::string& value) {
    ASSERT_TRUE(Key::Create(Root::ClassesRoot, key).value().Set("", value).ok());
  }

  TestFolder folder_{"classes"};
  std::optional<std::string> saved_;
};

const std::string kClsid = "CLSID\\{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}";

TEST_F(ClassRegistrationTest, EveryEntryWithItsValue) {
  ASSERT_TRUE(WriteClassEntries("/opt/vokar/bin/remarka").ok);
  const std::pair<std::string, std::string> expected[] = {
      {"Remarka.Komentarz", "Quillmark Remarka Komentarz"},
      {"Remarka.Komentarz\\Insertable", ""},
      {"Remarka.Komentarz\\protocol\\StdFileEditing\\verb\\0", "&Czytaj"},
      {"Remarka.Komentarz\\protocol\\StdFileEditing\\verb\\1", "&Otwórz"},
      {"Remarka.Komentarz\\CLSID", "{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}"},
      {"Remarka.Komentarz\\protocol\\StdFileEditing\\server", "/opt/vokar/bin/remarka"},
      {kClsid, "Quillmark Remarka Komentarz"},
      {kClsid + "\\Verb\\0", "&Czytaj,0,3"},
      {kClsid + "\\Verb\\1", "&Otwórz,0,2"},
      {kClsid + "\\Insertable", ""},
      {kClsid + "\\AuxUserType\\2", "Remarka komentarz"},
      {kClsid + "\\AuxUserType\\3", "Remarka"},
      {kClsid + "\\MiscStatus", "32"},
      {kClsid + "\\ProgID", "Remarka.Komentarz"},
      {kClsid + "\\InprocHandler32", "ole32.dll"},
      {kClsid + "\\LocalServer32", "/opt/vokar/bin/remarka"},
      {kClsid + "\\DefaultIcon", "/opt/vokar/bin/remarka,1"},
      {".ann", "Remarka.Komentarz"},
      {"Remarka.Komentarz\\DefaultIcon", "/opt/vokar/bin/remarka,1"},
      {"Remarka.Komentarz\\shell\\open\\command", "\"/opt/vokar/bin/remarka\" \"%1\""},
  };
  for (const auto& [key, value] : expected) {
    SCOPED_TRACE(key);
    EXPECT_EQ(Default(key), value);
  }
  EXPECT_EQ(ClassEntries("/x").size(), std::size(expected));
}

TEST_F(ClassRegistrationTest, WhatTheUserChangedStaysWhatNamesTheProgramFollowsIt) {
  ASSERT_TRUE(WriteClassEntries("/old/remarka").ok);
  SetDefault(kClsid + "\\Verb\\0", "&Przeczytaj,0,3");
  SetDefault("Remarka.Komentarz", "Moje komentarze");
  SetDefault(kClsid + "\\LocalServer32", "/somewhere/else");
  // An empty text counts as missing and is filled again.
  SetDefault(kClsid + "\\MiscStatus", "");

  ASSERT_TRUE(WriteClassEntries("/new/remarka").ok);
  EXPECT_EQ(Default(kClsid + "\\Verb\\0"), "&Przeczytaj,0,3");
  EXPECT_EQ(Default("Remarka.Komentarz"), "Moje komentarze");
  EXPECT_EQ(Default(kClsid + "\\MiscStatus"), "32");
  EXPECT_EQ(Default(kClsid + "\\LocalServer32"), "/new/remarka");
  EXPECT_EQ(Default("Remarka.Komentarz\\protocol\\StdFileEditing\\server"), "/new/remarka");
  EXPECT_EQ(Default(kClsid + "\\DefaultIcon"), "/new/remarka,1");
}

TEST_F(ClassRegistrationTest, AnotherProgramsExtensionIsLeftAlone) {
  SetDefault(".ann", "Annotator.Document");
  ASSERT_TRUE(WriteClassEntries("/opt/remarka").ok);
  EXPECT_EQ(Default(".ann"), "Annotator.Document");

  SetDefault("Annotator.Document\\CLSID", "{00000000-1111-2222-3333-444444444444}");
  SetDefault("CLSID\\{00000000-1111-2222-3333-444444444444}", "Annotator");
  ASSERT_TRUE(RemoveClassEntries().ok);
  EXPECT_EQ(Default(".ann"), "Annotator.Document");
  EXPECT_EQ(Default("Annotator.Document\\CLSID"), "{00000000-1111-2222-3333-444444444444}");
  EXPECT_EQ(Default("CLSID\\{00000000-1111-2222-3333-444444444444}"), "Annotator");
  EXPECT_FALSE(Key::Open(Root::ClassesRoot, "Remarka.Komentarz").ok());
  EXPECT_FALSE(Key::Open(Root::ClassesRoot, kClsid).ok());
}

TEST_F(ClassRegistrationTest, RemovalTakesEverythingOfOursAndMayRunTwice) {
  ASSERT_TRUE(WriteClassEntries("/opt/remarka").ok);
  SetDefault("CLSID\\{AAAAAAAA-0000-0000-0000-000000000000}", "someone else");
  ASSERT_TRUE(RemoveClassEntries().ok);
  EXPECT_FALSE(Key::Open(Root::ClassesRoot, ".ann").ok());
  EXPECT_FALSE(Key::Open(Root::ClassesRoot, "Remarka.Komentarz").ok());
  EXPECT_FALSE(Key::Open(Root::ClassesRoot, kClsid).ok());
  EXPECT_EQ(Default("CLSID\\{AAAAAAAA-0000-0000-0000-000000000000}"), "someone else");
  EXPECT_TRUE(RemoveClassEntries().ok);
}

}  // namespace
}  // namespace vokar::comment
