// The per-user places of the suite (the documents folder among them), the
// test that tells our desktop entries from everyone else's, the record of what
// the suite created, the mark of a running uninstaller, and the registration
// at a program's first start with the real vkinstall.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FirstStart.h"
#include "Places.h"
#include "Registry.h"
#include "Suite.h"
#include "SuiteSandbox.h"
#include "Uninstalling.h"
#include "WrittenRecord.h"

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

TEST(Places, TheDocumentsFolderFromUserDirs) {
  const fs::path home = "/home/ala";
  const struct {
    const char* text;
    const char* folder;
  } cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n", "/home/ala/Dokumenty"},
      {"# xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/Pulpit\"\nXDG_DOCUMENTS_DIR=\"$HOME/Moje dokumenty\"\n",
       "/home/ala/Moje dokumenty"},
      {"XDG_DOCUMENTS_DIR=\"/srv/dokumenty\"\r\n", "/srv/dokumenty"},
      {"  XDG_DOCUMENTS_DIR=\"$HOME/a\\\"b\"\n", "/home/ala/a\"b"},     // an escaped quote
      {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", "/home/ala"},                       // switched off: the home
      {"XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\"\n", "/home/ala/b"},  // the last counts
      {"XDG_DOCUMENTS_DIR=\"$HOME/../etc\"\n", "/home/etc"},
      {"XDG_DOCUMENTS_DIR=$HOME/Dokumenty\n", ""},                           // not quoted
      {"XDG_DOCUMENTS_DIR=\"Dokumenty\"\n", ""},                             // not absolute
      {"XDG_DOCUMENTS_DIR=\"$HOMEDIR/x\"\n", ""},
      {"#XDG_DOCUMENTS_DIR=\"$HOME/x\"\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DocumentsDirFromUserDirs(c.text, home), fs::path(c.folder)) << c.text;
}

TEST(Places, TheDocumentsFolderIsAnExistingFolderAndNeverTheSuites) {
  TestFolder folder("documents");
  ScopedEnvironment env;
  env.Set("HOME", (folder / "home").c_str());
  env.Set("XDG_CONFIG_HOME", nullptr);
  env.Set("XDG_DATA_HOME", nullptr);
  env.Set("VOKAR_REGISTRY_DIR", (folder / "registry").c_str());
  fs::create_directories(folder / "home");
  EXPECT_EQ(DocumentsDir(), folder / "home");  // no user-dirs.dirs
  folder.Write("home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  EXPECT_EQ(DocumentsDir(), folder / "home");  // named, but not there
  fs::create_directories(folder / "home/Dokumenty");
  EXPECT_EQ(DocumentsDir(), folder / "home/Dokumenty");
  // Pointed into the suite's working directory, by default or as recorded.
  folder.Write("home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/.local/share/quillmark/vokar/docs\"\n");
  fs::create_directories(folder / "home/.local/share/quillmark/vokar/docs");
  EXPECT_EQ(DocumentsDir(), folder / "home");
  folder.Write("home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/robocze\"\n");
  fs::create_directories(folder / "home/robocze");
  EXPECT_EQ(DocumentsDir(), folder / "home/robocze");
  ASSERT_TRUE(vokar::registry::Key::Create(vokar::registry::Root::CurrentUser, kRecordKey)
                  ->Set(kDirectoryValue, vokar::registry::Value((folder / "home/robocze").string())));
  EXPECT_EQ(DocumentsDir(), folder / "home");
}

TEST(WrittenRecord, AWatchRecordsWhatARunCreatedAndNothingElse) {
  TestFolder folder("watch");
  ScopedEnvironment env;
  env.Set("HOME", (folder / "home").c_str());
  folder.Write("home/.config/inne.conf", "x");
  folder.Write("home/.local/share/mime/packages/inny.xml", "<mime-info/>");
  const fs::path home = folder / "home";
  CreationWatch watch;
  watch.Watch(home / ".config/autostart/Vokar.desktop", home / ".config");
  watch.Watch(home / ".local/share/quillmark/vokar/.quillmark-vokar", home / ".local/share");
  watch.WatchTree(home / ".local/share/mime", home / ".local/share");
  watch.Watch(folder / "outside/base/a/b.txt", folder / "outside/base");
  watch.Before();
  folder.Write("home/.config/autostart/Vokar.desktop", "[Desktop Entry]\n");
  folder.Write("home/.local/share/quillmark/vokar/.quillmark-vokar", "m");
  folder.Write("home/.local/share/mime/mime.cache", "c");
  folder.Write("home/.local/share/mime/application/x-a.xml", "x");
  folder.Write("home/.local/share/mime/packages/nasz.xml", "n");
  folder.Write("outside/base/a/b.txt", "b");
  fs::create_directory_symlink(home, home / ".local/share/mime/link");  // links are never recorded
  const WrittenRecord created = watch.Created();
  const std::vector<fs::path> expectedFolders{home / ".config/autostart",
                                              home / ".local/share/quillmark",
                                              home / ".local/share/mime/application",
                                              folder / "outside/base/a",
                                              home / ".local/share/quillmark/vokar"};
  EXPECT_EQ(std::set<fs::path>(created.folders.begin(), created.folders.end()),
            std::set<fs::path>(expectedFolders.begin(), expectedFolders.end()));
  // Shallower folders first.
  for (std::size_t i = 1; i < created.folders.size(); ++i)
    EXPECT_LE(std::distance(created.folders[i - 1].begin(), created.folders[i - 1].end()),
              std::distance(created.folders[i].begin(), created.folders[i].end()));
  const std::vector<fs::path> expectedFiles{home / ".config/autostart/Vokar.desktop",
                                            home / ".local/share/quillmark/vokar/.quillmark-vokar",
                                            home / ".local/share/mime/mime.cache",
                                            home / ".local/share/mime/application/x-a.xml",
                                            home / ".local/share/mime/packages/nasz.xml",
                                            folder / "outside/base/a/b.txt"};
  EXPECT_EQ(std::set<fs::path>(created.files.begin(), created.files.end()),
            std::set<fs::path>(expectedFiles.begin(), expectedFiles.end()));
}

TEST(WrittenRecord, PathsAreRecordedAsTheyReallyAre) {
  TestFolder folder("resolved");
  fs::create_directories(folder / "real/config");
  fs::create_directory_symlink(folder / "real/config", folder / "config");
  const fs::path real = fs::canonical(folder.path());
  EXPECT_EQ(ResolvedPath(folder / "config/autostart/Vokar.desktop"), real / "real/config/autostart/Vokar.desktop");
  EXPECT_EQ(ResolvedPath(folder / "config"), real / "real/config");  // no separator after it
  // ".." after a link goes where the link leads, as for the system.
  EXPECT_EQ(ResolvedPath(folder / "config/../x"), real / "real/x");
  EXPECT_EQ(ResolvedPath("relative/x"), fs::path("relative/x"));
}

TEST(WrittenRecord, TheStoreKeepsEachPathOnceAndOnlyPlainAbsolutePaths) {
  TestFolder folder("record");
  ScopedEnvironment env;
  env.Set("VOKAR_REGISTRY_DIR", (folder / "registry").c_str());
  EXPECT_TRUE(ReadWrittenRecord().empty());
  EXPECT_EQ(AddToWrittenRecord({{"/h/a", "/h/b"}, {"/h"}}), "");
  EXPECT_EQ(AddToWrittenRecord({{"/h/b", "/h/c", "relative", "/h/../x", "/h/d\n"}, {"/h", "/h/e"}}), "");
  const WrittenRecord record = ReadWrittenRecord();
  EXPECT_EQ(record.files, (std::vector<fs::path>{"/h/a", "/h/b", "/h/c"}));
  EXPECT_EQ(record.folders, (std::vector<fs::path>{"/h", "/h/e"}));
  // A value written by hand that is no plain path is not read.
  ASSERT_TRUE(vokar::registry::Key::Create(vokar::registry::Root::CurrentUser, std::string(kRecordKey) + "\\Files")
                  ->Set("4", vokar::registry::Value(std::string("/h/./y"))));
  ASSERT_TRUE(vokar::registry::Key::Create(vokar::registry::Root::CurrentUser, std::string(kRecordKey) + "\\Files")
                  ->Set("x", vokar::registry::Value(std::string("/h/z"))));
  EXPECT_EQ(ReadWrittenRecord().files, (std::vector<fs::path>{"/h/a", "/h/b", "/h/c"}));
}

TEST(Uninstalling, TheMarkLivesAsLongAsTheUninstallersRun) {
  TestFolder folder("uninstalling");
  ScopedEnvironment env;
  env.Set("VOKAR_DESKTOP_DIR", (folder / "desk").c_str());
  EXPECT_FALSE(UninstallerRuns());
  {
    std::string problem;
    const auto run = UninstallRun::Begin(problem);
    ASSERT_TRUE(run) << problem;
    EXPECT_TRUE(UninstallerRuns());
    EXPECT_TRUE(UninstallerRuns());  // looking does not take it away
  }
  EXPECT_FALSE(UninstallerRuns());
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
  // The server is asked about last: a client whose server went away starts it again.
  EXPECT_EQ(kRunningCheckOrder.back(), "Vokar");
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
  // Only what a first start registers: no working directory, no start at login.
  EXPECT_FALSE(fs::exists(folder_ / "home/.local/share/quillmark"));
  EXPECT_FALSE(fs::exists(folder_ / "home/.config/autostart"));
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

TEST_F(FirstStartTest, NothingIsRegisteredWhileTheUninstallerRuns) {
  const fs::path programs = folder_ / "usr" / "bin";
  vokar::test::CopyProgram(VOKAR_VKINSTALL, programs / "vkinstall");
  env_.Set("VOKAR_DESKTOP_DIR", (folder_ / "desk").c_str());
  {
    std::string problem;
    const auto run = UninstallRun::Begin(problem);
    ASSERT_TRUE(run) << problem;
    EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::Uninstalling);
    EXPECT_FALSE(IsRegistered());
  }
  EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::Registered);
}

TEST_F(FirstStartTest, AMissingInstallerIsAFailureNotAHang) {
  const fs::path programs = folder_ / "opt" / "bin";
  fs::create_directories(programs);
  EXPECT_FALSE(IsBuildFolder(programs));
  EXPECT_EQ(RegisterOnFirstStart(programs), FirstStart::Failed);
  EXPECT_FALSE(IsRegistered());
}

}  // namespace
