// The real vkremove after the real vkinstall, in a user sandbox with its own
// home, store, desktop and message-box log: what goes (what the suite wrote,
// and nothing else), what stays and is said (the user's files, what lies
// behind a link), the questions while a program of the suite runs (the
// clients before the server, which no client starts again meanwhile), the
// uninstaller's own file, the exit codes, and the records that point at
// files that are not the suite's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Staging.h"
#include "SuiteSandbox.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kAppPaths = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kRecord = "HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Uninstall";
constexpr const char* kOurClass = "{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}";

const std::string kQuestion =
    "caption=Usuwanie pakietu Vokar 1.1\ticon=question\tbuttons=yes-no\tanswer=%\ttext=Czy na pewno chcesz usunąć "
    "cały pakiet Vokar ?";
const std::string kDone =
    "caption=Usuwanie pakietu Vokar 1.1\ticon=information\tbuttons=ok\tanswer=ok\ttext=Usuwanie Vokara 1.1 "
    "zakończyło się poprawnie.";
const std::string kAborted =
    "caption=Usuwanie pakietu Vokar 1.1\ticon=stop\tbuttons=ok\tanswer=ok\ttext=Usuwanie Vokara 1.1 zostało "
    "przerwane !\\nMimo to możliwe jest, że nie wszystkie elementy pakietu\\nbędą działać poprawnie.";

std::string Question(const std::string& answer) {
  std::string line = kQuestion;
  line.replace(line.find('%'), 1, answer);
  return line;
}

std::string RunningQuestion(const std::string& title, const std::string& answer) {
  return "caption=Usuwanie pakietu Vokar 1.1\ticon=question\tbuttons=yes-no\tanswer=" + answer +
         "\ttext=Uwaga - program " + title +
         " jest uruchomiony!\\nJeśli chcesz kontynuować dalszą deinstalację,\\nnależy zakończyć jego działanie. ";
}

