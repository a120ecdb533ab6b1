// The Debian package of the suite, built once by the test fixture with cpack,
// looked at with dpkg-deb and lintian, extracted with dpkg -x and run from
// there; and the installation by `cmake --install` into a user's ~/.local,
// with its complete removal. The user's own things are placed where the
// suite works, and must come through unchanged. The build defines
// VOKAR_PACKAGE_DIR (where the fixture put the package) and VOKAR_BUILD_DIR;
// PackagedFiles.h says what it installs: VOKAR_INSTALLED_PROGRAMS (every
// program with install rules), VOKAR_MENU_PROGRAMS (those with a menu entry),
// both comma-separated, and VOKAR_HAS_VOICE.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "InstallScript.h"
#include "PackagedFiles.h"
#include "SuiteSandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

fs::path Package() {
  for (const auto& entry : fs::directory_iterator(VOKAR_PACKAGE_DIR))
    if (entry.path().extension() == ".deb") return entry.path();
  return {};
}

// Whether a process of this user runs that program.
bool InstallerRuns(const fs::path& program) {
  std::error_code code;
  const fs::path wanted = fs::weakly_canonical(program, code);
  for (const auto& entry : fs::directory_iterator("/proc", code)) {
    std::error_code gone;
    if (fs::read_symlink(entry.path() / "exe", gone) == wanted) return true;
  }
  return false;
}

class DebianPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    deb_ = Package();
    ASSERT_FALSE(deb_.empty()) << "no package in " << VOKAR_PACKAGE_DIR;
  }

  // A tool's standard output; the test fails when the tool does.
  std::string Tool(const fs::path& program, const std::vector<std::string>& arguments) {
    const RunResult run = user_.Run(program, arguments);
    EXPECT_EQ(run.exitCode, 0) << program << " " << run.err;
    return run.out;
  }

  fs::path deb_;
  UserSandbox user_{"package"};
};

TEST_F(DebianPackage, IsNamedAndDescribedAsTheSuite) {
  EXPECT_EQ(deb_.filename().string().substr(0, 15), "vokar_1.1.95.3_");
  EXPECT_EQ(Tool("/usr/bin/dpkg-deb", {"-f", deb_.string(), "Package"}), "vokar\n");
  EXPECT_EQ(Tool("/usr/bin/dpkg-deb", {"-f", deb_.string(), "Version"}), "1.1.95.3\n");
  const std::string depends = Tool("/usr/bin/dpkg-deb", {"-f", deb_.string(), "Depends"});
  for (const char* library : {"libc6", "libstdc++6", "libqt6core6", "libqt6widgets6", "libsqlite3-0",
                              "libasound2", "qt6-qpa-plugins"})
    EXPECT_THAT(depends, HasSubstr(library));
}

