// The per-user places of the suite, the test that tells our desktop entries
// from everyone else's, and the registration at a program's first start with
// the real vkinstall.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "FirstStart.h"
#include "Places.h"
#include "Registry.h"
#include "Suite.h"
#include "SuiteSandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::suite;
using vokar::test::TestFolder;

// Sets variables for one test and puts the old values back afterwards.
class ScopedEnvironment {
 public:
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const char* value) {
    if (!saved_.contains(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) ::setenv(name.c_str(), value, 1);
    else ::unsetenv(name.c_str());
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(Places, FollowTheBaseDirectoryRules) {
  ScopedEnvironment env;
  env.Set("HOME", "/home/ala");
  env.Set("XDG_DATA_HOME", nullptr);
  env.Set("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(DataHome(), fs::path("/home/ala/.local/share"));
  EXPECT_EQ(ConfigHome(), fs::path("/home/ala/.config"));
  EXPECT_EQ(AutostartDir(), fs::path("/home/ala/.config/autostart"));
  EXPECT_EQ(ApplicationsDir(), fs::path("/home/ala/.local/share/applications"));
  EXPECT_EQ(DefaultWorkingDir(), fs::path("/home/ala/.local/share/quillmark/vokar"));

  env.Set("XDG_DATA_HOME", "/srv/data");
  env.Set("XDG_CONFIG_HOME", "/srv/config");
  EXPECT_EQ(ApplicationsDir(), fs::path("/srv/data/applications"));
  EXPECT_EQ(AutostartDir(), fs::path("/srv/config/autostart"));

  // Relative values are not valid base directories and are ignored.
  env.Set("XDG_DATA_HOME", "data");
  env.Set("XDG_CONFIG_HOME", "");
  EXPECT_EQ(ApplicationsDir(), fs::path("/home/ala/.local/share/applications"));
  EXPECT_EQ(AutostartDir(), fs::path("/home/ala/.config/autostart"));
}

TEST(SuiteEntry, OnlyTheOwnerKeyOfTheMainGroupCounts) {
  const struct {
    const char* bytes;
    bool ours;
  } cases[] = {
      {"[Desktop Entry]\nName=Vokar\nX-Quillmark-Suite=Vokar 1.1\n", true},
      {"[Desktop Entry]\r\nName=Vokar\r\nX-Quillmark-Suite=Vokar 1.1\r\n", true},
      {"[Desktop Entry]\nX-Quillmark-Suite=Vokar 1.1", true},  // no final line break
      {"[Desktop Entry]\nName=Vokar\n", false},
      {"[Desktop Entry]\nX-Quillmark-Suite=Vokar 1.10\n", false},
      {"[Desktop Entry]\nX-Quillmark-Suite=vokar 1.1\n", false},
      {"[Desktop Entry]\n X-Quillmark-Suite=Vokar 1.1\n", false},
      {"[Desktop Entry]\nName=A\n[Desktop Action x]\nX-Quillmark-Suite=Vokar 1.1\n", false},
      {"X-Quillmark-Suite=Vokar 1.1\n", false},  // before any group
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSuiteEntry(c.bytes), c.ours) << c.bytes;
}

TEST(SuiteTables, ProgramsAndOrdersAreComplete) {
  // Every program that the running check looks for has its App Paths name.
  for (const auto title : kRunningCheckOrder) {
    int found = 0;
    for (const auto& program : kPrograms) found += program.title == title ? 1 : 0;
    EXPECT_EQ(found, 1) << title;
  }
  EXPECT_EQ(kPrograms[0].appPathName, "HORALO.exe");
  EXPECT_EQ(kPrograms[4].appPathName, "Vokar.exe");
}

class FirstStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("VOKAR_REGISTRY_DIR", (folder_ / "registry").c_str());
    env_.Set("HOME", (folder_ / "home").c_str());
    env_.Set("XDG_DATA_HOME", nullptr);
    env_.Set("XDG_CONFIG_HOME", nullptr);
    fs::create_directories(folder_ / "home");
  }

  TestFolder folder_{"firststart"};
  ScopedEnvironment env_;
};

TEST_F(FirstStartTest, AnInstalledProgramRegistersOnceWithTheRealInstaller) {
  const fs::path programs = folder_ / "usr" / "bin";
  vokar::test::CopyProgram(VOKAR_VKINSTALL, programs / "vkinstall");
  EXPECT_FALSE(IsRegistered());
  EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::Registered);
  EXPECT_TRUE(IsRegistered());
  EXPECT_TRUE(fs::is_regular_file(folder_ / "home/.local/share/quillmark/vokar/.quillmark-vokar"));
  // The second start finds the record and runs nothing: without the installer it still succeeds.
  fs::remove(programs / "vkinstall");
  EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::AlreadyRegistered);
}

TEST_F(FirstStartTest, AProgramInABuildFolderLeavesTheDesktopAlone) {
  const fs::path programs = folder_ / "build" / "bin";
  vokar::test::CopyProgram(VOKAR_VKINSTALL, programs / "vkinstall");
  folder_.Write("build/CMakeCache.txt", "# build folder\n");
  EXPECT_TRUE(IsBuildFolder(programs));
  EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::BuildFolder);
  EXPECT_FALSE(IsRegistered());
  EXPECT_FALSE(fs::exists(folder_ / "home/.local"));
}

TEST_F(FirstStartTest, AMissingInstallerIsAFailureNotAHang) {
  const fs::path programs = folder_ / "opt" / "bin";
  fs::create_directories(programs);
  EXPECT_FALSE(IsBuildFolder(programs));
  EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::Failed);
  EXPECT_FALSE(IsRegistered());
}

}  // namespace