class Vkremove : public ::testing::Test {
 protected:
  // Installs, then uses the suite a little: settings of every program, the
  // machine key, the comment type, a file of the user's in the working directory.
  void Install() {
    bin_ = StageInstallation(user_);
    const RunResult install = user_.Run(bin_ / "vkinstall");
    ASSERT_EQ(install.exitCode, 0) << install.err;
    const RunResult autostart = user_.Run(bin_ / "vkinstall", {"--autostart"});
    ASSERT_EQ(autostart.exitCode, 0) << autostart.err;
    const fs::path reg = user_.folder().Write("use.reg", std::string("Windows Registry Editor Version 5.00\n\n") +
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Horalo\\Events]\n\"DocumentName\"=\"zdarzenia.evt\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Klavo\\Global]\n\"WorkDir\"=\"x\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Sievo\\Global]\n\"WorkDir\"=\"x\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Remarka\\Settings]\n\"ShowCmd\"=dword:00000003\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Vokar\\Global]\n\"TaskBarIcon\"=\"Yes\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Radko\\Text File]\n\"Line\"=dword:00000007\n\n"
        "[HKEY_CURRENT_USER\\Software\\Quillmark\\Inny]\n\"Zostaje\"=\"tak\"\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Quillmark\\Vokar]\n\"Cokolwiek\"=\"1\"\n\n"
        "[HKEY_CLASSES_ROOT\\.ann]\n@=\"Remarka.Komentarz\"\n\n"
        "[HKEY_CLASSES_ROOT\\Remarka.Komentarz]\n@=\"Quillmark Remarka Komentarz\"\n\n"
        "[HKEY_CLASSES_ROOT\\Remarka.Komentarz\\CLSID]\n@=\"" + kOurClass + "\"\n\n"
        "[HKEY_CLASSES_ROOT\\CLSID\\" + kOurClass + "\\LocalServer32]\n@=\"" + (bin_ / "remarka").string() + "\"\n");
    const RunResult imported = user_.Run(VOKAR_VKREG, {"import", reg.string()});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    user_.folder().Write("home/.local/share/quillmark/vokar/client.exp", "np. na przykład\n");
  }

  // Puts a fresh uninstaller where the installation has it (a run deletes it).
  void RestoreUninstaller() { CopyProgram(VOKAR_VKREMOVE, bin_ / "vkremove"); }

  // As an installation made before the suite recorded what it wrote: only
  // the installation record's values lead the uninstaller.
  void ForgetWhatWasWritten() {
    for (const char* list : {"Files", "Folders"}) {
      const RunResult deleted = user_.Run(VOKAR_VKREG, {"delete", std::string(kRecord) + "\\" + list});
      ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
    }
  }

  // The line of the last message that names the user's file left in the working directory.
  std::string LeftInWorkingDir() const {
    return "\\nPozostawiono pliki, których nie utworzył pakiet:\\n  " + (user_.workingDir() / "client.exp").string();
  }

  void SetRecord(const std::string& name, const std::string& value) {
    const RunResult set = user_.Run(VOKAR_VKREG, {"set", kRecord, name, value});
    ASSERT_EQ(set.exitCode, 0) << set.err;
  }

  // Starts a program with a top-level window of that title and waits until it is up.
  std::unique_ptr<Process> StartWindow(const std::vector<std::string>& arguments) {
    const std::string name = "window-" + std::to_string(starts_++);
    auto process = user_.Start(VOKAR_BUSWINDOW, arguments, name);
    EXPECT_TRUE(user_.WaitForOutput(name, "ready")) << arguments.front() << ": " << ReadAll(user_ / (name + ".err"));
    return process;
  }

  // Waits until a window of that bus title is on the sandbox's desktop, or
  // until it is gone.
  bool WaitForTitle(const std::string& title, bool present) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      bool found = false;
      for (const auto& entry : fs::directory_iterator(user_.Environment()["VOKAR_DESKTOP_DIR"]))
        if (entry.path().extension() == ".title" && ReadAll(entry.path()) == title) found = true;
      if (found == present) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The installed horalo, running alone as after its speech server was
  // closed: it starts with the server, at 10:59:58 of a faked clock, chimes
  // at 11:00 (so it is surely connected), then the server is closed where
  // horalo cannot start it again. Its own message boxes go to a log of its own.
  std::unique_ptr<Process> StartRealHoralo() {
    const fs::path wav = user_ / "chime.wav";
    user_.Set("VOKAR_WAVEOUT", "wav:" + wav.string() + ",fast");
    user_.Set("VOKAR_DATA_DIR", (fs::path(VOKAR_SHARE_DIR) / "vokar").string());
    user_.Set("VOKAR_MSGBOX_LOG", (user_ / "horalo-messages.log").string());
    const std::string clock = "HKEY_CURRENT_USER\\Software\\Quillmark\\Horalo\\Clock";
    EXPECT_EQ(user_.Run(VOKAR_VKREG, {"set", "--dword", clock, "Frequency", "1"}).exitCode, 0);
    auto server = user_.Start(bin_ / "vokar", {"/L-"}, "vokar");
    EXPECT_TRUE(WaitForTitle("Vokar", true)) << ReadAll(user_ / "vokar.err");
    // Debian's libfaketime, preloaded into horalo alone.
    std::string faketime;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/usr/lib", ignored))
      if (fs::exists(entry.path() / "faketime/libfaketime.so.1", ignored))
        faketime = (entry.path() / "faketime/libfaketime.so.1").string();
    EXPECT_FALSE(faketime.empty()) << "libfaketime is not installed";
    user_.Set("LD_PRELOAD", faketime);
    user_.Set("FAKETIME", "@2026-12-08 10:59:58");
    auto horalo = user_.Start(bin_ / "horalo", {}, "horalo");
    user_.Set("LD_PRELOAD", "");
    user_.Set("FAKETIME", "");
    user_.Set("VOKAR_MSGBOX_LOG", user_.messageLog().string());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!(fs::exists(wav) && fs::file_size(wav, ignored) > 1000) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(wav)) << ReadAll(user_ / "horalo.err") << ReadAll(user_ / "vokar.err")
                                 << ReadAll(user_ / "horalo-messages.log");
    const std::string vokarPath = std::string(kAppPaths) + "\\Vokar.exe";
    EXPECT_EQ(user_.Run(VOKAR_VKREG, {"set", vokarPath, "", (user_ / "nie-ma-serwera").string()}).exitCode, 0);
    server->Terminate();
    EXPECT_TRUE(WaitForTitle("Vokar", false));
    EXPECT_TRUE(WaitForTitle("Horalo", true)) << ReadAll(user_ / "horalo.err") << ReadAll(user_ / "horalo-messages.log");
    return horalo;
  }

  // What a process of the desktop learns when it asks whether an
  // uninstaller runs: "runs" or "free", with a new line.
  std::string UninstallMark() {
    const RunResult probe = user_.Run(VOKAR_MARKPROBE);
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    return probe.out;
  }

  UserSandbox user_{"vkremove"};
  fs::path bin_;
  int starts_ = 0;
};

// The user's own things where the suite works: a default application for
// text files and a start-up entry of their own, documents; after the
// installation a file in the suite's working directory.
void PlaceUsersOwnThings(UserSandbox& user) {
  user.folder().Write("home/.config/mimeapps.list",
                      "[Default Applications]\ntext/plain=moj-edytor.desktop;\n\n[Added Associations]\n"
                      "text/plain=moj-edytor.desktop;\n");
  user.folder().Write("home/.config/autostart/moj-zegar.desktop",
                      "[Desktop Entry]\nType=Application\nName=Mój zegar\nExec=/usr/local/bin/zegar\n");
  user.folder().Write("home/Dokumenty/list.txt", "ważne\n");
}

