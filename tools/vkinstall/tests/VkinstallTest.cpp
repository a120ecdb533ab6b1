// The real vkinstall in a user sandbox: what it writes into the store and on
// the desktop (and the record of it), that a second run changes nothing, that
// starting at login and the default application of text files stay the
// user's choice, what a program's first start registers, and that it never
// takes over files or folders that are not the suite's.
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
using ::testing::Not;

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
  EXPECT_THAT(ExportLinesOf(store, "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall]",
                          "\"Directory\"=\"" + user_.workingDir().string() + "\"",
                          "\"GroupName\"=\"Quillmark Vokar 1.1\"", "\"Programs\"=\"" + b + "\""));
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
  // Nothing starts at login until the user chooses it.
  EXPECT_FALSE(fs::exists(user_.autostart()));
  // The desktop's cache of entries by MIME type comes with the comment type's entry.
  EXPECT_THAT(FileNames(user_.applications()),
              ElementsAre("Quillmark Vokar 1.1", "Syntezer mowy Vokar.desktop", "mimeinfo.cache",
                          "quillmark-remarka-komentarz.desktop"));
  EXPECT_THAT(FileNames(user_.group()),
              ElementsAre("horalo.desktop", "klavo.desktop", "radko.desktop", "remarka.desktop", "sievo.desktop",
                          "vkremove.desktop", "vokar.desktop"));

  // The menu entries start the installed programs in the folder the desktop
  // gives them, never in the suite's own folder.
  const std::string horalo = ReadAll(user_.group() / "horalo.desktop");
  EXPECT_THAT(horalo, HasSubstr("\nExec=" + b + "/horalo\n"));
  EXPECT_THAT(horalo, HasSubstr("\nIcon=" + (user_ / "usr/share/icons/hicolor/scalable/apps/quillmark-horalo.svg").string() + "\n"));
  for (const auto& entry : fs::directory_iterator(user_.group()))
    EXPECT_THAT(ReadAll(entry.path()), Not(HasSubstr("\nPath="))) << entry.path();
  // The send-to entry reads a file handed to it, and offers itself as no
  // type's application: it never becomes the default for text files.
  const std::string sendTo = ReadAll(user_.applications() / "Syntezer mowy Vokar.desktop");
  EXPECT_THAT(sendTo, HasSubstr("\nName=Syntezer mowy Vokar\n"));
  EXPECT_THAT(sendTo, HasSubstr("\nExec=" + b + "/vokar %f\n"));
  EXPECT_THAT(sendTo, Not(HasSubstr("MimeType")));
  EXPECT_THAT(sendTo, Not(HasSubstr("\nPath=")));
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
  for (const auto& folder : {user_.applications(), user_.group()})
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".desktop") entries.push_back(entry.path());
  ASSERT_EQ(entries.size(), 9u);
  for (const auto& entry : entries) {
    const std::string command = "desktop-file-validate '" + entry.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << entry;
  }

  // The record names everything the run made in the home, which was empty:
  // every file and every folder, and nothing more.
  std::vector<std::string> recorded;
  for (const auto& path : RecordedPaths(store, "Files")) recorded.push_back(fs::relative(path, user_.home()).string());
  for (const auto& path : RecordedPaths(store, "Folders"))
    recorded.push_back(fs::relative(path, user_.home()).string() + "/");
  std::sort(recorded.begin(), recorded.end());
  EXPECT_EQ(recorded, Tree(user_.home()));
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

