// Deleting what the installation record names: every way a wrong record could
// make the uninstaller delete a user's files, and that the suite's own
// folder, entries and links do go.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "SafeRemove.h"
#include "SuiteSandbox.h"
#include "Uninstaller.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::uninstall;
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

TEST_F(SafeRemove, TheMarkedWorkingDirectoryGoesWithEverythingInIt) {
  const fs::path dir = WorkingDir();
  folder_.Write("home/.local/share/quillmark/vokar/client.exp", "np. na przykład\n");
  folder_.Write("home/.local/share/quillmark/vokar/events/zdarzenia.evt", std::string(12, '\0'));
  folder_.Write("home/.local/share/quillmark/vokar/.hidden/deep/a/b/c.txt", "x");
  fs::permissions(dir / "events", fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec);
  EXPECT_EQ(RemoveWorkingDirectory(dir, home_), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_TRUE(fs::exists(dir.parent_path()));
}

TEST_F(SafeRemove, LinksInsideAreRemovedNeverEntered) {
  const fs::path dir = WorkingDir();
  folder_.Write("home/Dokumenty/list.txt", "ważne\n");
  folder_.Write("outside/keep.txt", "keep\n");
  fs::create_directory_symlink(home_ / "Dokumenty", dir / "docs");
  fs::create_symlink(folder_ / "outside/keep.txt", dir / "keep-link.txt");
  fs::create_directory_symlink("/", dir / "root");
  EXPECT_EQ(RemoveWorkingDirectory(dir, home_), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(dir));
  EXPECT_EQ(vokar::test::ReadAll(home_ / "Dokumenty/list.txt"), "ważne\n");
  EXPECT_TRUE(fs::exists(folder_ / "outside/keep.txt"));
}

// A tree deeper than 128 folders below the working directory is not entered.
TEST_F(SafeRemove, FoldersAreEnteredUpTo128Deep) {
  const auto chain = [](int depth) {
    std::string path;
    for (int i = 0; i < depth; ++i) path += "d/";
    return path;
  };
  const fs::path deep = WorkingDir("deep128");
  folder_.Write("deep128/" + chain(128) + "leaf.txt", "x");
  EXPECT_EQ(RemoveWorkingDirectory(deep, home_), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(deep));

  const fs::path deeper = WorkingDir("deep129");
  folder_.Write("deep129/" + chain(129) + "leaf.txt", "x");
  EXPECT_EQ(RemoveWorkingDirectory(deeper, home_), TreeVerdict::PartlyRemoved);
  EXPECT_TRUE(fs::exists(deeper / (chain(129) + "leaf.txt")));
  EXPECT_FALSE(fs::exists(deeper / ".quillmark-vokar"));
}

TEST_F(SafeRemove, ADirectoryThatIsALinkIsLeftAlone) {
  const fs::path target = WorkingDir("real");
  folder_.Write("real/data.txt", "d");
  const fs::path link = folder_ / "home/link";
  fs::create_directory_symlink(target, link);
  EXPECT_EQ(RemoveWorkingDirectory(link, home_), TreeVerdict::SymbolicLink);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::exists(target / "data.txt"));
  EXPECT_TRUE(fs::exists(target / ".quillmark-vokar"));
}

TEST_F(SafeRemove, NoMarkerNoDeletion) {
  folder_.Write("photos/2024/a.jpg", "jpg");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "photos", home_), TreeVerdict::NoMarker);
  EXPECT_TRUE(fs::exists(folder_ / "photos/2024/a.jpg"));

  // A marker with another text, a marker that is a folder, and a marker that
  // is a link to a real marker are not the suite's marker.
  folder_.Write("other/.quillmark-vokar", "Quillmark Vokar 1.1 working directory");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "other", home_), TreeVerdict::NoMarker);
  folder_.Write("longer/.quillmark-vokar", "Quillmark Vokar 1.1 working directory\n\n");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "longer", home_), TreeVerdict::NoMarker);
  fs::create_directories(folder_ / "dirmarker/.quillmark-vokar");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "dirmarker", home_), TreeVerdict::NoMarker);
  const fs::path real = WorkingDir("marked");
  fs::create_directories(folder_ / "linked");
  fs::create_symlink(real / ".quillmark-vokar", folder_ / "linked/.quillmark-vokar");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "linked", home_), TreeVerdict::NoMarker);
  EXPECT_TRUE(fs::exists(folder_ / "other/.quillmark-vokar"));
  EXPECT_TRUE(fs::exists(folder_ / "linked/.quillmark-vokar"));
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
      {home_ / ".", TreeVerdict::Protected},
      {home_ / "sub/..", TreeVerdict::Missing},  // "sub" does not exist
      {folder_.path(), TreeVerdict::Protected},   // above the home folder
      {home_ / "..", TreeVerdict::Protected},
      {"/", TreeVerdict::Protected},
      {"relative/vokar", TreeVerdict::NotAbsolute},
      {"", TreeVerdict::NotAbsolute},
      {folder_ / "missing", TreeVerdict::Missing},
      {folder_ / "home/notes.txt", TreeVerdict::NotAFolder},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveWorkingDirectory(c.path, home_), c.verdict) << c.path;
  EXPECT_TRUE(fs::exists(home_ / "notes.txt"));
  EXPECT_TRUE(fs::exists(home_ / ".quillmark-vokar"));

  // A way round through a link resolves to the home folder and is refused too.
  fs::create_directories(folder_ / "sub");
  fs::create_directory_symlink(home_, folder_ / "sub/h");
  EXPECT_EQ(RemoveWorkingDirectory(folder_ / "sub/h/.", home_), TreeVerdict::Protected);
  EXPECT_TRUE(fs::exists(home_ / "notes.txt"));
}

