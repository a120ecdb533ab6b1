// The real vkinstall in a user sandbox: what it writes into the store and on
// the desktop, that a second run changes nothing, and that it never takes over
// files or folders that are not the suite's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Places.h"
#include "Staging.h"
#include "SuiteSandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class Vkinstall : public ::testing::Test {
 protected:
  UserSandbox user_{"vkinstall"};
};

TEST_F(Vkinstall, WritesWhatTheInstallerWrote) {
  const fs::path bin = StageInstallation(user_);
  const RunResult run = user_.Run(bin / "vkinstall");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string store = ExportStore(user_);
  const std::string b = bin.string();

  EXPECT_THAT(ExportLinesUnder(store, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"),
              ElementsAre("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths]",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\HORALO.exe]",
                          "@=\"" + b + "/horalo\"",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klavo.exe]",
                          "@=\"" + b + "/klavo\"",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Radko.exe]",
                          "@=\"" + b + "/radko\"",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Remarka.exe]",
                          "@=\"" + b + "/remarka\"",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Sievo.exe]",
                          "@=\"" + b + "/sievo\"",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe]",
                          "@=\"" + b + "/vokar\""));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall]",
                          "\"Directory\"=\"" + user_.workingDir().string() + "\"",
                          "\"GroupName\"=\"Quillmark Vokar 1.1\""));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]",
                          "\"Programs\"=\"" + user_.applications().string() + "\"",
                          "\"SendTo\"=\"" + user_.applications().string() + "\"",
                          "\"Startup\"=\"" + user_.autostart().string() + "\""));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"),
              ElementsAre("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall]",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark Vokar 1.1]",
                          "\"DisplayName\"=\"Quillmark Vokar 1.1\"", "\"DisplayVersion\"=\"1.1.95.3\"",
                          "\"Publisher\"=\"Quillmark\"", "\"UninstallString\"=\"" + b + "/vkremove\""));

  EXPECT_EQ(ReadAll(user_.workingDir() / ".quillmark-vokar"), "Quillmark Vokar 1.1 working directory\n");
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Horalo.desktop", "Radko.desktop", "Vokar.desktop"));
  // The desktop's cache of entries by MIME type comes with the comment type's entry.
  EXPECT_THAT(FileNames(user_.applications()),
              ElementsAre("Quillmark Vokar 1.1", "Syntezer mowy Vokar.desktop", "mimeinfo.cache",
                          "quillmark-remarka-komentarz.desktop"));
  EXPECT_THAT(FileNames(user_.group()),
              ElementsAre("horalo.desktop", "klavo.desktop", "radko.desktop", "remarka.desktop", "sievo.desktop",
                          "vkremove.desktop", "vokar.desktop"));

  // The shortcuts start the installed programs in the working directory.
  const std::string horalo = ReadAll(user_.autostart() / "Horalo.desktop");
  EXPECT_THAT(horalo, HasSubstr("\nExec=" + b + "/horalo\n"));
  EXPECT_THAT(horalo, HasSubstr("\nPath=" + user_.workingDir().string() + "\n"));
  EXPECT_THAT(horalo, HasSubstr("\nIcon=" + (user_ / "usr/share/icons/hicolor/scalable/apps/quillmark-horalo.svg").string() + "\n"));
  const std::string sendTo = ReadAll(user_.applications() / "Syntezer mowy Vokar.desktop");
  EXPECT_THAT(sendTo, HasSubstr("\nName=Syntezer mowy Vokar\n"));
  EXPECT_THAT(sendTo, HasSubstr("\nExec=" + b + "/vokar %f\n"));
  EXPECT_THAT(sendTo, HasSubstr("\nMimeType=text/plain;\n"));
  EXPECT_THAT(sendTo, HasSubstr("\nNoDisplay=true\n"));

  // The comment type, by the comment editor's registration: the class entries
  // name the installed program, the desktop knows the MIME type.
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CLASSES_ROOT\\.ann"),
              ::testing::Contains("@=\"Remarka.Komentarz\""));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CLASSES_ROOT\\CLSID\\{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}\\LocalServer32"),
              ::testing::Contains("@=\"" + b + "/remarka\""));
  EXPECT_TRUE(fs::exists(user_.dataHome() / "mime/packages/quillmark-remarka.xml"));

  // Every entry written is one desktop-file-validate accepts.
  std::vector<fs::path> entries;
  for (const auto& folder : {user_.autostart(), user_.applications(), user_.group()})
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".desktop") entries.push_back(entry.path());
  ASSERT_EQ(entries.size(), 12u);
  for (const auto& entry : entries) {
    const std::string command = "desktop-file-validate '" + entry.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << entry;
  }
}