TEST_F(Vkinstall, StartingAtLoginIsTheUsersChoice) {
  const fs::path bin = StageInstallation(user_);
  // A start-up entry of the user's own in the place of one of ours, and another.
  const std::string mine = "[Desktop Entry]\nType=Application\nName=Mój Radko\nExec=/usr/local/bin/radko --cicho\n";
  user_.folder().Write("home/.config/autostart/Radko.desktop", mine);
  user_.folder().Write("home/.config/autostart/poczta.desktop", "[Desktop Entry]\nType=Application\nName=Poczta\nExec=poczta\n");
  ASSERT_EQ(user_.Run(bin / "vkinstall").exitCode, 0);
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Radko.desktop", "poczta.desktop"));

  const RunResult on = user_.Run(bin / "vkinstall", {"--autostart"});
  EXPECT_EQ(on.exitCode, 1);
  EXPECT_THAT(on.err, HasSubstr("Radko.desktop: a file of that name that is not the suite's own is left alone"));
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Horalo.desktop", "Radko.desktop", "Vokar.desktop", "poczta.desktop"));
  EXPECT_EQ(ReadAll(user_.autostart() / "Radko.desktop"), mine);
  const std::string vokar = ReadAll(user_.autostart() / "Vokar.desktop");
  EXPECT_THAT(vokar, HasSubstr("\nExec=" + bin.string() + "/vokar\n"));
  EXPECT_THAT(vokar, Not(HasSubstr("\nPath=")));

  // A later registration (the repair) keeps the choice.
  ASSERT_EQ(user_.Run(bin / "vkinstall").exitCode, 0);
  EXPECT_EQ(ReadAll(user_.autostart() / "Vokar.desktop"), vokar);

  const RunResult off = user_.Run(bin / "vkinstall", {"--no-autostart"});
  EXPECT_EQ(off.exitCode, 0) << off.err;
  EXPECT_THAT(off.out, HasSubstr("Radko.desktop is not the suite's own and stays"));
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Radko.desktop", "poczta.desktop"));
  EXPECT_EQ(ReadAll(user_.autostart() / "Radko.desktop"), mine);
  ASSERT_EQ(user_.Run(bin / "vkinstall").exitCode, 0);
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Radko.desktop", "poczta.desktop"));
}

// gio decides the default application the way desktops do; its answer is
// asked in the sandbox, with a text editor of the "system" (a data folder of
// the test's own with the machine's MIME database).
class DefaultForTextFiles : public Vkinstall {
 protected:
  void SetUp() override {
    const fs::path system = user_ / "system";
    fs::create_directories(system);
    fs::create_directory_symlink("/usr/share/mime", system / "mime");
    user_.folder().Write("system/applications/edytor.desktop",
                         "[Desktop Entry]\nType=Application\nName=Edytor\nExec=/bin/true %f\nMimeType=text/plain;\n");
    ASSERT_EQ(user_.Run("/usr/bin/update-desktop-database", {(system / "applications").string()}).exitCode, 0);
    user_.Set("XDG_DATA_DIRS", system.string());
    user_.Set("XDG_CONFIG_DIRS", (user_ / "system-config").string());
    user_.Set("GIO_USE_VFS", "local");
  }