TEST_F(Vkremove, TakesAwayWhatTheSuiteWroteAndNothingElse) {
  PlaceUsersOwnThings(user_);
  const std::vector<std::string> before = Tree(user_.home());
  const std::string mimeapps = ReadAll(user_.configHome() / "mimeapps.list");
  Install();
  ASSERT_TRUE(fs::exists(user_.autostart() / "Horalo.desktop"));
  ASSERT_TRUE(fs::exists(user_.dataHome() / "mime/mime.cache"));
  const std::string comment = std::string("\x08\0\0\0Notatka.", 12);
  user_.folder().Write("home/.local/share/quillmark/vokar/notatka.ann", comment);

  const RunResult run = user_.Run(bin_ / "vkremove");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(user_.Messages(),
              ElementsAre(Question("yes"), kDone + "\\nPozostawiono pliki, których nie utworzył pakiet:\\n  " +
                                               (user_.workingDir() / "client.exp").string() + "\\n  " +
                                               (user_.workingDir() / "notatka.ann").string()));

  const std::string store = ExportStore(user_);
  // The settings root stays, with what belongs to no program of the suite.
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CURRENT_USER\\Software\\Quillmark"),
              ElementsAre("[HKEY_CURRENT_USER\\Software\\Quillmark]", "[HKEY_CURRENT_USER\\Software\\Quillmark\\Inny]",
                          "\"Zostaje\"=\"tak\""));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_LOCAL_MACHINE\\Software\\Quillmark\\"), IsEmpty());
  EXPECT_THAT(ExportLinesUnder(store, kAppPaths), ElementsAre(std::string("[") + kAppPaths + "]"));
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"),
              IsEmpty());
  EXPECT_THAT(ExportLinesUnder(store, "HKEY_CLASSES_ROOT\\"), ElementsAre("[HKEY_CLASSES_ROOT\\CLSID]"));

  // The home is as it was, with the user's comment where the user put it:
  // the generated MIME database, the desktop's cache and every folder the
  // suite made are gone; the user's default and start-up entry are untouched.
  std::vector<std::string> expected = before;
  for (const char* added : {".local/", ".local/share/", ".local/share/quillmark/", ".local/share/quillmark/vokar/",
                            ".local/share/quillmark/vokar/client.exp", ".local/share/quillmark/vokar/notatka.ann"})
    expected.push_back(added);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Tree(user_.home()), expected);
  EXPECT_EQ(ReadAll(user_.configHome() / "mimeapps.list"), mimeapps);
  EXPECT_EQ(ReadAll(user_.workingDir() / "notatka.ann"), comment);
  // The uninstaller deleted its own file; the package manager's files are not its business.
  EXPECT_FALSE(fs::exists(bin_ / "vkremove"));
  EXPECT_TRUE(fs::exists(bin_ / "vokar"));

  // A second run finds nothing to do and still ends well.
  RestoreUninstaller();
  const RunResult again = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(user_.Messages().back(), kDone);
  EXPECT_EQ(ExportStore(user_), store);
  EXPECT_EQ(Tree(user_.home()), expected);
  // That uninstaller was not the recorded one (the record is gone): it stays.
  EXPECT_TRUE(fs::exists(bin_ / "vkremove"));
}

TEST_F(Vkremove, NoToTheFirstQuestionChangesNothing) {
  Install();
  const std::string store = ExportStore(user_);
  user_.Set("VOKAR_MSGBOX_ANSWER", "no");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(user_.Messages(), ElementsAre(Question("no")));
  EXPECT_EQ(ExportStore(user_), store);
  EXPECT_TRUE(fs::exists(user_.workingDir() / "client.exp"));
  EXPECT_TRUE(fs::exists(user_.autostart() / "Horalo.desktop"));
  EXPECT_TRUE(fs::exists(bin_ / "vkremove"));
  // Nothing holds the server back once the uninstaller has ended.
  EXPECT_EQ(UninstallMark(), "free\n");
}

