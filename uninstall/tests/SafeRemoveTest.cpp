// Deleting what the installation record names: every way a wrong record could
// make the uninstaller delete a user's files, that the suite's own folder and
// entries do go, and what it says it left.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "SafeRemove.h"
#include "SuiteSandbox.h"
#include "Uninstaller.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::uninstall;
namespace suite = vokar::suite;
using vokar::test::TestFolder;

constexpr const char* kMarker = "Quillmark Vokar 1.1 working directory\n";
constexpr const char* kOurEntry = "[Desktop Entry]\nType=Application\nName=Vokar\nExec=vokar\nX-Quillmark-Suite=Vokar 1.1\n";
constexpr const char* kForeignEntry = "[Desktop Entry]\nType=Application\nName=Inny\nExec=inny\n";

class SafeRemove : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = folder_ / "home";
    fs::create_directories(home_);
    // The guards also look at $HOME: point it at the test's home.
    const char* old = std::getenv("HOME");
    savedHome_ = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    if (savedHome_) ::setenv("HOME", savedHome_->c_str(), 1);
  }

  fs::path WorkingDir(const std::string& name = "home/.local/share/quillmark/vokar") {
    folder_.Write(name + "/.quillmark-vokar", kMarker);
    return folder_ / name;
  }

  TestFolder folder_{"saferemove"};
  fs::path home_;
  std::optional<std::string> savedHome_;
};

std::vector<std::string> LeftPaths(const std::vector<LeftItem>& left, LeftReason reason) {
  std::vector<std::string> paths;
  for (const auto& item : left)
    if (item.reason == reason) paths.push_back(item.path.string());
  return paths;
}