  std::string Gio() {
    const RunResult run = user_.Run("/usr/bin/gio", {"mime", "text/plain"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
  }

  // The desktop entry gio names as the default ("" when it names none).
  std::string DefaultApplication() {
    const std::string out = Gio();
    const std::string head = "Default application for ";
    const auto at = out.find(head);
    if (at == std::string::npos) return "";
    const auto end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    return line.substr(line.rfind(": ") + 2);
  }
};

TEST_F(DefaultForTextFiles, TheServerNeverBecomesIt) {
  const fs::path bin = StageInstallation(user_);
  ASSERT_EQ(user_.Run(bin / "vkinstall").exitCode, 0);
  ASSERT_TRUE(fs::exists(user_.applications() / "mimeinfo.cache"));
  EXPECT_EQ(DefaultApplication(), "edytor.desktop");
  const std::string gio = Gio();
  EXPECT_THAT(gio, Not(HasSubstr("Syntezer")));
  EXPECT_THAT(gio, Not(HasSubstr("vokar")));
}

TEST_F(DefaultForTextFiles, TheUsersOwnStays) {
  const std::string list = "[Default Applications]\ntext/plain=moj-edytor.desktop;\n";
  user_.folder().Write("home/.config/mimeapps.list", list);
  user_.folder().Write("home/.local/share/applications/moj-edytor.desktop",
                       "[Desktop Entry]\nType=Application\nName=Mój edytor\nExec=/bin/true %f\nMimeType=text/plain;\n");
  const fs::path bin = StageInstallation(user_);
  ASSERT_EQ(user_.Run(bin / "vkinstall").exitCode, 0);
  EXPECT_EQ(DefaultApplication(), "moj-edytor.desktop");
  // The list gained the comment type's default only, and kept the user's line.
  EXPECT_EQ(ReadAll(user_.configHome() / "mimeapps.list"),
            "[Default Applications]\napplication/x-remarka-komentarz=quillmark-remarka-komentarz.desktop;\n"
            "text/plain=moj-edytor.desktop;\n");
}

// A program's first start registers the application paths and the comment
// type (and records them), and changes nothing else on the user's desktop.
TEST_F(Vkinstall, TheFirstStartRegistersOnlyApplicationPathsAndTheCommentType) {
  const fs::path bin = StageInstallation(user_);
  const RunResult run = user_.Run(bin / "vkinstall", {"--first-start"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string store = ExportStore(user_);
  EXPECT_EQ(ExportLinesUnder(store, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\").size(), 12u);
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CLASSES_ROOT\\.ann"), ::testing::Contains("@=\"Remarka.Komentarz\""));
  EXPECT_THAT(ExportLinesOf(store, "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall]",
                          "\"Programs\"=\"" + bin.string() + "\""));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CURRENT_USER\\Software\\Microsoft"), ::testing::IsEmpty());
  // On the desktop: the comment type's files and the databases built from them, nothing else.
  std::vector<std::string> desktop;
  for (const auto& entry : Tree(user_.home()))
    if (!entry.starts_with(".local/share/mime/") && !entry.starts_with(".local/share/icons/")) desktop.push_back(entry);
  EXPECT_THAT(desktop, ElementsAre(".config/", ".config/mimeapps.list", ".local/", ".local/share/",
                                   ".local/share/applications/", ".local/share/applications/mimeinfo.cache",
                                   ".local/share/applications/quillmark-remarka-komentarz.desktop"));
  EXPECT_TRUE(fs::exists(user_.dataHome() / "mime/packages/quillmark-remarka.xml"));
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
  EXPECT_THAT(FileNames(user_.group()), ElementsAre("klavo.desktop", "vkremove.desktop", "vokar.desktop"));
  ASSERT_EQ(user_.Run(bin / "vkinstall", {"--autostart"}).exitCode, 0);
  EXPECT_THAT(FileNames(user_.autostart()), ElementsAre("Vokar.desktop"));
}

TEST_F(Vkinstall, LeavesAUsersOwnFileOfTheSameNameAlone) {
  const fs::path bin = StageInstallation(user_);
  const std::string mine = "[Desktop Entry]\nType=Application\nName=Mój Horalo\nExec=/usr/local/bin/horalo --cichy\n";
  user_.folder().Write("home/.local/share/applications/Quillmark Vokar 1.1/horalo.desktop", mine);
  const RunResult run = user_.Run(bin / "vkinstall");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("horalo.desktop: a file of that name that is not the suite's own is left alone"));
  EXPECT_EQ(ReadAll(user_.group() / "horalo.desktop"), mine);
  // The rest is written all the same.
  EXPECT_TRUE(fs::exists(user_.group() / "vokar.desktop"));
}

TEST_F(Vkinstall, DoesNotTakeAFolderWithSomeoneElsesFilesAsItsWorkingDirectory) {
  const fs::path bin = StageInstallation(user_);
  user_.folder().Write("home/.local/share/quillmark/vokar/list.txt", "zakupy\n");
  const RunResult run = user_.Run(bin / "vkinstall");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("holds files that are not the suite's"));
  EXPECT_FALSE(fs::exists(user_.workingDir() / ".quillmark-vokar"));
  EXPECT_THAT(ExportLinesOf(ExportStore(user_), "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall]",
                          "\"GroupName\"=\"Quillmark Vokar 1.1\"", "\"Programs\"=\"" + bin.string() + "\""));
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

TEST_F(Vkinstall, RefusesAnUnknownOptionAndTwoTasksAtOnce) {
  const fs::path bin = StageInstallation(user_, {});
  const RunResult run = user_.Run(bin / "vkinstall", {"--everything"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, HasSubstr("unknown option --everything"));
  const RunResult both = user_.Run(bin / "vkinstall", {"--autostart", "--no-autostart"});
  EXPECT_EQ(both.exitCode, 2);
  EXPECT_THAT(both.err, HasSubstr("go alone"));
  EXPECT_FALSE(fs::exists(user_.home() / ".local"));
  EXPECT_FALSE(fs::exists(user_.home() / ".config"));
}

}  // namespace
