// remarka run as its users run it: the desktop's read action on a comment
// (the Exec line of the installed entry, started by GIO) reads it without a
// window and ends; a later start hands its comment to the running editor;
// the registration seen through vkreg; a damaged comment; the real speech
// server on the WAV device; and a look at the editor with two comments.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "AppPaths.h"
#include "ClientTestSupport.h"
#include "Desktop.h"
#include "Profile.h"
#include "RunProgram.h"

// X11's headers define macros (None, Status) that other headers trip over: last.
#include "WakeWindowManager.h"
#include "XSession.h"

namespace vokar::comment {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ClientWorld;

constexpr std::uint32_t kWmCommand = 0x0111;
constexpr int kReadCommand = 32780, kTileCommand = 57651, kExitCommand = 57665;

// The arguments of a desktop entry's Exec line for one file: words split at
// blanks outside double quotes, the quoting's backslash escapes undone, %f
// the file and %% a percent sign, as a launcher does.
std::vector<std::string> ExecArguments(const std::string& exec, const std::string& file) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size()) {
        word += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == ' ') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '"') {
      quoted = inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  for (auto& w : words) {
    if (w == "%f") {
      w = file;
      continue;
    }
    std::string expanded;
    for (std::size_t i = 0; i < w.size(); ++i) {
      if (w[i] == '%' && i + 1 < w.size() && w[i + 1] == '%') ++i;
      expanded += w[i];
    }
    w = expanded;
  }
  return words;
}

// The Exec line of the entry's action (the main section's for an empty name).
std::string ActionExec(const fs::path& entry, const std::string& action) {
  std::ifstream in(entry);
  const std::string section = action.empty() ? "[Desktop Entry]" : "[Desktop Action " + action + "]";
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("[")) inSection = line == section;
    if (inSection && line.starts_with("Exec=")) return line.substr(5);
  }
  return {};
}

// The data size of a WAV file (bytes 40-43 of its header): it grows while
// the server speaks into it.
std::size_t WavDataBytes(const fs::path& wav) {
  std::ifstream in(wav, std::ios::binary);
  unsigned char header[44] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
  return static_cast<std::size_t>(header[40]) | (static_cast<std::size_t>(header[41]) << 8) |
         (static_cast<std::size_t>(header[42]) << 16) | (static_cast<std::size_t>(header[43]) << 24);
}

class RemarkaProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("XDG_DATA_HOME", (world_.folder() / "data").string());
    world_.Set("XDG_CONFIG_HOME", (world_.folder() / "xdg-config").string());
    world_.Set("XDG_CACHE_HOME", (world_.folder() / "cache").string());
    world_.Set("HOME", (world_.folder() / "home").string());
    world_.Set("XDG_RUNTIME_DIR", (world_.folder() / "runtime").string());
    fs::create_directories(world_.folder() / "runtime");
    fs::permissions(world_.folder() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    world_.Set("PATH", world_.bin().string() + ":/usr/bin:/bin");
    world_.Set("GIO_USE_VFS", "local");
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    world_.Set("VOKAR_TESTSERVER_OPTIONS", "--log " + serverLog_.string() + " --job-ms 100");
    ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_DDE_TESTSERVER).ok());
  }

  fs::path Comment(const std::string& name, const std::string& cp1250Text) {
    std::string bytes;
    const auto size = static_cast<std::uint32_t>(cp1250Text.size());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    const fs::path file = world_.folder() / "work" / name;
    std::ofstream(file, std::ios::binary) << bytes << cp1250Text;
    return file;
  }

  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (const auto& line : ClientWorld::Lines(serverLog_)) {
      if (!line.starts_with("start ")) requests.push_back(line);
    }
    return requests;
  }

  // The remarka processes on the test's desktop, whoever started them.
  std::vector<pid_t> RemarkaProcesses() const {
    std::vector<pid_t> found;
    for (const pid_t pid : testing::ProcessesOnDesktop(world_.desktop())) {
      std::error_code error;
      const auto exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
      if (!error && exe.filename() == "remarka" && !testing::ProcessGone(pid)) found.push_back(pid);
    }
    return found;
  }

  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return done();
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }

  static std::string Exec(const fs::path& entry) {
    std::ifstream in(entry);
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("Exec=")) return line.substr(5);
    }
    return {};
  }

  support::ProgramRun Run(std::vector<std::string> arguments) {
    return support::RunProgram(arguments, {}, 30s);
  }

  // Waits until a window whose title matches is on the screen of the test's
  // X session, waking the window manager while it waits.
  bool WaitUntilShown(const std::string& titlePattern, std::chrono::milliseconds timeout) {
    return WaitUntil(
        [&] {
          testing::WakeWindowManager();
          return Run({"xdotool", "search", "--onlyvisible", "--name", titlePattern}).exitCode == 0;
        },
        timeout);
  }

  ClientWorld world_;
  fs::path serverLog_ = world_.folder() / "server.log";
};