// Every dependency names a package that this Debian has installed in a
// version the package accepts: what apt would need on a fresh machine is in
// the archive (these machines are fresh Debian 12 installs plus the set-up).
TEST_F(DebianPackage, ItsDependenciesAreSatisfiedHere) {
  const std::string depends = Tool("/usr/bin/dpkg-deb", {"-f", deb_.string(), "Depends"});
  for (std::string item : Split(depends, ',')) {
    while (!item.empty() && (item.front() == ' ' || item.front() == '\n')) item.erase(0, 1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\n')) item.pop_back();
    const std::string name = item.substr(0, item.find(' '));
    const RunResult installed = user_.Run("/usr/bin/dpkg-query", {"-W", "-f=${Version}", name});
    ASSERT_EQ(installed.exitCode, 0) << name << " is not a package of this system";
    const auto open = item.find('(');
    if (open == std::string::npos) continue;
    const std::vector<std::string> relation = Split(item.substr(open + 1, item.find(')') - open - 1), ' ');
    ASSERT_EQ(relation.size(), 2u) << item;
    const RunResult compare = user_.Run("/usr/bin/dpkg", {"--compare-versions", installed.out, relation[0] == ">=" ? "ge" : relation[0], relation[1]});
    EXPECT_EQ(compare.exitCode, 0) << item << " but " << installed.out << " is installed";
  }
}

// apt itself, in simulation, takes the package as it stands.
TEST_F(DebianPackage, AptWouldInstallIt) {
  const RunResult apt = user_.Run("/usr/bin/apt-get", {"install", "--simulate", "--no-install-recommends", deb_.string()});
  EXPECT_EQ(apt.exitCode, 0) << apt.out << apt.err;
  EXPECT_THAT(apt.out, HasSubstr("Inst vokar (1.1.95.3"));
}

TEST_F(DebianPackage, HoldsEveryProgramTheVoiceTheMenuAndTheIcons) {
  const std::string list = Tool("/usr/bin/dpkg-deb", {"-c", deb_.string()});
  std::vector<std::string> files;
  for (const auto& line : Split(list, '\n')) {
    const auto at = line.find(" ./");
    if (at != std::string::npos) files.push_back(line.substr(at + 2));
  }
  for (const auto& program : Split(VOKAR_INSTALLED_PROGRAMS, ',')) EXPECT_THAT(files, Contains("/usr/bin/" + program));
  for (const auto& program : Split(VOKAR_MENU_PROGRAMS, ','))
    EXPECT_THAT(files, Contains("/usr/share/applications/Quillmark Vokar 1.1/" + program + ".desktop"));
  for (const char* icon : {"vokar", "horalo", "klavo", "remarka", "sievo", "radko", "vkremove"})
    EXPECT_THAT(files, Contains(std::string("/usr/share/icons/hicolor/scalable/apps/quillmark-") + icon + ".svg"));
  if (VOKAR_HAS_VOICE) {
    EXPECT_THAT(files, Contains("/usr/share/vokar/pl_22.alf"));
  }
  // The clock's bells and its help.
  const auto programs = Split(VOKAR_INSTALLED_PROGRAMS, ',');
  if (std::find(programs.begin(), programs.end(), "horalo") != programs.end()) {
    for (const char* file : {"/usr/share/vokar/sounds/kuranty.wav", "/usr/share/vokar/sounds/dzwonek.wav",
                             "/usr/share/vokar/help/horalo.html"})
      EXPECT_THAT(files, Contains(file));
  }
  // Nothing of the tests or the build's own tools, nor the lists of an
  // installation of one's own (the package manager keeps the package's).
  for (const auto& file : files) {
    EXPECT_EQ(file.find("install-manifest"), std::string::npos) << file;
    EXPECT_EQ(file.find("uninstall.cmake"), std::string::npos) << file;
    EXPECT_EQ(file.find("test"), std::string::npos) << file;
    EXPECT_EQ(file.find("vkvoicegen"), std::string::npos) << file;
  }
}

// lintian, as Debian's archive runs it with everything shown: no error and no
// warning. A lintian that could not run says nothing either, so the test
// first makes sure it is there and that it went through the package: it ends
// with 0 (nothing found) or 1 (faults found); 2 and above, 127 (no lintian)
// and a kill are failures of the run. Its temporary files go into the
// sandbox's own folder (TMPDIR), which the test removes.
TEST_F(DebianPackage, LintianFindsNoErrorAndNoWarning) {
  const RunResult version = user_.Run("/usr/bin/lintian", {"--version"});
  ASSERT_EQ(version.exitCode, 0) << "lintian cannot run: " << version.err;
  ASSERT_THAT(version.out, ::testing::StartsWith("Lintian v")) << version.err;
  const fs::path temporary = user_ / "tmp";
  ASSERT_TRUE(fs::is_directory(temporary));
  ASSERT_EQ(user_.Environment().at("TMPDIR"), temporary.string());
  const RunResult lintian = user_.Run("/usr/bin/lintian", {"-I", "-E", "--pedantic", "--no-tag-display-limit", deb_.string()},
                                      std::chrono::minutes(4));
  ASSERT_NE(lintian.exitCode, -1) << "lintian did not finish";
  ASSERT_TRUE(lintian.exitCode == 0 || lintian.exitCode == 1)
      << "lintian failed to check the package (exit " << lintian.exitCode << "): " << lintian.err;
  std::vector<std::string> faults;
  for (const auto& line : Split(lintian.out + lintian.err, '\n')) {
    if (!line.starts_with("E: ") && !line.starts_with("W: ")) continue;
    faults.push_back(line);
  }
  EXPECT_THAT(faults, ::testing::IsEmpty()) << lintian.out << lintian.err;
}

TEST_F(DebianPackage, ItsProgramsAndTheSpeechDispatcherModuleAreStripped) {
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  std::vector<fs::path> binaries;
  for (const auto& program : Split(VOKAR_INSTALLED_PROGRAMS, ',')) binaries.push_back(root / "usr/bin" / program);
  if (fs::exists(root / "usr/lib/speech-dispatcher-modules/sd_vokar"))
    binaries.push_back(root / "usr/lib/speech-dispatcher-modules/sd_vokar");
  ASSERT_FALSE(binaries.empty());
  for (const auto& binary : binaries) {
    const std::string sections = Tool("/usr/bin/readelf", {"-S", "-W", binary.string()});
    EXPECT_THAT(sections, Not(HasSubstr(".debug_info"))) << binary;
    EXPECT_THAT(sections, Not(HasSubstr(".symtab"))) << binary;
  }
}

TEST_F(DebianPackage, CarriesItsCopyrightAndChangelogAndNoMaintainerScriptOfLdconfig) {
  const std::string list = Tool("/usr/bin/dpkg-deb", {"-c", deb_.string()});
  EXPECT_THAT(list, HasSubstr(" ./usr/share/doc/vokar/copyright\n"));
  EXPECT_THAT(list, HasSubstr(" ./usr/share/doc/vokar/changelog.gz\n"));
  const fs::path control = user_ / "control";
  Tool("/usr/bin/dpkg-deb", {"-e", deb_.string(), control.string()});
  for (const char* script : {"postinst", "postrm", "preinst", "prerm"})
    if (fs::exists(control / script)) {
      EXPECT_THAT(ReadAll(control / script), Not(HasSubstr("ldconfig"))) << script;
    }
  // The changelog is one dpkg reads, of this version.
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const fs::path changelog = user_.folder().Write(
      "changelog", Tool("/bin/gzip", {"-dc", (root / "usr/share/doc/vokar/changelog.gz").string()}));
  const std::string parsed = Tool("/usr/bin/dpkg-parsechangelog", {"-l", changelog.string(), "-S", "Version"});
  EXPECT_EQ(parsed, "1.1.95.3\n");
}

// The network share's agent comes with a user unit that starts the packaged
// program (not one of the build's prefix).
TEST_F(DebianPackage, TheShareAgentRunsAsAUserServiceOfThePackagedProgram) {
  if (std::string(VOKAR_INSTALLED_PROGRAMS).find("vknetdde") == std::string::npos) GTEST_SKIP() << "no vknetdde here";
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const fs::path unit = root / "usr/lib/systemd/user/vknetdde.service";
  ASSERT_TRUE(fs::exists(unit));
  std::ifstream in(unit);
  std::vector<std::string> exec;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("ExecStart=", 0) == 0) exec.push_back(line);
  EXPECT_THAT(exec, ElementsAre("ExecStart=/usr/bin/vknetdde"));
  EXPECT_TRUE(fs::exists(root / "usr/bin/vknetdde"));
}