TEST_F(SafeRemove, TheWorkingDirectoryLosesTheSuitesFilesAndGoesWhenNothingElseIsThere) {
  const fs::path dir = WorkingDir();
  std::vector<LeftItem> left;
  EXPECT_EQ(RemoveWorkingDirectory(dir, home_, {}, left), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_TRUE(fs::exists(dir.parent_path()));
  EXPECT_TRUE(left.empty());

  // What the record says the suite made in it goes too, folders and all.
  const fs::path again = WorkingDir();
  folder_.Write("home/.local/share/quillmark/vokar/sub/Vokar.desktop", kOurEntry);
  suite::WrittenRecord record{{again / "sub/Vokar.desktop"}, {again / "sub"}};
  EXPECT_EQ(RemoveWorkingDirectory(again, home_, record, left), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(again));
  EXPECT_TRUE(left.empty());
}

TEST_F(SafeRemove, WhatTheUserPutInTheWorkingDirectoryStaysAndIsSaid) {
  const fs::path dir = WorkingDir();
  folder_.Write("home/.local/share/quillmark/vokar/notatka.ann", std::string("\4\0\0\0Ala.", 8));
  folder_.Write("home/.local/share/quillmark/vokar/zdjecia/lato.jpg", "jpg");
  folder_.Write("home/Dokumenty/list.txt", "ważne\n");
  fs::create_directory_symlink(home_ / "Dokumenty", dir / "dokumenty");
  std::vector<LeftItem> left;
  EXPECT_EQ(RemoveWorkingDirectory(dir, home_, {}, left), TreeVerdict::KeptOthers);
  EXPECT_FALSE(fs::exists(dir / ".quillmark-vokar"));
  EXPECT_EQ(vokar::test::ReadAll(dir / "notatka.ann"), std::string("\4\0\0\0Ala.", 8));
  EXPECT_TRUE(fs::exists(dir / "zdjecia/lato.jpg"));
  EXPECT_TRUE(fs::is_symlink(dir / "dokumenty"));
  EXPECT_EQ(vokar::test::ReadAll(home_ / "Dokumenty/list.txt"), "ważne\n");
  EXPECT_EQ(LeftPaths(left, LeftReason::NotTheSuites),
            (std::vector<std::string>{(dir / "dokumenty").string(), (dir / "notatka.ann").string(),
                                      (dir / "zdjecia").string()}));
}

TEST_F(SafeRemove, ALinkAnywhereOnThePathLeavesTheFolderAlone) {
  // The folder itself a link.
  const fs::path target = WorkingDir("real");
  folder_.Write("real/data.txt", "d");
  const fs::path link = folder_ / "home/link";
  fs::create_directory_symlink(target, link);
  std::vector<LeftItem> left;
  EXPECT_EQ(RemoveWorkingDirectory(link, home_, {}, left), TreeVerdict::SymbolicLink);
  EXPECT_TRUE(fs::exists(target / ".quillmark-vokar"));

  // A folder above it a link: the marked folder behind the link is the user's now.
  folder_.Write("home/Moje/vokar/.quillmark-vokar", kMarker);
  folder_.Write("home/Moje/vokar/praca.txt", "p");
  fs::create_directories(home_ / ".local/share");
  fs::create_directory_symlink(home_ / "Moje", home_ / ".local/share/quillmark");
  const fs::path behind = home_ / ".local/share/quillmark/vokar";
  suite::WrittenRecord record{{behind / ".quillmark-vokar"}, {behind, behind.parent_path()}};
  EXPECT_EQ(RemoveWorkingDirectory(behind, home_, record, left), TreeVerdict::SymbolicLink);
  RemoveRecorded(record, left);
  EXPECT_TRUE(fs::exists(home_ / "Moje/vokar/.quillmark-vokar"));
  EXPECT_TRUE(fs::exists(home_ / "Moje/vokar/praca.txt"));
  EXPECT_TRUE(fs::is_symlink(home_ / ".local/share/quillmark"));
  EXPECT_EQ(LeftPaths(left, LeftReason::LinkOnTheWay),
            (std::vector<std::string>{link.string(), behind.string(), (behind / ".quillmark-vokar").string()}));
}

TEST_F(SafeRemove, NoMarkerNoDeletion) {
  std::vector<LeftItem> left;
  folder_.Write("photos/2024/a.jpg", "jpg");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "photos", home_, {}, left), TreeVerdict::NoMarker);
  EXPECT_TRUE(fs::exists(folder_ / "photos/2024/a.jpg"));

  // A marker with another text, a marker that is a folder, and a marker that
  // is a link to a real marker are not the suite's marker.
  folder_.Write("other/.quillmark-vokar", "Quillmark Vokar 1.1 working directory");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "other", home_, {}, left), TreeVerdict::NoMarker);
  folder_.Write("longer/.quillmark-vokar", "Quillmark Vokar 1.1 working directory\n\n");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "longer", home_, {}, left), TreeVerdict::NoMarker);
  fs::create_directories(folder_ / "dirmarker/.quillmark-vokar");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "dirmarker", home_, {}, left), TreeVerdict::NoMarker);
  const fs::path real = WorkingDir("marked");
  fs::create_directories(folder_ / "linked");
  fs::create_symlink(real / ".quillmark-vokar", folder_ / "linked/.quillmark-vokar");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "linked", home_, {}, left), TreeVerdict::NoMarker);
  EXPECT_TRUE(fs::exists(folder_ / "other/.quillmark-vokar"));
  EXPECT_TRUE(fs::exists(folder_ / "linked/.quillmark-vokar"));
  EXPECT_TRUE(left.empty());
}

TEST_F(SafeRemove, TheHomeFolderTheRootAndWhatLiesAboveAreNeverDeletedEvenWithTheMarker) {
  folder_.Write("home/.quillmark-vokar", kMarker);
  folder_.Write("home/notes.txt", "n");
  folder_.Write(".quillmark-vokar", kMarker);
  const struct {
    fs::path path;
    TreeVerdict verdict;
  } cases[] = {
      {home_, TreeVerdict::Protected},
      {home_ / ".", TreeVerdict::NotAbsolute},       // not a plain path
      {home_ / "sub/..", TreeVerdict::NotAbsolute},
      {folder_.path(), TreeVerdict::Protected},      // above the home folder
      {"/", TreeVerdict::Protected},
      {"relative/vokar", TreeVerdict::NotAbsolute},
      {"", TreeVerdict::NotAbsolute},
      {folder_ / "missing", TreeVerdict::Missing},
      {folder_ / "home/notes.txt", TreeVerdict::NotAFolder},
  };
  std::vector<LeftItem> left;
  for (const auto& c : cases) EXPECT_EQ(RemoveWorkingDirectory(c.path, home_, {}, left), c.verdict) << c.path;
  EXPECT_TRUE(fs::exists(home_ / "notes.txt"));
  EXPECT_TRUE(fs::exists(home_ / ".quillmark-vokar"));
  EXPECT_TRUE(fs::exists(folder_ / ".quillmark-vokar"));

  // A way round through a link is refused for the link.
  fs::create_directories(folder_ / "sub");
  fs::create_directory_symlink(home_, folder_ / "sub/h");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "sub/h", home_, {}, left), TreeVerdict::SymbolicLink);
  EXPECT_TRUE(fs::exists(home_ / ".quillmark-vokar"));
}