// Watches the X server for any window being mapped.
class MapWatch {
 public:
  MapWatch() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) return;
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
  }
  ~MapWatch() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }
  int MappedWindows() {
    XSync(display_, False);
    int mapped = 0;
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == MapNotify) ++mapped;
    }
    return mapped;
  }

 private:
  Display* display_;
};

TEST_F(RemarkaProcess, TheDesktopsReadActionReadsTheCommentWithoutAWindow) {
  testing::XSession x;
  ASSERT_TRUE(x.ok());
  world_.Unset("QT_QPA_PLATFORM");  // remarka runs on the X server like any program of the session
  const auto registered = Run({VOKAR_REMARKA, "--register"});
  ASSERT_EQ(registered.exitCode, 0) << registered.output;
  const fs::path entry = world_.folder() / "data" / "applications" / "quillmark-remarka-komentarz.desktop";
  EXPECT_EQ(Exec(entry), "\"" + std::string(VOKAR_REMARKA) + "\" -Embedding %f");

  const fs::path comment = Comment("przeczytaj mnie.ann", "Zaż\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1.\r\nKoniec.");
  // The desktop knows the file as a comment and our entry as its reader.
  const auto type = Run({"gio", "info", "-a", "standard::content-type", comment.string()});
  EXPECT_NE(type.output.find("application/x-remarka-komentarz"), std::string::npos) << type.output;

  MapWatch watch;
  ASSERT_TRUE(watch.ok());
  const auto launched = Run({"gio", "launch", entry.string(), comment.string()});
  ASSERT_EQ(launched.exitCode, 0) << launched.output;
  ASSERT_TRUE(WaitUntil([&] { return Requests().size() >= 3; }, 20s)) << "the server got no comment";
  EXPECT_EQ(Requests(), (std::vector<std::string>{"execute break",
                                                  "poke Zaż\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1.\\r\\nKoniec.",
                                                  "execute read"}));
  EXPECT_TRUE(WaitUntil([&] { return RemarkaProcesses().empty(); }, 10s)) << "the reader did not end";
  EXPECT_EQ(watch.MappedWindows(), 0);
  EXPECT_TRUE(world_.Messages().empty());
  // The reader leaves the user's window placement alone.
  EXPECT_FALSE(registry::Profile("Quillmark", "Remarka").Has("Global", "WindowPos"));

  // The second action opens the comment in the editor: a window is mapped.
  std::string open;
  {
    std::ifstream in(entry);
    bool inAction = false;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("[")) inAction = line == "[Desktop Action Otworz]";
      if (inAction && line.starts_with("Exec=")) open = line.substr(5);
    }
  }
  ASSERT_EQ(open, "\"" + std::string(VOKAR_REMARKA) + "\" %f");
  testing::ChildProcess editor(VOKAR_REMARKA, {comment.string()});
  const desktop::WindowHandle window = testing::WaitForWindow("Remarka", 20s);
  ASSERT_TRUE(window);
  EXPECT_TRUE(WaitUntil([&] { return watch.MappedWindows() > 0; }, 10s));
  desktop::PostMessage(window, kWmCommand, kExitCommand, 0);
  EXPECT_TRUE(WaitUntil([&] { return testing::ProcessGone(editor.pid()); }, 10s));
}