// The uninstalling mark, which keeps the clients from starting the server
// and the first start from registering the suite, is held from the first
// "yes" to the end of the run, and by nothing once the run has ended: after a
// run that ended at a question about a running program (the session ending
// while it is up, or a "no" to it) and after a finished run.
TEST_F(Vkremove, TheUninstallingMarkIsHeldOnlyWhileARunGoesOn) {
  Install();
  auto radko = StartWindow({"Radko"});
  ASSERT_EQ(UninstallMark(), "free\n");

  // The question about Radko held open: the mark is held.
  user_.Set("VOKAR_MSGBOX_ANSWER", "yes,show");
  auto remove = user_.Start(bin_ / "vkremove", {}, "vkremove");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (user_.Messages().size() < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_THAT(user_.Messages(), ElementsAre(Question("yes"), RunningQuestion("Radko", "show")));
  EXPECT_EQ(UninstallMark(), "runs\n");
  ::kill(remove->pid(), SIGTERM);
  EXPECT_EQ(remove->Wait(std::chrono::seconds(10)), 1) << ReadAll(user_ / "vkremove.err");
  EXPECT_EQ(UninstallMark(), "free\n");

  // "No" to the question about Radko.
  user_.Set("VOKAR_MSGBOX_ANSWER", "yes,yes,no");
  const RunResult declined = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(declined.exitCode, 1) << declined.err;
  EXPECT_EQ(user_.Messages().back(), kAborted);
  EXPECT_EQ(UninstallMark(), "free\n");

  // Radko closed, the run goes to its end.
  radko.reset();
  user_.Set("VOKAR_MSGBOX_ANSWER", "");
  const RunResult finished = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(finished.exitCode, 0) << finished.err;
  EXPECT_THAT(user_.Messages().back(), ::testing::StartsWith(kDone));
  EXPECT_FALSE(fs::exists(user_.group()));
  EXPECT_EQ(UninstallMark(), "free\n");
}

// The first question really up (the script shows it) and the session ends:
// the uninstaller ends as "no" would have it, having changed nothing.
TEST_F(Vkremove, TheEndOfTheSessionDuringTheFirstQuestionIsItsNo) {
  Install();
  const std::string store = ExportStore(user_);
  user_.Set("VOKAR_MSGBOX_ANSWER", "show");
  auto remove = user_.Start(bin_ / "vkremove", {}, "vkremove");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (user_.Messages().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_THAT(user_.Messages(), ElementsAre(Question("show")));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(remove->pid(), SIGTERM);
  EXPECT_EQ(remove->Wait(std::chrono::seconds(10)), 2) << ReadAll(user_ / "vkremove.err");
  EXPECT_EQ(ExportStore(user_), store);
  EXPECT_TRUE(fs::exists(bin_ / "vkremove"));
}

TEST_F(Vkremove, ARunningHoraloIsAskedAboutUntilTheUserSaysNo) {
  Install();
  auto horalo = StartRealHoralo();
  const std::string store = ExportStore(user_);
  user_.Set("VOKAR_MSGBOX_ANSWER", "yes,yes,yes,no");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(user_.Messages(),
              ElementsAre(Question("yes"), RunningQuestion("Horalo", "yes"), RunningQuestion("Horalo", "yes"),
                          RunningQuestion("Horalo", "no"), kAborted));
  // The check comes before any removal.
  EXPECT_EQ(ExportStore(user_), store);
  EXPECT_TRUE(fs::exists(user_.workingDir()));
  horalo->Terminate();
}

TEST_F(Vkremove, ARunningHoraloIsAskedAboutUntilItIsClosed) {
  Install();
  auto horalo = StartRealHoralo();
  // The user closes horalo once the log holds the first question and two about it.
  auto remove = user_.Start(bin_ / "vkremove", {}, "vkremove");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (user_.Messages().size() < 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_GE(user_.Messages().size(), 3u);
  horalo->Terminate();
  EXPECT_EQ(remove->Wait(std::chrono::seconds(30)), 0) << ReadAll(user_ / "vkremove.err");
  const auto messages = user_.Messages();
  ASSERT_GE(messages.size(), 4u);
  EXPECT_EQ(messages.front(), Question("yes"));
  EXPECT_EQ(messages.back(), kDone + LeftInWorkingDir());
  for (std::size_t i = 1; i + 1 < messages.size(); ++i) EXPECT_EQ(messages[i], RunningQuestion("Horalo", "yes"));
  EXPECT_FALSE(fs::exists(user_.workingDir() / ".quillmark-vokar"));
  EXPECT_FALSE(fs::exists(user_.group()));
}

// The real comment editor with the real server: the editor is asked about
// first. The user closes the server first all the same, against the order;
// the editor, whose server went away, does not start it again while the
// uninstaller runs, so once the editor is closed the run ends.
TEST_F(Vkremove, TheClientsComeFirstAndNoneStartsTheServerAgain) {
  Install();
  user_.Set("VOKAR_WAVEOUT", "null");
  user_.Set("VOKAR_DATA_DIR", (fs::path(VOKAR_SHARE_DIR) / "vokar").string());
  auto server = user_.Start(bin_ / "vokar", {"/L-"}, "vokar");
  ASSERT_TRUE(WaitForTitle("Vokar", true)) << ReadAll(user_ / "vokar.err");
  user_.Set("VOKAR_MSGBOX_LOG", (user_ / "remarka-messages.log").string());
  auto remarka = user_.Start(bin_ / "remarka", {}, "remarka");
  user_.Set("VOKAR_MSGBOX_LOG", user_.messageLog().string());
  ASSERT_TRUE(WaitForTitle("Remarka", true)) << ReadAll(user_ / "remarka.err");

  auto remove = user_.Start(bin_ / "vkremove", {}, "vkremove");
  const auto asked = [&](const std::string& title) {
    for (const auto& line : user_.Messages())
      if (line == RunningQuestion(title, "yes")) return true;
    return false;
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!asked("Remarka") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(asked("Remarka")) << ReadAll(user_ / "vkremove.err");
  server->Terminate();
  ASSERT_TRUE(WaitForTitle("Vokar", false));
  // For two seconds no server comes back.
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  bool cameBack = false;
  while (!cameBack && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator(user_.Environment()["VOKAR_DESKTOP_DIR"]))
      if (entry.path().extension() == ".title" && ReadAll(entry.path()) == "Vokar") cameBack = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FALSE(cameBack);
  EXPECT_THAT(ReadAll(user_ / "remarka.err"), HasSubstr("the uninstaller runs; the speech server is not started"));
  remarka->Terminate();
  EXPECT_EQ(remove->Wait(std::chrono::seconds(30)), 0) << ReadAll(user_ / "vkremove.err");
  const auto messages = user_.Messages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages.front(), Question("yes"));
  EXPECT_THAT(messages.back(), ::testing::StartsWith(kDone));
  for (std::size_t i = 1; i + 1 < messages.size(); ++i) EXPECT_EQ(messages[i], RunningQuestion("Remarka", "yes"));
  EXPECT_FALSE(fs::exists(user_.group()));
}

TEST_F(Vkremove, ProgramsAreFoundByTheirExactBusTitleInTheirOrder) {
  Install();
  auto vokar = StartWindow({"Vokar"});
  auto radko = StartWindow({"Radko"});
  auto other = StartWindow({"Horalo - 12:00"});  // a caption, not the bus title
  user_.Set("VOKAR_MSGBOX_ANSWER", "yes,no");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 1);
  // The clients come first in the check, the server last: the "no" about Radko ends it.
  EXPECT_THAT(user_.Messages(), ElementsAre(Question("yes"), RunningQuestion("Radko", "no"), kAborted));
}

// The real server shows a caption of its own; the uninstaller finds it by its
// bus title all the same.
TEST_F(Vkremove, TheRunningSpeechServerIsFoundByItsBusTitle) {
  Install();
  const fs::path vokar = fs::path(VOKAR_BIN_DIR) / "vokar";
  ASSERT_TRUE(fs::exists(vokar));
  user_.Set("VOKAR_WAVEOUT", "null");
  auto server = user_.Start(vokar, {"/L-"}, "vokar");
  // The server is up when its window's title file is on the desktop.
  bool up = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!up && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator(user_.Environment()["VOKAR_DESKTOP_DIR"]))
      if (entry.path().extension() == ".title" && ReadAll(entry.path()) == "Vokar") up = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(up) << ReadAll(user_ / "vokar.err");
  user_.Set("VOKAR_MSGBOX_ANSWER", "yes,yes,no");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(user_.Messages(), ElementsAre(Question("yes"), RunningQuestion("Vokar", "yes"),
                                            RunningQuestion("Vokar", "no"), kAborted));
  server->Terminate();
}

TEST_F(Vkremove, AWorkingDirectoryThatIsNotTheSuitesIsNeverDeleted) {
  Install();
  user_.folder().Write("home/Dokumenty/list.txt", "ważne\n");
  user_.folder().Write("home/notes.txt", "n\n");
  // The suite's own marker copied into the home folder does not make it the suite's.
  fs::copy_file(user_.workingDir() / ".quillmark-vokar", user_.home() / ".quillmark-vokar");
  user_.folder().Write("nomarker/zdjecie.jpg", "jpg");
  fs::create_directory_symlink(user_.workingDir(), user_ / "link-to-working");
  const std::vector<std::string> directories{
      user_.home().string(), "/", (user_ / "nomarker").string(), (user_ / "link-to-working").string(),
      user_.path().string(), "relative/vokar"};
  for (const auto& directory : directories) {
    SetRecord("Directory", directory);
    RestoreUninstaller();
    const RunResult run = user_.Run(bin_ / "vkremove");
    EXPECT_EQ(run.exitCode, 0) << directory << "\n" << run.err;
    EXPECT_THAT(run.err, HasSubstr("vkremove: " + directory + ": ")) << directory;
    EXPECT_EQ(ReadAll(user_.home() / "Dokumenty/list.txt"), "ważne\n") << directory;
    EXPECT_TRUE(fs::exists(user_.home() / "notes.txt")) << directory;
    EXPECT_TRUE(fs::exists(user_ / "nomarker/zdjecie.jpg")) << directory;
    EXPECT_TRUE(fs::exists(user_.workingDir() / "client.exp")) << directory;
    EXPECT_TRUE(fs::is_symlink(user_ / "link-to-working")) << directory;
    EXPECT_TRUE(fs::exists(VOKAR_VKREG));
  }
}

TEST_F(Vkremove, LinksInTheWorkingDirectoryAreTheUsersAndStay) {
  Install();
  user_.folder().Write("home/Dokumenty/list.txt", "ważne\n");
  fs::create_directory_symlink(user_.home() / "Dokumenty", user_.workingDir() / "dokumenty");
  fs::create_directory_symlink(user_.home(), user_.workingDir() / "dom");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(fs::exists(user_.workingDir() / ".quillmark-vokar"));
  EXPECT_TRUE(fs::is_symlink(user_.workingDir() / "dom"));
  EXPECT_EQ(ReadAll(user_.home() / "Dokumenty/list.txt"), "ważne\n");
  EXPECT_THAT(user_.Messages().back(),
              HasSubstr("\\n  " + user_.workingDir().string() + "/client.exp\\n  " + user_.workingDir().string() +
                        "/dokumenty\\n  " + user_.workingDir().string() + "/dom"));
}

// The working directory recorded as the suite's, with a folder above it
// turned into a link afterwards: the folder behind the link is not the one
// the suite made, and nothing in it is touched.
TEST_F(Vkremove, ALinkAboveTheWorkingDirectoryIsNotFollowed) {
  Install();
  const fs::path quillmark = user_.dataHome() / "quillmark";
  user_.folder().Write("home/Archiwum/vokar/.quillmark-vokar", ReadAll(user_.workingDir() / ".quillmark-vokar"));
  user_.folder().Write("home/Archiwum/vokar/praca.txt", "praca\n");
  fs::rename(quillmark, user_ / "moved-away");
  fs::create_directory_symlink(user_.home() / "Archiwum", quillmark);
  const std::vector<std::string> behind = Tree(user_.home() / "Archiwum");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Tree(user_.home() / "Archiwum"), behind);
  EXPECT_TRUE(fs::is_symlink(quillmark));
  EXPECT_THAT(run.err, HasSubstr(user_.workingDir().string() + ": is reached through a symbolic link"));
  EXPECT_THAT(user_.Messages().back(), HasSubstr("Pozostawiono, bo prowadzi do nich dowiązanie symboliczne:\\n  " +
                                                 user_.workingDir().string()));
}