TEST_F(Vkinstall, ASecondRunChangesNothing) {
  const fs::path bin = StageInstallation(user_);
  ASSERT_EQ(user_.Run(bin / "vkinstall").exitCode, 0);
  const std::string store = ExportStore(user_);
  const std::string entry = ReadAll(user_.group() / "vokar.desktop");
  const RunResult again = user_.Run(bin / "vkinstall", {"--quiet"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(ExportStore(user_), store);
  EXPECT_EQ(ReadAll(user_.group() / "vokar.desktop"), entry);
}

TEST_F(Vkinstall, RegistersOnlyTheProgramsThatAreThere) {
  const fs::path bin = StageInstallation(user_, {"vokar", "klavo"});
  const RunResult run = user_.Run(bin / "vkinstall");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("skipped: Horalo is not installed"));
  EXPECT_THAT(ExportLinesUnder(ExportStore(user_), "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"),
              ElementsAre("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Klavo.exe]",
                          "@=\"" + bin.string() + "/klavo\"",
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe]",
                          "@=\"" + bin.string() + "/vokar\""));
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Vokar.desktop"));
  EXPECT_THAT(FileNames(user_.group()), ElementsAre("klavo.desktop", "vkremove.desktop", "vokar.desktop"));
}

TEST_F(Vkinstall, LeavesAUsersOwnFileOfTheSameNameAlone) {
  const fs::path bin = StageInstallation(user_);
  const std::string mine = "[Desktop Entry]\nType=Application\nName=Mój Horalo\nExec=/usr/local/bin/horalo --cichy\n";
  user_.folder().Write("home/.config/autostart/Horalo.desktop", mine);
  const RunResult run = user_.Run(bin / "vkinstall");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("Horalo.desktop: a file of that name that is not the suite's own is left alone"));
  EXPECT_EQ(ReadAll(user_.autostart() / "Horalo.desktop"), mine);
  // The rest is written all the same.
  EXPECT_TRUE(fs::exists(user_.autostart() / "Vokar.desktop"));
  EXPECT_TRUE(fs::exists(user_.group() / "horalo.desktop"));
}

TEST_F(Vkinstall, DoesNotTakeAFolderWithSomeoneElsesFilesAsItsWorkingDirectory) {
  const fs::path bin = StageInstallation(user_);
  user_.folder().Write("home/.local/share/quillmark/vokar/list.txt", "zakupy\n");
  const RunResult run = user_.Run(bin / "vkinstall");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("holds files that are not the suite's"));
  EXPECT_FALSE(fs::exists(user_.workingDir() / ".quillmark-vokar"));
  EXPECT_THAT(ExportLinesUnder(ExportStore(user_), "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall]",
                          "\"GroupName\"=\"Quillmark Vokar 1.1\""));
}

TEST_F(Vkinstall, DoesNotTakeALinkAsItsWorkingDirectory) {
  const fs::path bin = StageInstallation(user_);
  fs::create_directories(user_ / "elsewhere");
  fs::create_directories(user_.workingDir().parent_path());
  fs::create_directory_symlink(user_ / "elsewhere", user_.workingDir());
  const RunResult run = user_.Run(bin / "vkinstall");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("is a symbolic link"));
  EXPECT_TRUE(fs::is_empty(user_ / "elsewhere"));
}

TEST_F(Vkinstall, RefusesAnUnknownOption) {
  const fs::path bin = StageInstallation(user_, {});
  const RunResult run = user_.Run(bin / "vkinstall", {"--everything"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, HasSubstr("unknown option --everything"));
  EXPECT_FALSE(fs::exists(user_.home() / ".local"));
}

}  // namespace