TEST_F(DebianPackage, ExtractedItsProgramsRunRegisterAndRemoveTheSuite) {
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const fs::path bin = root / "usr" / "bin";

  // Menu entries and icons as a desktop reads them.
  for (const auto& entry : fs::directory_iterator(root / "usr/share/applications/Quillmark Vokar 1.1"))
    Tool("/usr/bin/desktop-file-validate", {entry.path().string()});
  for (const auto& icon : fs::directory_iterator(root / "usr/share/icons/hicolor/scalable/apps")) {
    const fs::path png = user_ / (icon.path().stem().string() + ".png");
    Tool("/usr/bin/rsvg-convert", {"-w", "48", "-h", "48", icon.path().string(), "-o", png.string()});
    EXPECT_GT(fs::file_size(png), 200u) << icon.path();
  }

  // The speech tool finds the packaged voice beside its folder and speaks.
  if (VOKAR_HAS_VOICE) {
    const fs::path wav = user_ / "dzien-dobry.wav";
    const RunResult say = user_.Run(bin / "vksay", {"-o", wav.string(), "Dzień dobry."});
    EXPECT_EQ(say.exitCode, 0) << say.err;
    ASSERT_TRUE(fs::exists(wav));
    EXPECT_GT(fs::file_size(wav), 44u + 2000u);
  }

  // A user registers the extracted suite and removes it again.
  const RunResult install = user_.Run(bin / "vkinstall");
  ASSERT_EQ(install.exitCode, 0) << install.err;
  const std::string entry = ReadAll(user_.group() / "vkremove.desktop");
  EXPECT_THAT(entry, HasSubstr("\nExec=" + (bin / "vkremove").string() + "\n"));
  EXPECT_THAT(entry, HasSubstr("\nIcon=" + (root / "usr/share/icons/hicolor/scalable/apps/quillmark-vkremove.svg").string() + "\n"));
  const RunResult remove = user_.Run(bin / "vkremove");
  EXPECT_EQ(remove.exitCode, 0) << remove.err;
  EXPECT_FALSE(fs::exists(user_.group()));
  EXPECT_FALSE(fs::exists(user_.workingDir()));
}