// /proc/self/exe names the file the program was loaded from: started through
// the dynamic loader it names the loader, run from elsewhere another copy.
// Only the recorded installation's own uninstaller deletes itself.
TEST_F(Vkremove, OnlyTheRecordedUninstallerDeletesItsOwnFile) {
  Install();
  // The loader the program names (its PT_INTERP).
  const RunResult headers = user_.Run("/usr/bin/readelf", {"-l", VOKAR_VKREMOVE});
  const auto at = headers.out.find("interpreter: ");
  ASSERT_NE(at, std::string::npos) << headers.out << headers.err;
  const std::string loader = headers.out.substr(at + 13, headers.out.find(']', at) - at - 13);
  ASSERT_TRUE(fs::exists(loader)) << loader;
  // A copy of the loader, so that a fault here harms nothing of the machine's.
  const fs::path loaderCopy = user_ / "ld.so";
  CopyProgram(loader, loaderCopy);
  const RunResult throughLoader = user_.Run(loaderCopy, {(bin_ / "vkremove").string()});
  EXPECT_EQ(throughLoader.exitCode, 0) << throughLoader.err;
  EXPECT_TRUE(fs::exists(loaderCopy));
  EXPECT_TRUE(fs::exists(bin_ / "vkremove"));
  ASSERT_FALSE(user_.Messages().empty());
  EXPECT_THAT(user_.Messages().back(),
              HasSubstr("\\nTen deinstalator nie jest plikiem zarejestrowanej instalacji, więc jej deinstalator "
                        "pozostaje:\\n  " + (bin_ / "vkremove").string()));

  // A copy in a build folder, registered from there: never deleted either.
  fs::remove_all(user_.workingDir());
  user_.folder().Write("build/CMakeCache.txt", "# build folder\n");
  const fs::path built = user_ / "build/bin";
  CopyProgram(VOKAR_VKINSTALL, built / "vkinstall");
  CopyProgram(VOKAR_VKREMOVE, built / "vkremove");
  ASSERT_EQ(user_.Run(built / "vkinstall").exitCode, 0);
  EXPECT_EQ(user_.Run(built / "vkremove").exitCode, 0);
  EXPECT_TRUE(fs::exists(built / "vkremove"));
  EXPECT_TRUE(fs::exists(built / "vkinstall"));
}