TEST_F(SafeRemove, AFolderBesideTheHomeIsNotAboveIt) {
  // "/x/home2" shares the first letters of "/x/home" but holds no part of it.
  const fs::path beside = WorkingDir("home2");
  EXPECT_FALSE(IsProtectedFolder(beside, home_));
  std::vector<LeftItem> left;
  EXPECT_EQ(RemoveWorkingDirectory(beside, home_, {}, left), TreeVerdict::Removed);
  EXPECT_TRUE(fs::exists(home_));
}

// The rest of the record: only what is still the suite's goes, a folder only
// when empty, never through a link.
TEST_F(SafeRemove, TheRecordTakesAwayOnlyWhatIsStillTheSuites) {
  const fs::path apps = home_ / ".local/share/applications";
  folder_.Write("home/.local/share/applications/Quillmark Vokar 1.1/vokar.desktop", kOurEntry);
  folder_.Write("home/.local/share/applications/moje.desktop", kForeignEntry);
  folder_.Write("home/.config/autostart/Horalo.desktop", kForeignEntry);  // the user's own in our entry's place
  folder_.Write("home/.config/mimeapps.list", "[Default Applications]\n\n[Added Associations]\n");
  folder_.Write("home/.config/mimeapps-kept/mimeapps.list", "[Default Applications]\ntext/plain=moje.desktop;\n");
  folder_.Write("home/.config/inne/plik.txt", "x");
  folder_.Write("home/.local/share/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=moje.desktop;\n");
  folder_.Write("home/.local/share/quillmark/zapis.txt", "mój plik w folderze, który zrobił pakiet");
  const suite::WrittenRecord record{
      {apps / "Quillmark Vokar 1.1/vokar.desktop", apps / "mimeinfo.cache", home_ / ".config/autostart/Horalo.desktop",
       home_ / ".config/mimeapps.list", home_ / ".config/mimeapps-kept/mimeapps.list", home_ / ".config/inne/plik.txt",
       apps / "missing.desktop"},
      {home_ / ".local", home_ / ".local/share", apps, apps / "Quillmark Vokar 1.1", home_ / ".config/autostart",
       home_ / ".local/share/quillmark"}};
  std::vector<LeftItem> left;
  RemoveRecorded(record, left);
  EXPECT_FALSE(fs::exists(apps / "Quillmark Vokar 1.1"));
  EXPECT_FALSE(fs::exists(home_ / ".config/mimeapps.list"));  // nothing of anyone's left in it
  EXPECT_FALSE(fs::exists(apps / "mimeinfo.cache"));          // there was none before the suite's
  EXPECT_TRUE(fs::exists(apps / "moje.desktop"));
  EXPECT_TRUE(fs::exists(home_ / ".config/mimeapps-kept/mimeapps.list"));  // the user's choices in it now
  EXPECT_TRUE(fs::exists(home_ / ".config/autostart/Horalo.desktop"));
  EXPECT_TRUE(fs::exists(home_ / ".config/inne/plik.txt"));
  EXPECT_TRUE(fs::exists(home_ / ".local/share/quillmark/zapis.txt"));
  EXPECT_EQ(LeftPaths(left, LeftReason::NotTheSuites),
            (std::vector<std::string>{(home_ / ".config/autostart/Horalo.desktop").string(),
                                      (home_ / ".config/inne/plik.txt").string()}));
}

