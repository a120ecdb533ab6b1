// vkreg run as a real process against a private registry folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Registry.h"
#include "RunVkreg.h"
#include "ScopedEnvironment.h"
#include "TestFolder.h"
#include "VersionReader.h"

namespace {

using namespace vokar::registry;

using Outcome = vokar::testing::VkregOutcome;

Outcome Vkreg(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
  return vokar::testing::RunVkreg(args, scratch);
}

class VkregTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "registry");
    environment_.Set("VOKAR_REGISTRY_DIR", (dir_ / "registry").string());
  }
  Outcome Do(const std::vector<std::string>& args) { return Vkreg(args, dir_); }
  std::filesystem::path Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  vokar::test::TestFolder folder_{"vkreg"};
  std::filesystem::path dir_ = folder_.path();
  vokar::test::ScopedEnvironment environment_;
};

const std::string kSound = "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Sound";

TEST_F(VkregTest, SetGetAndTheDefaultValue) {
  EXPECT_EQ(Do({"set", kSound, "Opis", "Głośność \"max\" C:\\dźwięk"}).code, 0);
  EXPECT_EQ(Do({"set", "--dword", "HKCU\\Software\\Quillmark\\Vokar\\Sound", "Tunning", "-25"}).code, 0);
  EXPECT_EQ(Do({"set", "--dword", kSound, "Hex", "0x1F"}).code, 0);
  EXPECT_EQ(Do({"set", "hkcu\\software\\quillmark\\vokar\\sound", "@", "domyślna"}).code, 0);

  EXPECT_EQ(Do({"get", kSound, "opis"}).out, "Głośność \"max\" C:\\dźwięk\n");
  EXPECT_EQ(Do({"get", kSound, "Tunning"}).out, "4294967271\n");
  EXPECT_EQ(Do({"get", kSound, "Hex"}).out, "31\n");
  EXPECT_EQ(Do({"get", kSound, ""}).out, "domyślna\n");
  EXPECT_EQ(Do({"get", kSound, "@"}).out, "domyślna\n");
  // The tool and the library see the same store.
  EXPECT_EQ(Key::Open(Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound")->QueryDword("Tunning").value(),
            static_cast<std::uint32_t>(-25));
}

TEST_F(VkregTest, DeleteAValueOrAWholeTree) {
  ASSERT_EQ(Do({"set", kSound, "A", "1"}).code, 0);
  ASSERT_EQ(Do({"set", kSound, "B", "2"}).code, 0);
  ASSERT_EQ(Do({"set", "HKCU\\Software\\Quillmark\\Horalo", "C", "3"}).code, 0);
  EXPECT_EQ(Do({"delete", kSound, "a"}).code, 0);
  EXPECT_EQ(Do({"get", kSound, "A"}).code, 1);
  EXPECT_EQ(Do({"get", kSound, "B"}).out, "2\n");
  EXPECT_EQ(Do({"delete", "HKCU\\Software\\Quillmark\\Vokar"}).code, 0);
  EXPECT_EQ(Do({"get", kSound, "B"}).code, 1);
  EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\Horalo", "C"}).out, "3\n");
  EXPECT_EQ(Do({"delete", "HKCU\\Software\\Quillmark\\Vokar"}).code, 1);
}

TEST_F(VkregTest, ExportImportRoundTrip) {
  ASSERT_EQ(Do({"set", "HKCU\\Software\\Quillmark\\Żółć", "Ścieżka \"cytat\"", "C:\\Program Files\\Vokar\\"}).code, 0);
  ASSERT_EQ(Do({"set", "HKCU\\Software\\Quillmark\\Żółć", "@", "\"\\\\\""}).code, 0);
  ASSERT_EQ(Do({"set", "--dword", "HKCU\\Software\\Quillmark\\Żółć", "Liczba", "10"}).code, 0);
  ASSERT_EQ(Do({"set", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "", "/opt/vokar"}).code, 0);

  const Outcome exported = Do({"export", "HKCU\\Software\\Quillmark"});
  ASSERT_EQ(exported.code, 0) << exported.err;
  EXPECT_EQ(exported.out,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmark]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmark\\Żółć]\n"
            "@=\"\\\"\\\\\\\\\\\"\"\n"
            "\"Liczba\"=dword:0000000a\n"
            "\"Ścieżka \\\"cytat\\\"\"=\"C:\\\\Program Files\\\\Vokar\\\\\"\n\n");

  const Outcome all = Do({"export"});
  ASSERT_EQ(all.code, 0);
  const auto file = Write("all.reg", all.out);
  ASSERT_EQ(Do({"delete", "HKCU\\Software"}).code, 0);
  ASSERT_EQ(Do({"delete", "HKLM\\Software"}).code, 0);
  const Outcome imported = Do({"import", file.string()});
  ASSERT_EQ(imported.code, 0) << imported.err;
  EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\żółć", "ścieżka \"CYTAT\""}).out, "C:\\Program Files\\Vokar\\\n");
  EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\Żółć", "@"}).out, "\"\\\\\"\n");
  EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\Żółć", "Liczba"}).out, "10\n");
  EXPECT_EQ(Do({"get", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "@"}).out,
            "/opt/vokar\n");
  EXPECT_EQ(Do({"export"}).out, all.out);
}

