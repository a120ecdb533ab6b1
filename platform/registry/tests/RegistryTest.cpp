#include "Registry.h"

#include <gtest/gtest.h>

#include <fstream>

#include "helpers/FreshRegistry.h"

namespace {

using namespace vokar::registry;

class Registry : public FreshRegistry {};

TEST_F(Registry, CreateOpenAndReadBackBothTypes) {
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Quillmark").IsNotFound());
  auto key = Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(key) << key.error().description;
  EXPECT_EQ(key->path(), "Software\\Quillmark\\Vokar\\Sound");
  EXPECT_EQ(key->FullName(), "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(key->Set("WaveDevice", Value(2u)));
  ASSERT_TRUE(key->Set("Name", Value(std::string("Dźwięk"))));

  auto again = Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->QueryDword("WaveDevice").value(), 2u);
  EXPECT_EQ(again->QueryString("Name").value(), "Dźwięk");
  EXPECT_EQ(again->QueryString("WaveDevice").error().kind, ErrorKind::WrongType);
  EXPECT_EQ(again->QueryDword("Name").error().kind, ErrorKind::WrongType);
  EXPECT_TRUE(again->Query("Missing").IsNotFound());
  // Every parent was created on the way.
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Quillmark"));
  // The hives are apart from each other.
  EXPECT_TRUE(Key::Open(Root::LocalMachine, "Software\\Quillmark").IsNotFound());
}

TEST_F(Registry, KeysAreCaseInsensitiveAndKeepTheirFirstCase) {
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Żółw\\Łąka"));
  auto key = Key::Open(Root::CurrentUser, "SOFTWARE\\żÓŁW\\ŁĄKA");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->path(), "Software\\Żółw\\Łąka");
  // Creating again in another case finds the same key and adds below it.
  auto child = Key::Create(Root::CurrentUser, "software\\ŻÓŁW\\łąka\\Ćma");
  ASSERT_TRUE(child);
  EXPECT_EQ(child->path(), "Software\\Żółw\\Łąka\\Ćma");
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Software\\Żółw")->Subkeys().value(), std::vector<std::string>{"Łąka"});
}

TEST_F(Registry, ValueNamesAreCaseInsensitiveToo) {
  auto key = Key::Create(Root::CurrentUser, "K");
  ASSERT_TRUE(key->Set("Zażółć", Value(1u)));
  ASSERT_TRUE(key->Set("ZAŻÓŁĆ", Value(std::string("tekst"))));  // replaces, type and all
  auto values = key->Values();
  ASSERT_TRUE(values);
  ASSERT_EQ(values->size(), 1u);
  EXPECT_EQ((*values)[0].name, "Zażółć");
  EXPECT_EQ(std::get<std::string>((*values)[0].value), "tekst");
  EXPECT_TRUE(key->DeleteValue("zażółć"));
  EXPECT_TRUE(key->DeleteValue("zażółć").IsNotFound());
}