TEST_F(SafeRemove, AGeneratedMimeDatabaseGoesOnlyWhenItServesNothing) {
  const fs::path mime = home_ / ".local/share/mime";
  for (const char* file : {"mime.cache", "globs2", "types", "application/x-remarka-komentarz.xml"})
    folder_.Write(std::string("home/.local/share/mime/") + file, "generated");
  folder_.Write("home/.local/share/mime/packages/inny.xml", "<mime-info/>");
  const suite::WrittenRecord record{{mime / "mime.cache", mime / "globs2", mime / "types",
                                     mime / "application/x-remarka-komentarz.xml"},
                                    {mime, mime / "application", mime / "packages"}};
  std::vector<LeftItem> left;
  // Another program's package is in it: the database serves that one.
  RemoveRecorded(record, left);
  EXPECT_TRUE(fs::exists(mime / "mime.cache"));
  EXPECT_TRUE(fs::exists(mime / "packages/inny.xml"));
  EXPECT_TRUE(left.empty());
  // Without it the database describes nothing, and goes with its folders.
  fs::remove(mime / "packages/inny.xml");
  RemoveRecorded(record, left);
  EXPECT_FALSE(fs::exists(mime));
  EXPECT_TRUE(fs::exists(home_ / ".local/share"));
  EXPECT_TRUE(left.empty());
}

