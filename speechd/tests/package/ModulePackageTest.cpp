// sd_vokar as it is installed: the Debian package puts it where Debian's
// speech-dispatcher looks for modules, with its configuration as a conffile,
// and `cmake --install --prefix ~/.local` where speech-dispatcher looks in a
// user's home. Each time the real speech-dispatcher, given only the folder of
// modules, finds the module by itself and spd-say -o vokar speaks with the
// installed voice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "InstallScript.h"
#include "support/ModuleWorld.h"

namespace vokar::speechd {
namespace {

namespace fs = std::filesystem;
using namespace test;
using ::testing::Contains;
using ::testing::HasSubstr;

fs::path Package() {
  if (!fs::is_directory(VOKAR_PACKAGE_DIR)) return {};
  for (const auto& entry : fs::directory_iterator(VOKAR_PACKAGE_DIR))
    if (entry.path().extension() == ".deb") return entry.path();
  return {};
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class InstalledModule : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!VOKAR_HAS_VOICE) GTEST_SKIP() << "the voice was not built (VOKAR_BUILD_VOICE is off)";
  }

  // speech-dispatcher as Debian configures it, with nothing but the module
  // folder given, speaks the sentence through the installed module.
  void SpeaksThroughTheInstalledModule(const fs::path& moduleDir, const fs::path& moduleConfig) {
    std::string conf = ReadAll("/etc/speech-dispatcher/speechd.conf");
    ASSERT_FALSE(conf.empty());
    // Not the system's server, nor its sound: a server of the test's own.
    conf += "\nDisableAutoSpawn\nAudioOutputMethod \"libao\"\n";
    world.folder().Write("conf/speechd.conf", conf);
    world.folder().Write("conf/modules/vokar.conf", ReadAll(moduleConfig));
    fs::create_directories(world / "conf/clients");
    PrivateSpeechDispatcher server(world, world / "conf", moduleDir, "");
    ASSERT_TRUE(server.Ready()) << ReadAll(world / "speechd.out");
    const ToolRun modules = server.SpdSay({"-O"});
    EXPECT_EQ(modules.exitCode, 0);
    EXPECT_THAT(modules.out, HasSubstr("\nvokar\n"));
    EXPECT_EQ(server.SpdSay({"-w", "-o", "vokar", "-l", "pl", "Dzień dobry, 12.03.1996 r."}).exitCode, 0);
    EXPECT_GT(world.TotalSeconds(), 3.0) << ReadAll(world / "logs" / "vokar.log");
  }

  ModuleWorld world;
};

TEST_F(InstalledModule, ThePackageHoldsItWhereSpeechDispatcherLooks) {
  const fs::path deb = Package();
  ASSERT_FALSE(deb.empty()) << "no package in " << VOKAR_PACKAGE_DIR;
  const ToolRun list = RunTool(world, "/usr/bin/dpkg-deb", {"-c", deb.string()}, "");
  ASSERT_EQ(list.exitCode, 0);
  std::vector<std::string> files;
  std::stringstream lines(list.out);
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find(" ./");
    if (at != std::string::npos) files.push_back(line.substr(0, 10) + " " + line.substr(at + 2));
  }
  EXPECT_THAT(files, Contains("-rwxr-xr-x /usr/lib/speech-dispatcher-modules/sd_vokar"));
  EXPECT_THAT(files, Contains("-rw-r--r-- /etc/speech-dispatcher/modules/vokar.conf"));
  // The configuration in /etc is a conffile: an administrator's changes
  // outlive upgrades.
  const ToolRun conffiles = RunTool(world, "/usr/bin/dpkg-deb", {"-I", deb.string(), "conffiles"}, "");
  EXPECT_EQ(conffiles.out, "/etc/speech-dispatcher/modules/vokar.conf\n");
  const ToolRun suggests = RunTool(world, "/usr/bin/dpkg-deb", {"-f", deb.string(), "Suggests"}, "");
  EXPECT_THAT(suggests.out, HasSubstr("speech-dispatcher"));
}

TEST_F(InstalledModule, FromThePackageSpeechDispatcherFindsItByItself) {
  const fs::path deb = Package();
  ASSERT_FALSE(deb.empty()) << "no package in " << VOKAR_PACKAGE_DIR;
  const fs::path root = world / "root";
  ASSERT_EQ(RunTool(world, "/usr/bin/dpkg", {"-x", deb.string(), root.string()}, "").exitCode, 0);
  SpeaksThroughTheInstalledModule(root / "usr/lib/speech-dispatcher-modules",
                                  root / "etc/speech-dispatcher/modules/vokar.conf");
}

TEST_F(InstalledModule, InstalledIntoTheUsersLocalPrefixSpeechDispatcherFindsIt) {
  const fs::path prefix = world / "home" / ".local";
  // The build's install rules, by a copy of its script that writes the
  // installed files' list into the test's folder, not the build folder.
  const fs::path script = vokar::test::WriteInstallScript(VOKAR_BUILD_DIR, world / "install");
  ASSERT_FALSE(script.empty());
  const ToolRun install = RunTool(world, "/usr/bin/cmake", vokar::test::InstallArguments(script, prefix), "", 3min);
  ASSERT_EQ(install.exitCode, 0) << install.out;
  // The folder of modules speech-dispatcher searches in a user's home.
  const fs::path module = prefix / "libexec/speech-dispatcher-modules/sd_vokar";
  ASSERT_TRUE(fs::exists(module));
  EXPECT_NE(fs::status(module).permissions() & fs::perms::owner_exec, fs::perms::none);
  SpeaksThroughTheInstalledModule(module.parent_path(), prefix / "share/vokar/speech-dispatcher/vokar.conf");
}

}  // namespace
}  // namespace vokar::speechd
