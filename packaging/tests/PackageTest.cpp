// The Debian package of the suite, built once by the test fixture with cpack,
// looked at with dpkg-deb, extracted with dpkg -x and run from there; and the
// installation by `cmake --install` into a user's ~/.local. The build defines
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
  if (VOKAR_HAS_VOICE) EXPECT_THAT(files, Contains("/usr/share/vokar/pl_22.alf"));
  // The clock's bells and its help.
  const auto programs = Split(VOKAR_INSTALLED_PROGRAMS, ',');
  if (std::find(programs.begin(), programs.end(), "horalo") != programs.end()) {
    for (const char* file : {"/usr/share/vokar/sounds/kuranty.wav", "/usr/share/vokar/sounds/dzwonek.wav",
                             "/usr/share/vokar/help/horalo.html"})
      EXPECT_THAT(files, Contains(file));
  }
  // Nothing of the tests or the build's own tools.
  for (const auto& file : files) {
    EXPECT_EQ(file.find("test"), std::string::npos) << file;
    EXPECT_EQ(file.find("vkvoicegen"), std::string::npos) << file;
  }
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

// The first start of the installed server registers the suite for the user
// who had never run vkinstall.
TEST_F(DebianPackage, TheServersFirstStartRegistersTheSuite) {
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const fs::path bin = root / "usr" / "bin";
  ASSERT_TRUE(fs::exists(bin / "vokar"));
  user_.Set("VOKAR_WAVEOUT", "null");
  auto server = user_.Start(bin / "vokar", {"/L-"}, "vokar");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool registered = false;
  while (!registered && std::chrono::steady_clock::now() < deadline) {
    registered = fs::exists(user_.autostart() / "Vokar.desktop") && fs::exists(user_.group() / "vokar.desktop");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // The installer goes on to register the comment type after the menu entries
  // are there; the server is ended only once the installer has finished, or the
  // installer would go on writing into the user's folder after the test.
  while (InstallerRuns(bin / "vkinstall") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(InstallerRuns(bin / "vkinstall"));
  server->Terminate();
  ASSERT_TRUE(registered) << ReadAll(user_ / "vokar.err");
  EXPECT_THAT(ReadAll(user_.autostart() / "Vokar.desktop"), HasSubstr("\nExec=" + (bin / "vokar").string() + "\n"));
  const RunResult path = user_.Run(VOKAR_VKREG, {"get", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "@"});
  EXPECT_EQ(path.out, (bin / "vokar").string() + "\n");
  EXPECT_TRUE(fs::exists(user_.workingDir() / ".quillmark-vokar"));
}

// The packaged talking keyboard finds its key watcher inside the package,
// wherever the package's tree lies.
TEST_F(DebianPackage, TheKeyboardFindsItsKeyWatcherBesideIt) {
  const auto programs = Split(VOKAR_INSTALLED_PROGRAMS, ',');
  if (std::find(programs.begin(), programs.end(), "klavo") == programs.end()) GTEST_SKIP() << "klavo is not built";
  const fs::path root = user_ / "root";
  Tool("/usr/bin/dpkg", {"-x", deb_.string(), root.string()});
  const std::string libraries = Tool("/usr/bin/ldd", {(root / "usr/bin/klavo").string()});
  EXPECT_THAT(libraries, HasSubstr("libkeytrap.so => " + (root / "usr/bin/../lib/vokar/libkeytrap.so").string()));
  EXPECT_THAT(libraries, Not(HasSubstr("not found")));
}

// `cmake --install --prefix ~/.local`: the menu entries land in the user's own
// applications folder, where vkinstall then writes its per-user entries over
// them, and vkremove takes both away.
TEST(CmakeInstall, IntoTheUsersLocalPrefix) {
  UserSandbox user("cmake-install");
  const fs::path prefix = user.home() / ".local";
  const RunResult install =
      user.Run("/usr/bin/cmake", {"--install", VOKAR_BUILD_DIR, "--prefix", prefix.string()}, std::chrono::minutes(3));
  ASSERT_EQ(install.exitCode, 0) << install.err;
  for (const auto& program : Split(VOKAR_INSTALLED_PROGRAMS, ','))
    EXPECT_TRUE(fs::exists(prefix / "bin" / program)) << program;
  for (const auto& program : Split(VOKAR_MENU_PROGRAMS, ','))
    EXPECT_THAT(ReadAll(user.group() / (program + ".desktop")), HasSubstr("\nExec=" + program));

  const RunResult registered = user.Run(prefix / "bin/vkinstall");
  ASSERT_EQ(registered.exitCode, 0) << registered.err;
  EXPECT_THAT(ReadAll(user.group() / "vkremove.desktop"), HasSubstr("\nExec=" + (prefix / "bin/vkremove").string() + "\n"));
  const RunResult removed = user.Run(prefix / "bin/vkremove");
  EXPECT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_FALSE(fs::exists(user.group()));
  EXPECT_FALSE(fs::exists(prefix / "bin/vkremove"));
}

}  // namespace