TEST_F(RemarkaProcess, ALaterStartHandsItsCommentToTheRunningOne) {
  const fs::path first = Comment("pierwszy.ann", "pierwszy");
  const fs::path second = Comment("drugi.ann", "drugi");
  const fs::path third = Comment("trzeci.ann", "trzeci");
  testing::ChildProcess editor(VOKAR_REMARKA, {first.string()});
  ASSERT_TRUE(editor.started());
  const desktop::WindowHandle window = testing::WaitForWindow("Remarka", 20s);
  ASSERT_TRUE(window);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(serverLog_); }, 10s));

  // Read aloud by the running editor; the later start ends at once.
  const auto read = Run({VOKAR_REMARKA, "-Embedding", second.string()});
  EXPECT_EQ(read.exitCode, 0) << read.output;
  ASSERT_TRUE(WaitUntil([&] { return Requests().size() >= 3; }, 10s));
  EXPECT_EQ(Requests(), (std::vector<std::string>{"execute break", "poke drugi", "execute read"}));

  // Opened in the running editor, where the read command reads it.
  const auto open = Run({VOKAR_REMARKA, third.string()});
  EXPECT_EQ(open.exitCode, 0) << open.output;
  EXPECT_EQ(RemarkaProcesses().size(), 1u);
  ASSERT_TRUE(WaitUntil([&] { return testing::ProcessGone(editor.pid()) || !Requests().empty(); }, 1s));
  std::this_thread::sleep_for(300ms);  // the server's job of 100 ms ends
  desktop::PostMessage(window, kWmCommand, kReadCommand, 0);
  ASSERT_TRUE(WaitUntil([&] { return Requests().size() >= 6; }, 10s));
  EXPECT_EQ(Requests()[4], "poke trzeci");

  // SIGTERM takes the road of the exit command: the placement and the recent
  // files are written, and the program ends well.
  const int status = editor.Stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const registry::Profile settings("Quillmark", "Remarka");
  EXPECT_TRUE(settings.Has("Global", "WindowPos"));
  EXPECT_EQ(settings.GetString("Recent File List", "File1", ""), third.string());
  EXPECT_EQ(settings.GetString("Recent File List", "File2", ""), first.string());
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(RemarkaProcess, RegistrationEntriesSeenThroughVkreg) {
  ASSERT_EQ(Run({VOKAR_REMARKA, "--register"}).exitCode, 0);
  const std::string clsid = "HKEY_CLASSES_ROOT\\CLSID\\{5C3E91D4-2B7A-4F06-9E18-6D2A7B40C3F5}";
  const std::string program = fs::canonical(VOKAR_REMARKA).string();
  const auto exported = Run({VOKAR_VKREG, "export", "HKCR"});
  ASSERT_EQ(exported.exitCode, 0) << exported.output;
  for (const std::string& expected : std::vector<std::string>
       {"[HKEY_CLASSES_ROOT\\.ann]\n@=\"Remarka.Komentarz\"\n",
        "[HKEY_CLASSES_ROOT\\Remarka.Komentarz]\n@=\"Quillmark Remarka Komentarz\"\n",
        "[" + clsid + "\\Verb\\0]\n@=\"&Czytaj,0,3\"\n", "[" + clsid + "\\Verb\\1]\n@=\"&Otwórz,0,2\"\n",
        "[" + clsid + "\\LocalServer32]\n@=\"" + program + "\"\n",
        "[" + clsid + "\\MiscStatus]\n@=\"32\"\n"}) {
    EXPECT_NE(exported.output.find(expected), std::string::npos) << expected;
  }

  // What the user changed of the "when missing" entries stays; the program's
  // path is written again.
  ASSERT_EQ(Run({VOKAR_VKREG, "set", clsid + "\\Verb\\0", "@", "&Przeczytaj,0,3"}).exitCode, 0);
  ASSERT_EQ(Run({VOKAR_VKREG, "set", clsid + "\\LocalServer32", "@", "/nie/ma/remarki"}).exitCode, 0);
  ASSERT_EQ(Run({VOKAR_REMARKA, "--register"}).exitCode, 0);
  const auto again = Run({VOKAR_VKREG, "export", "HKCR"});
  EXPECT_NE(again.output.find("[" + clsid + "\\Verb\\0]\n@=\"&Przeczytaj,0,3\"\n"), std::string::npos);
  EXPECT_NE(again.output.find("[" + clsid + "\\LocalServer32]\n@=\"" + program + "\"\n"), std::string::npos);

  ASSERT_EQ(Run({VOKAR_REMARKA, "--unregister"}).exitCode, 0);
  const auto removed = Run({VOKAR_VKREG, "export", "HKCR"});
  EXPECT_EQ(removed.output.find("Remarka"), std::string::npos) << removed.output;
  EXPECT_EQ(removed.output.find("5C3E91D4"), std::string::npos);
  EXPECT_FALSE(fs::exists(world_.folder() / "data" / "applications" / "quillmark-remarka-komentarz.desktop"));
}