TEST_F(VkregTest, ImportRemovesWhatTheFileSays) {
  ASSERT_EQ(Do({"set", "HKCU\\Software\\Quillmark\\Klavo", "x", "1"}).code, 0);
  ASSERT_EQ(Do({"set", kSound, "keep", "1"}).code, 0);
  ASSERT_EQ(Do({"set", kSound, "drop", "1"}).code, 0);
  const auto file = Write("del.reg",
                          "Windows Registry Editor Version 5.00\n\n"
                          "[-HKEY_CURRENT_USER\\Software\\Quillmark\\Klavo]\n\n"
                          "[" + kSound + "]\n\"drop\"=-\n");
  const Outcome imported = Do({"import", file.string()});
  EXPECT_EQ(imported.code, 0) << imported.err;
  EXPECT_EQ(Do({"get", "HKCU\\Software\\Quillmark\\Klavo", "x"}).code, 1);
  EXPECT_EQ(Do({"get", kSound, "drop"}).code, 1);
  EXPECT_EQ(Do({"get", kSound, "keep"}).out, "1\n");
}

TEST_F(VkregTest, BadInputGivesClearErrorsAndExitCodes) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string message;
  };
  const auto badFile = Write("bad.reg", "Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"a\"=\"C:\\x\"\n");
  const std::vector<Case> cases{
      {{}, 2, "no command given"},
      {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
      {{"get", kSound}, 2, "get needs KEY and NAME"},
      {{"get", "HKEY_USERS\\x", "a"}, 2, "unknown hive in \"HKEY_USERS\\x\""},
      {{"get", kSound, "nothing"}, 1, "key not found"},
      {{"set", "--dword", kSound, "n", "12abc"}, 2, "\"12abc\" is not a 32-bit number"},
      {{"set", "--dword", kSound, "n", "4294967296"}, 2, "is not a 32-bit number"},
      {{"set", "HKCU\\a\\\\b", "n", "v"}, 2, "not a valid key path"},
      {{"delete", "HKCU"}, 2, "a hive's root cannot be deleted"},
      {{"import", (dir_ / "missing.reg").string()}, 2, "cannot open"},
      {{"import", badFile.string()}, 2, "bad.reg: line 3: value data: a backslash in quotes"},
      {{"export", "HKCU\\Nothing"}, 1, "key not found"},
  };
  for (const auto& c : cases) {
    const Outcome run = Do(c.args);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  // The bad file changed nothing.
  EXPECT_TRUE(Key::Open(Root::CurrentUser, "X").IsNotFound());
  EXPECT_EQ(Do({"get", kSound, "n"}).code, 1);
}

TEST_F(VkregTest, CarriesTheVersionRecord) {
  const auto version = vokar::version::ReadFileVersion(VOKAR_VKREG);
  ASSERT_TRUE(version) << version.error().description;
  EXPECT_EQ(version.value().ToString(), "1.1.95.3");
}

}  // namespace