TEST_F(Registry, DefaultValueIsTheEmptyName) {
  auto key = Key::Create(Root::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe");
  EXPECT_TRUE(key->Query("").IsNotFound());
  ASSERT_TRUE(key->Set("", Value(std::string("/opt/vokar/bin/vokar"))));
  EXPECT_EQ(key->QueryString("").value(), "/opt/vokar/bin/vokar");
  auto values = key->Values();
  ASSERT_EQ(values->size(), 1u);
  EXPECT_EQ((*values)[0].name, "");
}

TEST_F(Registry, EnumeratesInCaseInsensitiveOrder) {
  auto key = Key::Create(Root::CurrentUser, "Software\\Quillmark");
  for (const char* name : {"Vokar", "horalo", "Klavo", "Ątek", "Azalia"}) ASSERT_TRUE(key->CreateSubkey(name));
  ASSERT_TRUE(key->CreateSubkey("Vokar\\Sound"));
  EXPECT_EQ(key->Subkeys().value(), (std::vector<std::string>{"Azalia", "horalo", "Klavo", "Vokar", "Ątek"}));
  ASSERT_TRUE(key->Set("b", Value(1u)));
  ASSERT_TRUE(key->Set("A", Value(2u)));
  auto values = key->Values();
  ASSERT_EQ(values->size(), 2u);
  EXPECT_EQ((*values)[0].name, "A");
  EXPECT_EQ((*values)[1].name, "b");
}

TEST_F(Registry, DeleteTreeRemovesEverythingBelowAndNothingBeside) {
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound")->Set("x", Value(1u)));
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Global\\Deep\\Deeper"));
  // Neighbours whose names share the prefix must survive.
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\VokarX")->Set("keep", Value(1u)));
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar ")->Set("keep", Value(1u)));
  ASSERT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark")->Set("keep", Value(1u)));

  ASSERT_TRUE(DeleteTree(Root::CurrentUser, "SOFTWARE\\quillmark\\VOKAR"));
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar").IsNotFound());
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Global\\Deep").IsNotFound());
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Software\\Quillmark\\VokarX")->QueryDword("keep").value(), 1u);
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar ")->QueryDword("keep").value(), 1u);
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Software\\Quillmark")->QueryDword("keep").value(), 1u);
  // A key created again starts empty: no value of the old one comes back.
  EXPECT_TRUE(Key::Create(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound")->Query("x").IsNotFound());

  EXPECT_TRUE(DeleteTree(Root::CurrentUser, "Software\\Nothing").IsNotFound());
  EXPECT_EQ(DeleteTree(Root::CurrentUser, "").error().kind, ErrorKind::BadName);
}

TEST_F(Registry, HandleOfADeletedKeyReportsIt) {
  auto key = Key::Create(Root::CurrentUser, "Software\\Gone");
  ASSERT_TRUE(key);
  ASSERT_TRUE(DeleteTree(Root::CurrentUser, "Software\\Gone"));
  EXPECT_FALSE(key->Exists());
  EXPECT_EQ(key->Set("x", Value(1u)).error().kind, ErrorKind::KeyDeleted);
  EXPECT_EQ(key->CreateSubkey("child").error().kind, ErrorKind::KeyDeleted);
  EXPECT_EQ(key->Subkeys().error().kind, ErrorKind::KeyDeleted);
  // Nothing was brought back to life by the refused writes.
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "Software\\Gone").IsNotFound());
}

TEST_F(Registry, RefusesNamesAndDataTheStoreCannotHold) {
  EXPECT_EQ(Key::Create(Root::CurrentUser, "Software\\\\Double").error().kind, ErrorKind::BadName);
  EXPECT_EQ(Key::Create(Root::CurrentUser, "Bad\xFF").error().kind, ErrorKind::BadName);
  auto key = Key::Create(Root::CurrentUser, "K");
  EXPECT_EQ(key->Set("x", Value(std::string("cp1250 \xB9"))).error().kind, ErrorKind::BadValue);
  EXPECT_EQ(key->Set("x", Value(std::string("a\0b", 3))).error().kind, ErrorKind::BadValue);
  EXPECT_TRUE(key->Query("x").IsNotFound());
  // Error texts say where.
  const auto error = key->Query("x").error();
  EXPECT_NE(error.description.find("HKEY_CURRENT_USER\\K"), std::string::npos) << error.description;
}

TEST_F(Registry, NumbersKeepAllThirtyTwoBits) {
  auto key = Key::Create(Root::CurrentUser, "K");
  ASSERT_TRUE(key->Set("max", Value(0xFFFFFFFFu)));
  ASSERT_TRUE(key->Set("zero", Value(0u)));
  EXPECT_EQ(key->QueryDword("max").value(), 0xFFFFFFFFu);
  EXPECT_EQ(key->QueryDword("zero").value(), 0u);
}

TEST_F(Registry, ValuesOnTheHiveRootAndFilesInTheFolder) {
  auto root = Key::Open(Root::ClassesRoot, "");
  ASSERT_TRUE(root);
  ASSERT_TRUE(root->Set("", Value(std::string("root default"))));
  EXPECT_EQ(Key::Open(Root::ClassesRoot, "")->QueryString("").value(), "root default");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "HKEY_CLASSES_ROOT.db"));
}

TEST(RegistryDir, FollowsTheEnvironment) {
  const auto keep = [](const char* name) { return std::getenv(name) ? std::string(std::getenv(name)) : std::string(); };
  const std::string saved = keep("VOKAR_REGISTRY_DIR"), savedHome = keep("HOME"), savedConfig = keep("XDG_CONFIG_HOME");
  ::setenv("VOKAR_REGISTRY_DIR", "/tmp/reg-here", 1);
  EXPECT_EQ(RegistryDir(), std::filesystem::path("/tmp/reg-here"));
  ::unsetenv("VOKAR_REGISTRY_DIR");
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(RegistryDir(), std::filesystem::path("/tmp/xdg/quillmark"));
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(RegistryDir(), std::filesystem::path("/home/someone/.config/quillmark"));
  // The other tests of this process see the environment they started with.
  for (const auto& [name, value] : {std::pair{"VOKAR_REGISTRY_DIR", saved}, std::pair{"HOME", savedHome},
                                    std::pair{"XDG_CONFIG_HOME", savedConfig}}) {
    if (value.empty()) ::unsetenv(name); else ::setenv(name, value.c_str(), 1);
  }
}

}  // namespace

namespace {

using namespace vokar::registry;

class DamagedStore : public FreshRegistry {};

TEST_F(DamagedStore, AFileThatIsNoDatabaseGivesAStorageError) {
  std::ofstream(dir_ / "HKEY_LOCAL_MACHINE.db", std::ios::binary) << std::string(4096, 'x');
  const auto key = Key::Open(Root::LocalMachine, "Software");
  ASSERT_FALSE(key);
  EXPECT_EQ(key.error().kind, ErrorKind::Storage);
  EXPECT_NE(key.error().description.find("HKEY_LOCAL_MACHINE.db"), std::string::npos) << key.error().description;
  // The other hives are not affected.
  EXPECT_TRUE(Key::Create(Root::CurrentUser, "Software"));
}

TEST_F(DamagedStore, AFolderThatCannotBeMadeGivesAStorageError) {
  std::ofstream(dir_ / "file") << "x";
  ::setenv("VOKAR_REGISTRY_DIR", (dir_ / "file" / "sub").c_str(), 1);
  const auto key = Key::Create(Root::CurrentUser, "Software");
  ASSERT_FALSE(key);
  EXPECT_EQ(key.error().kind, ErrorKind::Storage);
}

}  // namespace