TEST_F(RemarkaProcess, ADamagedCommentIsToldAndNothingIsSpoken) {
  const fs::path damaged = world_.folder() / "work" / "zly.ann";
  std::ofstream(damaged, std::ios::binary) << std::string("\xFF\xFF\xFF\x7F", 4) << "tekst";
  const auto run = Run({VOKAR_REMARKA, "-Embedding", damaged.string()});
  EXPECT_EQ(run.exitCode, 1) << run.output;
  const auto messages = world_.MessageTexts();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Nie można otworzyć dokumentu:\n" + damaged.string() +
                             "\nPlik jest uszkodzony albo nie jest komentarzem: długość tekstu 2147483647 "
                             "przekracza 1048575 bajtów.");
  for (const auto& request : Requests()) EXPECT_FALSE(request.starts_with("poke")) << request;
  EXPECT_TRUE(RemarkaProcesses().empty());
}

TEST_F(RemarkaProcess, WithoutADesktopItSaysSoAndEnds) {
  // The desktop folder would be below a regular file: no bus can be made.
  const fs::path plain = world_.folder() / "work" / "plik";
  std::ofstream(plain) << "x";
  const fs::path comment = Comment("uwaga.ann", "Ala ma kota.");
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {VOKAR_REMARKA, comment.string()}, {VOKAR_REMARKA, "-Embedding", comment.string()}}) {
    const auto run = support::RunProgram(arguments, {{"VOKAR_DESKTOP_DIR", (plain / "pulpit").string()}}, 20s);
    EXPECT_EQ(run.exitCode, 1) << arguments.size() << ": " << run.output;
  }
  const auto messages = world_.MessageTexts();
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& message : messages)
    EXPECT_TRUE(message.starts_with("Remarka nie może pracować na tym pulpicie:\n")) << message;
  EXPECT_TRUE(Requests().empty());
}