TEST_F(Vkremove, AGroupNameThatLeadsOutOfTheMenuIsRefused) {
  Install();
  ForgetWhatWasWritten();
  user_.folder().Write("home/Pulpit/vokar.desktop", ReadAll(user_.group() / "vokar.desktop"));
  SetRecord("GroupName", "../../../Pulpit");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("is not a plain folder name"));
  EXPECT_TRUE(fs::exists(user_.home() / "Pulpit/vokar.desktop"));
  // The real group is not named by the record any more, so it stays too.
  EXPECT_TRUE(fs::exists(user_.group() / "vokar.desktop"));
}

TEST_F(Vkremove, AMissingGroupNameRemovesTheDefaultGroup) {
  Install();
  ForgetWhatWasWritten();
  const RunResult unset = user_.Run(VOKAR_VKREG, {"delete", kRecord, "GroupName"});
  ASSERT_EQ(unset.exitCode, 0) << unset.err;
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(fs::exists(user_.group()));
}

TEST_F(Vkremove, OnlyTheSuitesCommentTypeAndClassGo) {
  Install();
  const std::string otherClass = "{11111111-2222-3333-4444-555555555555}";
  const fs::path reg = user_.folder().Write("other.reg", "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CLASSES_ROOT\\.ann]\n@=\"Inny.Dokument\"\n\n"
      "[HKEY_CLASSES_ROOT\\Inny.Dokument\\CLSID]\n@=\"" + otherClass + "\"\n\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\" + otherClass + "]\n@=\"Inny dokument\"\n\n"
      "[HKEY_CLASSES_ROOT\\Remarka.Komentarz\\CLSID]\n@=\"" + otherClass + "\"\n");
  ASSERT_EQ(user_.Run(VOKAR_VKREG, {"import", reg.string()}).exitCode, 0);
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(ExportLinesUnder(ExportStore(user_), "HKEY_CLASSES_ROOT\\"),
              ElementsAre("[HKEY_CLASSES_ROOT\\.ann]", "@=\"Inny.Dokument\"", "[HKEY_CLASSES_ROOT\\CLSID]",
                          "[HKEY_CLASSES_ROOT\\CLSID\\" + otherClass + "]", "@=\"Inny dokument\"",
                          "[HKEY_CLASSES_ROOT\\Inny.Dokument]", "[HKEY_CLASSES_ROOT\\Inny.Dokument\\CLSID]",
                          "@=\"" + otherClass + "\""));
}