TEST_F(SafeRemove, GroupNamesArePlainFolderNames) {
  const struct {
    const char* name;
    bool plain;
  } cases[] = {
      {"Quillmark Vokar 1.1", true}, {"Vokar", true},   {".vokar", true},   {"a.b", true},
      {"", false},                   {".", false},      {"..", false},      {"../..", false},
      {"a/b", false},                {"a\\b", false},   {"x..y", false},    {"/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPlainGroupName(c.name), c.plain) << c.name;
}

TEST_F(SafeRemove, TheGroupLosesOnlyTheSuitesEntries) {
  const fs::path programs = home_ / ".local/share/applications";
  folder_.Write("home/.local/share/applications/Quillmark Vokar 1.1/vokar.desktop", kOurEntry);
  folder_.Write("home/.local/share/applications/Quillmark Vokar 1.1/horalo.desktop", kOurEntry);
  std::vector<LeftItem> left;
  EXPECT_EQ(RemoveGroupFolder(programs, "Quillmark Vokar 1.1", home_, left), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(programs / "Quillmark Vokar 1.1"));

  folder_.Write("home/.local/share/applications/Grupa/vokar.desktop", kOurEntry);
  folder_.Write("home/.local/share/applications/Grupa/inny.desktop", kForeignEntry);
  folder_.Write("home/.local/share/applications/Grupa/notatka.txt", "n");
  EXPECT_EQ(RemoveGroupFolder(programs, "Grupa", home_, left), TreeVerdict::KeptOthers);
  EXPECT_FALSE(fs::exists(programs / "Grupa/vokar.desktop"));
  EXPECT_TRUE(fs::exists(programs / "Grupa/inny.desktop"));
  EXPECT_TRUE(fs::exists(programs / "Grupa/notatka.txt"));
  EXPECT_EQ(LeftPaths(left, LeftReason::NotTheSuites),
            (std::vector<std::string>{(programs / "Grupa/inny.desktop").string(),
                                      (programs / "Grupa/notatka.txt").string()}));
}

TEST_F(SafeRemove, AGroupNameCannotReachOutOfTheMenu) {
  folder_.Write("home/vokar.desktop", kOurEntry);
  folder_.Write("home/Pulpit/vokar.desktop", kOurEntry);
  const fs::path programs = home_ / ".local/share/applications";
  fs::create_directories(programs);
  std::vector<LeftItem> left;
  EXPECT_EQ(RemoveGroupFolder(programs, "../../..", home_, left), TreeVerdict::BadName);
  EXPECT_EQ(RemoveGroupFolder(programs, "../../../Pulpit", home_, left), TreeVerdict::BadName);
  // The programs folder itself comes from the store too: the home folder is refused.
  EXPECT_EQ(RemoveGroupFolder(folder_.path(), "home", home_, left), TreeVerdict::Protected);
  EXPECT_EQ(RemoveGroupFolder("applications", "Grupa", home_, left), TreeVerdict::NotAbsolute);
  EXPECT_TRUE(fs::exists(home_ / "vokar.desktop"));
  EXPECT_TRUE(fs::exists(home_ / "Pulpit/vokar.desktop"));

  // A group that is a link is left alone with whatever it points at.
  fs::create_directory_symlink(home_ / "Pulpit", programs / "Quillmark Vokar 1.1");
  EXPECT_EQ(RemoveGroupFolder(programs, "Quillmark Vokar 1.1", home_, left), TreeVerdict::SymbolicLink);
  EXPECT_TRUE(fs::exists(home_ / "Pulpit/vokar.desktop"));
}

TEST_F(SafeRemove, AShortcutGoesOnlyWhenItIsOurs) {
  const fs::path ours = folder_.Write("autostart/Vokar.desktop", kOurEntry);
  const fs::path foreign = folder_.Write("autostart/Horalo.desktop", kForeignEntry);
  // The user's own start-up entry may be a link to a menu entry, even one of ours.
  const fs::path target = folder_.Write("real/radko.desktop", kOurEntry);
  fs::create_symlink(target, folder_ / "autostart/Radko.desktop");
  fs::create_directories(folder_ / "autostart/Folder.desktop");
  // An entry of ours reached through a linked folder is not taken either.
  folder_.Write("elsewhere/Vokar.desktop", kOurEntry);
  fs::create_directory_symlink(folder_ / "elsewhere", folder_ / "linked-autostart");
  EXPECT_TRUE(RemoveShortcut(ours));
  EXPECT_FALSE(RemoveShortcut(foreign));
  EXPECT_FALSE(RemoveShortcut(folder_ / "autostart/Radko.desktop"));
  EXPECT_FALSE(RemoveShortcut(folder_ / "autostart/Folder.desktop"));
  EXPECT_FALSE(RemoveShortcut(folder_ / "autostart/Missing.desktop"));
  EXPECT_FALSE(RemoveShortcut(folder_ / "linked-autostart/Vokar.desktop"));
  EXPECT_FALSE(RemoveShortcut("autostart/Vokar.desktop"));
  EXPECT_FALSE(fs::exists(ours));
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_TRUE(fs::is_symlink(folder_ / "autostart/Radko.desktop"));
  EXPECT_TRUE(fs::exists(target));
  EXPECT_TRUE(fs::is_directory(folder_ / "autostart/Folder.desktop"));
  EXPECT_TRUE(fs::exists(folder_ / "elsewhere/Vokar.desktop"));
}

// Entries are judged by their first 64 KiB: an owner line that ends on the
// 65536th byte counts, one a byte further does not.
TEST_F(SafeRemove, AnEntryIsJudgedByItsFirst64KiB) {
  const std::string owner = "\nX-Quillmark-Suite=Vokar 1.1";
  const auto entry = [&owner](std::size_t total) {
    std::string head = "[Desktop Entry]\nType=Application\nName=Vokar\nExec=vokar\n#";
    return head + std::string(total - head.size() - owner.size(), 'x') + owner;
  };
  const fs::path fits = folder_.Write("a/fits.desktop", entry(65536));
  const fs::path over = folder_.Write("a/over.desktop", entry(65537));
  ASSERT_EQ(fs::file_size(fits), 65536u);
  ASSERT_EQ(fs::file_size(over), 65537u);
  EXPECT_TRUE(RemoveShortcut(fits));
  EXPECT_FALSE(RemoveShortcut(over));
  EXPECT_TRUE(fs::exists(over));
}

TEST_F(SafeRemove, ThePackageManagersListDecidesWhoseFileTheUninstallerIs) {
  const fs::path admin = folder_ / "dpkg";
  const fs::path exe = folder_.Write("usr/bin/vkremove", "elf");
  fs::create_directories(folder_ / "bin");
  EXPECT_FALSE(IsPackageFile(exe, admin));  // no list at all
  folder_.Write("dpkg/info/vokar.list", "/.\n/usr\n/usr/bin\n/usr/bin/vkinstall\n");
  EXPECT_FALSE(IsPackageFile(exe, admin));
  folder_.Write("dpkg/info/vokar.list", "/.\n/usr\n/usr/bin/vkinstall\n" + exe.string() + "\n");
  EXPECT_TRUE(IsPackageFile(exe, admin));
  // Listed under a linked folder (as /bin is a link to /usr/bin) it is the same file.
  fs::create_directory_symlink(folder_ / "usr/bin", folder_ / "linkbin");
  folder_.Write("dpkg/info/vokar.list", (folder_ / "linkbin/vkremove").string() + "\n");
  EXPECT_TRUE(IsPackageFile(exe, admin));

  // Lines that are not absolute paths name nothing.
  EXPECT_FALSE(ListNamesFile("usr/bin/vkremove\n" + exe.relative_path().string() + "\n", exe));
  EXPECT_TRUE(ListNamesFile("garbage\n\n" + exe.string(), exe));

  fs::remove(admin / "info/vokar.list");
}

// The uninstaller deletes its own file only when it is the file the
// installation recorded: the same path and the same file, outside a build
// folder, not the package manager's.
TEST_F(SafeRemove, OnlyTheRecordedUninstallerDeletesItself) {
  const fs::path admin = folder_ / "dpkg";
  const fs::path exe = folder_.Write("usr/bin/vkremove", "elf");
  const auto contextOf = [&](const fs::path& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
    return UninstallContext{home_, file, info.st_dev, info.st_ino, admin};
  };
  // Another file (the dynamic loader the program was started through, or
  // another copy) is not the recorded uninstaller: nothing goes.
  const fs::path loader = folder_.Write("lib/ld-linux.so", "loader");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(loader), exe), SelfRemoval::NotRecorded);
  const fs::path copy = folder_.Write("copy/vkremove", "elf");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(copy), exe), SelfRemoval::NotRecorded);
  EXPECT_EQ(RemoveOwnExecutable(contextOf(exe), ""), SelfRemoval::NotRecorded);
  EXPECT_EQ(RemoveOwnExecutable(contextOf(exe), "usr/bin/vkremove"), SelfRemoval::NotRecorded);
  // The same path, but the file was replaced after the start (the running
  // program keeps the old file alive, as a second name does here).
  UninstallContext replaced = contextOf(exe);
  fs::create_hard_link(exe, folder_ / "running-vkremove");
  fs::remove(exe);
  folder_.Write("usr/bin/vkremove", "newer");
  EXPECT_EQ(RemoveOwnExecutable(replaced, exe), SelfRemoval::NotRecorded);
  // A recorded file of another name.
  const fs::path other = folder_.Write("usr/bin/vokar", "elf");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(other), other), SelfRemoval::NotRecorded);
  // A build folder's uninstaller, even as recorded.
  const fs::path built = folder_.Write("build/bin/vkremove", "elf");
  folder_.Write("build/CMakeCache.txt", "# build\n");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(built), built), SelfRemoval::NotRecorded);
  // Reached through a linked folder.
  fs::create_directory_symlink(folder_ / "usr/bin", folder_ / "linkbin");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(exe), folder_ / "linkbin/vkremove"), SelfRemoval::Deleted);
  EXPECT_FALSE(fs::exists(exe));
  folder_.Write("usr/bin/vkremove", "elf");
  EXPECT_TRUE(fs::exists(loader));
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_TRUE(fs::exists(built));
  EXPECT_TRUE(fs::exists(other));

  // The package manager's file is left to it; the recorded one of an
  // installation of one's own goes.
  folder_.Write("dpkg/info/vokar.list", "/.\n" + exe.string() + "\n");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(exe), exe), SelfRemoval::PackageFile);
  EXPECT_TRUE(fs::exists(exe));
  fs::remove(admin / "info/vokar.list");
  EXPECT_EQ(RemoveOwnExecutable(contextOf(exe), exe), SelfRemoval::Deleted);
  EXPECT_FALSE(fs::exists(exe));
}

}  // namespace