TEST_F(RemarkaProcess, TheRealServerSpeaksACommentOpenedFromTheDesktop) {
  const fs::path voice = fs::path(VOKAR_STAGE_DATA) / "pl_22.alf";
  if (!fs::exists(voice)) GTEST_SKIP() << "the build made no voice (VOKAR_BUILD_VOICE=OFF)";
  testing::XSession x;
  ASSERT_TRUE(x.ok());
  world_.Unset("QT_QPA_PLATFORM");
  const fs::path wav = world_.folder() / "mowa.wav";
  world_.Set("VOKAR_WAVEOUT", "wav:" + wav.string());
  world_.Set("VOKAR_DATA_DIR", VOKAR_STAGE_DATA);
  ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_SERVER).ok());
  ASSERT_EQ(Run({VOKAR_REMARKA, "--register"}).exitCode, 0);
  const fs::path comment = Comment("uwaga.ann", "Ala ma kota.");
  // What a double click in a file manager does: the type's default
  // application, found through the user's MIME database and mimeapps.list.
  const auto opened = Run({"gio", "open", comment.string()});
  ASSERT_EQ(opened.exitCode, 0) << opened.output;
  EXPECT_TRUE(WaitUntil([&] { return RemarkaProcesses().empty(); }, 20s));
  ASSERT_TRUE(WaitUntil([&] { return WavDataBytes(wav) > 4000; }, 20s)) << "no speech in " << wav;
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(RemarkaProcess, AUserOpensACommentHearsItEditsItAndSavesIt) {
  const fs::path voice = fs::path(VOKAR_STAGE_DATA) / "pl_22.alf";
  if (!fs::exists(voice)) GTEST_SKIP() << "the build made no voice (VOKAR_BUILD_VOICE=OFF)";
  testing::XSession x(true);
  ASSERT_TRUE(x.ok());
  world_.Unset("QT_QPA_PLATFORM");
  const fs::path wav = world_.folder() / "mowa.wav";
  world_.Set("VOKAR_WAVEOUT", "wav:" + wav.string());
  world_.Set("VOKAR_DATA_DIR", VOKAR_STAGE_DATA);
  ASSERT_TRUE(registry::WriteAppPath("Vokar.exe", VOKAR_SERVER).ok());
  ASSERT_EQ(Run({VOKAR_REMARKA, "--register"}).exitCode, 0);
  const fs::path entry = world_.folder() / "data" / "applications" / "quillmark-remarka-komentarz.desktop";
  const fs::path comment = Comment("notatka.ann", "Ala ma kota.");

  // The entry's second action, as the file manager starts it.
  const auto arguments = ExecArguments(ActionExec(entry, "Otworz"), comment.string());
  ASSERT_EQ(arguments, (std::vector<std::string>{VOKAR_REMARKA, comment.string()}));
  testing::ChildProcess editor(arguments[0], {arguments.begin() + 1, arguments.end()});
  ASSERT_TRUE(editor.started());
  ASSERT_TRUE(testing::WaitForWindow("Remarka", 20s));
  ASSERT_TRUE(WaitUntilShown("notatka\\.ann", 20s)) << "the editor's window did not come to the screen";
  const auto keys = [&](std::vector<std::string> command) {
    command.insert(command.begin(), "xdotool");
    const auto run = Run(command);
    ASSERT_EQ(run.exitCode, 0) << run.output;
  };
  keys({"search", "--sync", "--onlyvisible", "--name", "notatka\\.ann", "windowactivate", "--sync"});
  // Opening speaks nothing; Ctrl+A reads the comment on the WAV device.
  EXPECT_EQ(WavDataBytes(wav), 0u);
  keys({"key", "--clearmodifiers", "ctrl+a"});
  ASSERT_TRUE(WaitUntil([&] { return WavDataBytes(wav) > 4000; }, 20s)) << "no speech in " << wav;
  // The reading ends: the file stops growing.
  std::size_t spoken = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::size_t before = WavDataBytes(wav);
        std::this_thread::sleep_for(400ms);
        spoken = WavDataBytes(wav);
        return spoken == before;
      },
      20s));

  // "P&arametry syntezy..." in the V&okar menu brings the server's window,
  // started minimised, to the screen.
  const auto serverShown = [&] {
    return Run({"xdotool", "search", "--onlyvisible", "--name", "^Vokar$"}).exitCode == 0;
  };
  EXPECT_FALSE(serverShown());
  keys({"key", "--clearmodifiers", "alt+o"});
  keys({"key", "--clearmodifiers", "a"});
  EXPECT_TRUE(WaitUntil(serverShown, 10s)) << "the server's window did not come up";
  // The server asks for the focus a moment after it comes up, and the window
  // manager may grant that after the editor got it back: the editor counts as
  // having the focus only when it still has it a little later.
  const auto editorKeepsFocus = [&] {
    if (Run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "notatka\\.ann", "windowactivate", "--sync"})
            .exitCode != 0)
      return false;
    std::this_thread::sleep_for(300ms);
    return Run({"xdotool", "getactivewindow", "getwindowname"}).output.find("notatka.ann") != std::string::npos;
  };
  ASSERT_TRUE(WaitUntil(editorKeepsFocus, 15s)) << "the editor did not keep the focus";

  // Typed at the end, with Polish letters and a second line, and saved. The
  // Polish layout has the letters on its keys (with the US one xdotool would
  // lend spare keycodes, and a letter may be read before the lent mapping).
  keys({"key", "--clearmodifiers", "ctrl+End"});
  {
    const auto layout = Run({"setxkbmap", "pl"});
    ASSERT_EQ(layout.exitCode, 0) << layout.output;
  }
  keys({"type", "--delay", "30", " Żółw śpi."});
  keys({"key", "--clearmodifiers", "Return"});
  keys({"type", "--delay", "30", "Koniec."});
  keys({"key", "--clearmodifiers", "ctrl+s"});
  // 12 + 10 + 2 + 7 = 31 bytes: Ż 0xAF, ó 0xF3, ł 0xB3, ś 0x9C in code page
  // 1250, the line break CR LF.
  const std::string expected = std::string("\x1F\0\0\0", 4) + "Ala ma kota. \xAF\xF3\xB3w \x9Cpi.\r\nKoniec.";
  const auto saved = [&] {
    std::ifstream in(comment, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  EXPECT_TRUE(WaitUntil([&] { return saved() == expected; }, 10s)) << saved();
  // Nothing is left beside the comment from the save.
  std::set<std::string> names;
  for (const auto& item : fs::directory_iterator(comment.parent_path())) names.insert(item.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"notatka.ann"}));

  // The edited comment is read again: the speech goes on in the same file.
  keys({"key", "--clearmodifiers", "ctrl+a"});
  EXPECT_TRUE(WaitUntil([&] { return WavDataBytes(wav) > spoken + 4000; }, 20s));

  // Closed by the window manager: the program ends well and remembers the file.
  keys({"search", "--sync", "--onlyvisible", "--name", "notatka\\.ann", "windowactivate", "--sync"});
  keys({"key", "--clearmodifiers", "alt+F4"});
  ASSERT_TRUE(WaitUntil([&] { return testing::ProcessGone(editor.pid()); }, 10s));
  const int status = editor.Stop(SIGKILL);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(world_.Messages().empty());
  EXPECT_EQ(registry::Profile("Quillmark", "Remarka").GetString("Recent File List", "File1", ""), comment.string());
}