TEST_F(SafeRemove, AFolderBesideTheHomeIsNotAboveIt) {
  // "/x/home2" shares the first letters of "/x/home" but holds no part of it.
  const fs::path beside = WorkingDir("home2");
  EXPECT_FALSE(IsProtectedFolder(beside, home_));
  EXPECT_EQ(RemoveWorkingDirectory(beside, home_), TreeVerdict::Removed);
  EXPECT_TRUE(fs::exists(home_));
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
  EXPECT_EQ(RemoveGroupFolder(programs, "Quillmark Vokar 1.1", home_), TreeVerdict::Removed);
  EXPECT_FALSE(fs::exists(programs / "Quillmark Vokar 1.1"));

  folder_.Write("home/.local/share/applications/Grupa/vokar.desktop", kOurEntry);
  folder_.Write("home/.local/share/applications/Grupa/inny.desktop", kForeignEntry);
  folder_.Write("home/.local/share/applications/Grupa/notatka.txt", "n");
  EXPECT_EQ(RemoveGroupFolder(programs, "Grupa", home_), TreeVerdict::PartlyRemoved);
  EXPECT_FALSE(fs::exists(programs / "Grupa/vokar.desktop"));
  EXPECT_TRUE(fs::exists(programs / "Grupa/inny.desktop"));
  EXPECT_TRUE(fs::exists(programs / "Grupa/notatka.txt"));
}

TEST_F(SafeRemove, AGroupNameCannotReachOutOfTheMenu) {
  folder_.Write("home/vokar.desktop", kOurEntry);
  folder_.Write("home/Pulpit/vokar.desktop", kOurEntry);
  const fs::path programs = home_ / ".local/share/applications";
  fs::create_directories(programs);
  EXPECT_EQ(RemoveGroupFolder(programs, "../../..", home_), TreeVerdict::BadName);
  EXPECT_EQ(RemoveGroupFolder(programs, "../../../Pulpit", home_), TreeVerdict::BadName);
  // The programs folder itself comes from the store too: the home folder is refused.
  EXPECT_EQ(RemoveGroupFolder(folder_.path(), "home", home_), TreeVerdict::Protected);
  EXPECT_EQ(RemoveGroupFolder("applications", "Grupa", home_), TreeVerdict::NotAbsolute);
  EXPECT_TRUE(fs::exists(home_ / "vokar.desktop"));
  EXPECT_TRUE(fs::exists(home_ / "Pulpit/vokar.desktop"));

  // A group that is a link is left alone with whatever it points at.
  fs::create_directory_symlink(home_ / "Pulpit", programs / "Quillmark Vokar 1.1");
  EXPECT_EQ(RemoveGroupFolder(programs, "Quillmark Vokar 1.1", home_), TreeVerdict::SymbolicLink);
  EXPECT_TRUE(fs::exists(home_ / "Pulpit/vokar.desktop"));
}

TEST_F(SafeRemove, AShortcutGoesOnlyWhenItIsOursOrALink) {
  const fs::path ours = folder_.Write("autostart/Vokar.desktop", kOurEntry);
  const fs::path foreign = folder_.Write("autostart/Horalo.desktop", kForeignEntry);
  const fs::path target = folder_.Write("real/Radko.desktop", kForeignEntry);
  fs::create_symlink(target, folder_ / "autostart/Radko.desktop");
  fs::create_directories(folder_ / "autostart/Folder.desktop");
  EXPECT_TRUE(RemoveShortcut(ours));
  EXPECT_FALSE(RemoveShortcut(foreign));
  EXPECT_TRUE(RemoveShortcut(folder_ / "autostart/Radko.desktop"));
  EXPECT_FALSE(RemoveShortcut(folder_ / "autostart/Folder.desktop"));
  EXPECT_FALSE(RemoveShortcut(folder_ / "autostart/Missing.desktop"));
  EXPECT_FALSE(RemoveShortcut("autostart/Vokar.desktop"));
  EXPECT_FALSE(fs::exists(ours));
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_TRUE(fs::exists(target));
  EXPECT_TRUE(fs::is_directory(folder_ / "autostart/Folder.desktop"));
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

  UninstallContext context{home_, exe, admin};
  EXPECT_EQ(RemoveOwnExecutable(context), SelfRemoval::PackageFile);
  EXPECT_TRUE(fs::exists(exe));
  fs::remove(admin / "info/vokar.list");
  EXPECT_EQ(RemoveOwnExecutable(context), SelfRemoval::Deleted);
  EXPECT_FALSE(fs::exists(exe));
  EXPECT_EQ(RemoveOwnExecutable(context), SelfRemoval::Failed);
}

}  // namespace