// The user's own things where the suite works: a default application for
// text files, a start-up entry of their own, documents.
void PlaceUsersOwnThings(UserSandbox& user) {
  user.folder().Write("home/.config/mimeapps.list", "[Default Applications]\ntext/plain=moj-edytor.desktop;\n");
  user.folder().Write("home/.config/autostart/moj-zegar.desktop",
                      "[Desktop Entry]\nType=Application\nName=Mój zegar\nExec=/usr/local/bin/zegar\n");
  user.folder().Write("home/Dokumenty/list.txt", "ważne\n");
}

// The first start of the installed server registers the application paths
// and the comment type for the user who had never run vkinstall, and
// changes nothing else on the desktop: no start at login, no default for
// text files, no menu entries of its own.
TEST_F(DebianPackage, TheServersFirstStartRegistersOnlyTheApplicationPathsAndTheCommentType) {
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const fs::path bin = root / "usr" / "bin";
  ASSERT_TRUE(fs::exists(bin / "vokar"));
  PlaceUsersOwnThings(user_);
  const std::vector<std::string> before = Tree(user_.home());
  const std::string mimeapps = ReadAll(user_.configHome() / "mimeapps.list");
  const std::vector<std::string> autostart = Tree(user_.autostart());
  user_.Set("VOKAR_WAVEOUT", "null");
  auto server = user_.Start(bin / "vokar", {"/L-"}, "vokar");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool registered = false;
  while (!registered && std::chrono::steady_clock::now() < deadline) {
    const RunResult path = user_.Run(VOKAR_VKREG, {"get", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "@"});
    registered = path.out == (bin / "vokar").string() + "\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The server is ended only once the installer has finished, or the
  // installer would go on writing into the user's folder after the test.
  while (InstallerRuns(bin / "vkinstall") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(InstallerRuns(bin / "vkinstall"));
  server->Terminate();
  ASSERT_TRUE(registered) << ReadAll(user_ / "vokar.err");
  const RunResult type = user_.Run(VOKAR_VKREG, {"get", "HKCR\\.ann", "@"});
  EXPECT_EQ(type.out, "Remarka.Komentarz\n");
  EXPECT_EQ(Tree(user_.autostart()), autostart);
  EXPECT_FALSE(fs::exists(user_.group()));
  EXPECT_FALSE(fs::exists(user_.workingDir()));
  EXPECT_FALSE(fs::exists(user_.applications() / "Syntezer mowy Vokar.desktop"));
  EXPECT_THAT(ReadAll(user_.configHome() / "mimeapps.list"), HasSubstr("\ntext/plain=moj-edytor.desktop;\n"));
  EXPECT_EQ(ReadAll(user_.home() / "Dokumenty/list.txt"), "ważne\n");

  // The uninstaller takes all of it away again: the home is as it was.
  const RunResult removed = user_.Run(bin / "vkremove");
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_EQ(Tree(user_.home()), before);
  EXPECT_EQ(ReadAll(user_.configHome() / "mimeapps.list"), mimeapps);
}

// The packaged talking keyboard finds its key watcher inside the package,
// wherever the package's tree lies.
TEST_F(DebianPackage, TheKeyboardFindsItsKeyWatcherBesideIt) {
  const auto programs = Split(VOKAR_INSTALLED_PROGRAMS, ',');
  if (std::find(programs.begin(), programs.end(), "klavo") == programs.end()) GTEST_SKIP() << "klavo is not built";
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const std::string libraries = Tool("/usr/bin/ldd", {(root / "usr/bin/klavo").string()});
  EXPECT_THAT(libraries, HasSubstr("libkeytrap.so => " + (root / ("usr/bin/../" VOKAR_PRIVATE_LIBDIR "/libkeytrap.so")).string()));
  EXPECT_THAT(libraries, Not(HasSubstr("not found")));
}

// `cmake --install --prefix PREFIX` of the build, by a copy of the build's
// install script in the sandbox's folder: the list of installed files that
// cmake writes goes there, never into the build folder.
RunResult InstallInto(UserSandbox& user, const fs::path& prefix) {
  const fs::path script = WriteInstallScript(VOKAR_BUILD_DIR, user / "install");
  EXPECT_FALSE(script.empty()) << "the build's install script does not write its list where expected";
  if (script.empty()) return {};
  return user.Run("/usr/bin/cmake", InstallArguments(script, prefix), std::chrono::minutes(3));
}

// `cmake --install --prefix ~/.local`: the menu entries land in the user's own
// applications folder, where vkinstall then writes its per-user entries over
// them, the network agent's unit where systemd reads it; vkremove takes away
// what was written for the user, and the installation's own script removes
// every installed file and the folders the installation made, leaving the
// home as it was with the user's things in it.
TEST(CmakeInstall, IntoTheUsersLocalPrefixAndCompletelyOutAgain) {
  UserSandbox user("cmake-install");
  PlaceUsersOwnThings(user);
  fs::create_directories(user.home() / ".local/bin");  // there before, and empty
  user.folder().Write("home/.local/share/applications/moj-edytor.desktop",
                      "[Desktop Entry]\nType=Application\nName=Mój edytor\nExec=edytor %f\nMimeType=text/plain;\n");
  const std::vector<std::string> before = Tree(user.home());
  const std::string mimeapps = ReadAll(user.configHome() / "mimeapps.list");

  const fs::path prefix = user.home() / ".local";
  const RunResult install = InstallInto(user, prefix);
  ASSERT_EQ(install.exitCode, 0) << install.err;
  for (const auto& program : Split(VOKAR_INSTALLED_PROGRAMS, ','))
    EXPECT_TRUE(fs::exists(prefix / "bin" / program)) << program;
  for (const auto& program : Split(VOKAR_MENU_PROGRAMS, ','))
    EXPECT_THAT(ReadAll(user.group() / (program + ".desktop")), HasSubstr("\nExec=" + program));
  // systemd reads user units of ~/.local from ~/.local/share/systemd/user (not ~/.local/lib/systemd/user).
  if (std::string(VOKAR_INSTALLED_PROGRAMS).find("vknetdde") != std::string::npos) {
    EXPECT_THAT(ReadAll(prefix / "share/systemd/user/vknetdde.service"),
                HasSubstr("\nExecStart=" + (prefix / "bin/vknetdde").string()));
    EXPECT_FALSE(fs::exists(prefix / "lib/systemd"));
  }
  ASSERT_TRUE(fs::exists(prefix / "share/vokar/uninstall.cmake"));
  const std::string manifest = ReadAll(prefix / "share/vokar/install-manifest.txt");
  EXPECT_THAT(manifest, HasSubstr((prefix / "bin/vkremove").string() + "\n"));
  EXPECT_THAT(manifest, HasSubstr((prefix / "share/vokar/install-manifest.txt").string() + "\n"));

  const RunResult registered = user.Run(prefix / "bin/vkinstall");
  ASSERT_EQ(registered.exitCode, 0) << registered.err;
  ASSERT_EQ(user.Run(prefix / "bin/vkinstall", {"--autostart"}).exitCode, 0);
  EXPECT_THAT(ReadAll(user.group() / "vkremove.desktop"), HasSubstr("\nExec=" + (prefix / "bin/vkremove").string() + "\n"));
  const RunResult removed = user.Run(prefix / "bin/vkremove");
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_FALSE(fs::exists(user.group()));
  EXPECT_FALSE(fs::exists(prefix / "bin/vkremove"));

  const RunResult uninstall = user.Run("/usr/bin/cmake", {"-P", (prefix / "share/vokar/uninstall.cmake").string()});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.out << uninstall.err;
  EXPECT_EQ(Tree(user.home()), before) << uninstall.out;
  EXPECT_EQ(ReadAll(user.configHome() / "mimeapps.list"), mimeapps);
}

// The installation's own removal run on its own, without vkremove first (a
// user who never started a program, or who forgot): every installed file
// goes, the comment type's package with the MIME database that the removal
// would otherwise leave generated around nothing, and every folder the
// installation made. A file the user put into one of those folders stays,
// with the folders that hold it.
TEST(CmakeInstall, RemovedByItsScriptAloneLeavesTheHomeAsItWasButTheUsersFile) {
  UserSandbox user("cmake-uninstall");
  PlaceUsersOwnThings(user);
  fs::create_directories(user.home() / ".local/bin");  // there before, and empty
  const std::vector<std::string> before = Tree(user.home());
  const fs::path prefix = user.home() / ".local";
  const RunResult install = InstallInto(user, prefix);
  ASSERT_EQ(install.exitCode, 0) << install.err;
  ASSERT_TRUE(fs::exists(prefix / "share/mime/packages/quillmark-remarka.xml"));
  // The user's own notes, in a folder the installation made.
  user.folder().Write("home/.local/share/doc/vokar/moje-notatki.txt", "moje\n");

  const RunResult uninstall = user.Run("/usr/bin/cmake", {"-P", (prefix / "share/vokar/uninstall.cmake").string()});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.out << uninstall.err;
  std::vector<std::string> expected = before;
  for (const char* kept : {".local/share/", ".local/share/doc/", ".local/share/doc/vokar/",
                           ".local/share/doc/vokar/moje-notatki.txt"})
    expected.push_back(kept);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Tree(user.home()), expected) << uninstall.out;
  EXPECT_EQ(ReadAll(user.home() / ".local/share/doc/vokar/moje-notatki.txt"), "moje\n");
}

// A MIME database of the user's own, with a type of theirs, in the prefix the
// suite is installed into: the removal takes the comment type out of it and
// rebuilds it, and the user's type is still known; nothing of the database
// goes.
TEST(CmakeInstall, RemovedByItsScriptAloneKeepsTheUsersOwnMimeDatabase) {
  UserSandbox user("cmake-uninstall-mime");
  const fs::path mime = user.dataHome() / "mime";
  WriteUsersOwnMimePackage(user);
  const RunResult built = user.Run("/usr/bin/update-mime-database", {mime.string()});
  ASSERT_EQ(built.exitCode, 0) << built.err;
  ASSERT_THAT(ReadAll(mime / "globs2"), HasSubstr(":text/x-moje-notatki:*.notatki"));
  const std::vector<std::string> before = Tree(user.home());

  const fs::path prefix = user.home() / ".local";
  const RunResult install = InstallInto(user, prefix);
  ASSERT_EQ(install.exitCode, 0) << install.err;
  const RunResult uninstall = user.Run("/usr/bin/cmake", {"-P", (prefix / "share/vokar/uninstall.cmake").string()});
  EXPECT_EQ(uninstall.exitCode, 0) << uninstall.out << uninstall.err;
  EXPECT_EQ(Tree(user.home()), before) << uninstall.out;
  const std::string globs = ReadAll(mime / "globs2");
  EXPECT_THAT(globs, HasSubstr(":text/x-moje-notatki:*.notatki"));
  EXPECT_THAT(globs, Not(HasSubstr("*.ann")));
}

}  // namespace