TEST_F(Vkremove, TheCommentTypeGoesWhenItNamesAClassThatIsNotOurs) {
  Install();
  const std::string otherClass = "{11111111-2222-3333-4444-555555555555}";
  const fs::path reg = user_.folder().Write("other.reg", "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CLASSES_ROOT\\Remarka.Komentarz\\CLSID]\n@=\"" + otherClass + "\"\n\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\" + otherClass + "]\n@=\"Inny dokument\"\n");
  ASSERT_EQ(user_.Run(VOKAR_VKREG, {"import", reg.string()}).exitCode, 0);
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(ExportLinesUnder(ExportStore(user_), "HKEY_CLASSES_ROOT\\"),
              ElementsAre("[HKEY_CLASSES_ROOT\\CLSID]", "[HKEY_CLASSES_ROOT\\CLSID\\" + otherClass + "]",
                          "@=\"Inny dokument\""));
}

// The comment type's files on the desktop go by the record: the files of the
// same names in another data folder (the uninstaller started with another
// XDG_DATA_HOME), which the suite never wrote, stay; those the suite wrote go.
TEST_F(Vkremove, TheCommentTypesFilesGoOnlyWhereTheSuiteWroteThem) {
  Install();
  const fs::path data = user_.dataHome();
  const std::vector<std::string> typeFiles{"mime/packages/quillmark-remarka.xml",
                                           "applications/quillmark-remarka-komentarz.desktop",
                                           "icons/hicolor/32x32/mimetypes/application-x-remarka-komentarz.png",
                                           "icons/hicolor/48x48/mimetypes/application-x-remarka-komentarz.png"};
  const auto recorded = RecordedPaths(ExportStore(user_), "Files");
  for (const auto& file : typeFiles) {
    ASSERT_TRUE(fs::is_regular_file(data / file)) << file;
    ASSERT_THAT(recorded, ::testing::Contains((data / file).string()));
  }
  // The user's own files of those names, in a data folder of theirs.
  const fs::path other = user_ / "moje-dane";
  for (const auto& file : typeFiles) user_.folder().Write(fs::path("moje-dane") / file, "moje: " + file + "\n");
  const std::vector<std::string> otherBefore = Tree(other);
  user_.Set("XDG_DATA_HOME", other.string());
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const auto& file : typeFiles) {
    EXPECT_EQ(ReadAll(other / file), "moje: " + file + "\n") << file;
    EXPECT_FALSE(fs::exists(data / file)) << file;
  }
  EXPECT_EQ(Tree(other), otherBefore);
  // With the package gone the database the suite made serves nothing and goes too.
  EXPECT_FALSE(fs::exists(data / "mime"));
  EXPECT_THAT(user_.Messages().back(), ::testing::Not(HasSubstr("moje-dane")));
}