TEST_F(RemarkaProcess, TheEditorWithTwoComments) {
  testing::XSession x(true);
  ASSERT_TRUE(x.ok());
  world_.Unset("QT_QPA_PLATFORM");
  const fs::path first = Comment("list.ann", "Szanowni Pa\xF1stwo,\r\nprosz\xEA o przeczytanie.");
  const fs::path second = Comment("uwaga.ann", "Zebranie w czwartek o 10:30.");
  testing::ChildProcess editor(VOKAR_REMARKA, {first.string()});
  const desktop::WindowHandle window = testing::WaitForWindow("Remarka", 20s);
  ASSERT_TRUE(window);
  ASSERT_TRUE(WaitUntilShown("^Remarka", 20s)) << "the editor's window did not come to the screen";
  ASSERT_EQ(Run({VOKAR_REMARKA, second.string()}).exitCode, 0);
  desktop::PostMessage(window, kWmCommand, kTileCommand, 0);
  // The screen holds more than a background: many colours of text and frames
  // (looked at again until the editor has drawn them).
  const fs::path shot = world_.folder() / "remarka.png";
  int colours = 0;
  std::string identified;
  WaitUntil(
      [&] {
        std::this_thread::sleep_for(300ms);
        if (Run({"import", "-window", "root", shot.string()}).exitCode != 0) return false;
        identified = Run({"identify", "-format", "%k", shot.string()}).output;
        colours = std::atoi(identified.c_str());
        return colours > 20;
      },
      15s);
  EXPECT_GT(colours, 20) << identified;
  if (const char* keep = std::getenv("VOKAR_SCREENSHOT_DIR")) fs::copy_file(shot, fs::path(keep) / "remarka-two-comments.png", fs::copy_options::overwrite_existing);
  desktop::PostMessage(window, kWmCommand, kExitCommand, 0);
  EXPECT_TRUE(WaitUntil([&] { return testing::ProcessGone(editor.pid()); }, 10s));
}

}  // namespace
}  // namespace vokar::comment