// The user's own MIME database, with a type of theirs, before the suite came:
// the uninstaller takes the comment type out of it and rebuilds it; the
// user's type is still known and nothing of theirs goes.
TEST_F(Vkremove, TheUsersOwnMimeDatabaseIsRebuiltWithoutTheCommentType) {
  const fs::path mime = user_.dataHome() / "mime";
  WriteUsersOwnMimePackage(user_);
  ASSERT_EQ(user_.Run("/usr/bin/update-mime-database", {mime.string()}).exitCode, 0);
  const std::vector<std::string> before = Tree(mime);
  Install();
  ASSERT_THAT(ReadAll(mime / "globs2"), HasSubstr("*.ann"));
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Tree(mime), before);
  EXPECT_THAT(ReadAll(mime / "globs2"), HasSubstr(":text/x-moje-notatki:*.notatki"));
  EXPECT_THAT(ReadAll(mime / "globs2"), ::testing::Not(HasSubstr("*.ann")));
}

// A symbolic link put in place of a folder on the way to the comment type's
// files after the installation: nothing behind it is deleted, and the last
// message says what stayed because of the link.
TEST_F(Vkremove, ALinkAboveTheCommentTypesFilesIsNotFollowed) {
  Install();
  const fs::path data = user_.dataHome();
  const fs::path package = data / "mime/packages/quillmark-remarka.xml";
  const fs::path icon = data / "icons/hicolor/48x48/mimetypes/application-x-remarka-komentarz.png";
  ASSERT_TRUE(fs::is_regular_file(package));
  ASSERT_TRUE(fs::is_regular_file(icon));
  // The user moves the two folders elsewhere and links them back.
  for (const char* folder : {"mime", "icons"}) {
    fs::rename(data / folder, user_ / (std::string("moje-") + folder));
    fs::create_directory_symlink(user_ / (std::string("moje-") + folder), data / folder);
  }
  const std::vector<std::string> mimeBefore = Tree(user_ / "moje-mime");
  const std::vector<std::string> iconsBefore = Tree(user_ / "moje-icons");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Tree(user_ / "moje-mime"), mimeBefore);
  EXPECT_EQ(Tree(user_ / "moje-icons"), iconsBefore);
  EXPECT_TRUE(fs::is_symlink(data / "mime"));
  EXPECT_TRUE(fs::is_symlink(data / "icons"));
  const std::string last = user_.Messages().back();
  EXPECT_THAT(last, HasSubstr("Pozostawiono, bo prowadzi do nich dowiązanie symboliczne:"));
  EXPECT_THAT(last, HasSubstr("\\n  " + package.string()));
  EXPECT_THAT(last, HasSubstr("\\n  " + icon.string()));
}

TEST_F(Vkremove, TheFileOfAnInstalledPackageIsLeftToThePackageManager) {
  Install();
  user_.folder().Write("dpkg/info/vokar.list", "/.\n/usr\n" + (bin_ / "vkremove").string() + "\n");
  user_.Set("DPKG_ADMINDIR", (user_ / "dpkg").string());
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(bin_ / "vkremove"));
  EXPECT_THAT(user_.Messages(),
              ElementsAre(Question("yes"), kDone + LeftInWorkingDir() +
                                               "\\nPliki programów usuwa z systemu polecenie: apt remove vokar"));
}

TEST_F(Vkremove, WithoutADisplayItSaysSoAndEnds) {
  bin_ = StageInstallation(user_, {});
  user_.Set("QT_QPA_PLATFORM", "");
  const RunResult run = user_.Run(bin_ / "vkremove");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("Błąd krytyczny deinstalacji"));
  EXPECT_THAT(user_.Messages(), IsEmpty());
  EXPECT_TRUE(fs::exists(bin_ / "vkremove"));
}

}  // namespace
