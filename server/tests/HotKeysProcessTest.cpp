// The server's three hot keys in a real X session (Xvfb with openbox), with
// the real vokar on the WAV device: the clipboard read by its hot key in any
// lock state, a combination another program holds, the whole text of another
// application read by its hot key, and the break hot key, which does nothing
// while the server's own key field has the focus.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Cp1250.h"
#include "Registry.h"
#include "support/ServerFixture.h"
#include "support/XSession.h"
#include "support/XTestKeys.h"
#include "WakeWindowManager.h"

// Xlib's macro would rename the DDE client's Status().
#undef Status

namespace {

using namespace vokar;
using namespace vokar::servertest;
using vokar::testing::Grabber;
using vokar::testing::RunProgram;
using vokar::testing::SpawnedProgram;
using vokar::testing::WakeWindowManager;
using vokar::testing::XTestKeys;

// The samples of a WAV file (the bytes of its data chunk).
std::string WavSamples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const auto size = static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 4])) |
                      static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 5])) << 8 |
                      static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 6])) << 16 |
                      static_cast<std::size_t>(static_cast<unsigned char>(bytes[pos + 7])) << 24;
    if (bytes.compare(pos, 4, "data") == 0) return bytes.substr(pos + 8, size);
    pos += 8 + size + (size & 1);
  }
  return {};
}

class HotKeysProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "Xvfb or openbox did not start";
    SetEnv("QT_QPA_PLATFORM", "xcb");
  }
  void TearDown() override {
    if (server_ && server_->Running()) Stop();
  }

  void StoreHotKey(std::string_view name, std::string_view text) {
    auto key = registry::Key::Create(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\HotKeys");
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(key->Set(name, std::string(text)).ok());
  }
  std::string StoredHotKey(std::string_view name) {
    auto key = registry::Key::Open(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\HotKeys");
    if (!key) return "<no key>";
    auto value = key->Query(name);
    if (!value) return "<none>";
    if (const auto* text = std::get_if<std::string>(&*value)) return *text;
    return "<number>";
  }

  void Start() {
    server_ = world_.StartServer({"/L-"});
    ASSERT_TRUE(WaitUntil([] { return static_cast<bool>(desktop::FindWindow("Vokar")); }, 10s))
        << world_.ServerOutput();
    ASSERT_TRUE(client_.Connect()) << world_.ServerOutput();
  }
  int Stop() {
    server_->Signal(SIGTERM);
    return server_->Wait(10s);
  }

  // What vksay writes for the same text: the samples the server must play.
  std::string ExpectedSamples(const std::string& utf8Text) {
    const auto file = world_.folder() / "expected.wav";
    const auto [code, output] = world_.RunTool(VKSAY_PATH, {"-o", file.string(), utf8Text});
    EXPECT_EQ(code, 0) << output;
    return WavSamples(file);
  }

  // Waits for a reading to start and to end.
  void WaitForReading(std::chrono::milliseconds toStart = 5s) {
    ASSERT_TRUE(client_.WaitForStatus(1, toStart)) << "no reading started";
    ASSERT_TRUE(client_.WaitForStatus(2, 30s)) << "the reading did not end";
  }

  void Key(const std::string& keys) { ASSERT_EQ(RunProgram({"xdotool", "key", keys}), 0) << keys; }

  ServerWorld world_;
  vokar::testing::XSession x_{true};
  DdeClient client_;
  std::unique_ptr<Process> server_;
};

TEST_F(HotKeysProcess, ClipboardHotKeyWithNumLockOn) {
  const std::string text = "Zażółć gęślą jaźń. Ala ma kota.";
  StoreHotKey("ReadOrPauseFromClipboard", "CS116");
  const auto textFile = world_.folder() / "clipboard.txt";
  std::ofstream(textFile) << text;
  SpawnedProgram owner({"xclip", "-selection", "clipboard", "-quiet", textFile.string()});
  Start();
  XTestKeys keys;
  keys.SetNumLock(true);
  ASSERT_TRUE(keys.NumLockOn());
  Key("ctrl+shift+F5");
  WaitForReading();
  const std::string samples = WavSamples(world_.Wav());
  EXPECT_GT(samples.size(), 1000u);
  EXPECT_EQ(samples, ExpectedSamples(text)) << "not the clipboard's text";
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(StoredHotKey("ReadOrPauseFromClipboard"), "CS116");
}

TEST_F(HotKeysProcess, CombinationAnotherProgramHoldsIsEmptied) {
  StoreHotKey("ReadOrPauseFromClipboard", "CS116");
  StoreHotKey("Break", "C123");
  Grabber other({"F5", "ctrl", "shift"});
  ASSERT_EQ(other.answer(), "ready");
  Start();
  // The press goes to the program that holds it; the server reads nothing.
  SpawnedProgram owner({"xclip", "-selection", "clipboard", "-quiet", "/etc/hostname"});
  Key("ctrl+shift+F5");
  desktop::PumpMessages(500ms);
  EXPECT_EQ(client_.Status(), 2);
  EXPECT_EQ(world_.WavBytes(), 0u);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(StoredHotKey("ReadOrPauseFromClipboard"), "");
  EXPECT_EQ(StoredHotKey("ReadOrPauseFromActiveApp"), "");
  EXPECT_EQ(StoredHotKey("Break"), "C123");
}

TEST_F(HotKeysProcess, ActiveApplicationTextReadWhole) {
  const std::string text = "W Szczebrzeszynie chrząszcz brzmi w trzcinie.\nDruga linia: żółw, źdźbło, gęś.";
  StoreHotKey("ReadOrPauseFromActiveApp", "CS117");
  // The clipboard holds something else before: that must not be read.
  SpawnedProgram owner({"xclip", "-selection", "clipboard", "-quiet", "/etc/hostname"});
  Start();
  const auto textFile = world_.folder() / "notes.txt";
  std::ofstream(textFile) << text;
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  SpawnedProgram notes({HOTKEY_TEXTWINDOW_PATH, textFile.string()}, fds[1]);
  ::close(fds[1]);
  std::string line;
  char c = 0;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(fds[0]);
  ASSERT_EQ(line.rfind("ready ", 0), 0u) << "the other application did not come up";

  Key("ctrl+shift+F6");
  WaitForReading();
  EXPECT_EQ(WavSamples(world_.Wav()), ExpectedSamples(text)) << "not the other application's text";
  EXPECT_EQ(Stop(), 0);
}

// Lines a program writes on a pipe, read with a timeout.
class LineReader {
 public:
  LineReader() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~LineReader() {
    for (int fd : fds_)
      if (fd >= 0) ::close(fd);
  }
  int writeEnd() const { return fds_[1]; }
  // The writer has it now: our copy of its end goes.
  void CloseWriteEnd() {
    ::close(fds_[1]);
    fds_[1] = -1;
  }
  // The next line, or "" when none came in time.
  std::string Next(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (const auto end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return {};
      pollfd entry{fds_[0], POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[256];
      const ssize_t got = ::read(fds_[0], buffer, sizeof buffer);
      if (got <= 0) return {};
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
  }

 private:
  int fds_[2];
  std::string pending_;
};

// An editor that keeps the clipboard it owns (as Tk does) gets no new owner
// when it copies again: each press of the hot key still reads its text as it
// is now, the same text twice included; where nothing is copied, nothing is
// read, and the clipboard keeps what it held.
TEST_F(HotKeysProcess, AnEditorThatKeepsTheClipboardIsReadAtEveryPress) {
  StoreHotKey("ReadOrPauseFromActiveApp", "CS117");
  const auto textFile = world_.folder() / "notatnik.txt";
  const std::string first = "Pierwszy tekst notatnika.";
  std::ofstream(textFile) << first;
  // The server first: the editor comes up after it and takes the focus.
  Start();
  LineReader editorSays;
  SpawnedProgram editor({HOTKEY_KEEPOWNER_PATH, textFile.string(), "stary schowek"}, editorSays.writeEnd());
  editorSays.CloseWriteEnd();
  ASSERT_EQ(editorSays.Next(10s).rfind("ready ", 0), 0u) << "the editor did not come up";

  // The first press: the editor's text, although it owned the clipboard
  // before and sets no new owner of its own accord.
  std::size_t heard = 0;
  auto pressAndHear = [&](const std::string& text) {
    Key("ctrl+shift+F6");
    WaitForReading();
    const std::string samples = WavSamples(world_.Wav());
    ASSERT_GT(samples.size(), heard);
    EXPECT_EQ(samples.substr(heard), ExpectedSamples(text)) << "not the editor's text: " << text;
    heard = samples.size();
  };
  pressAndHear(first);
  EXPECT_EQ(editorSays.Next(3s), "claimed");
  // Its text changes; the next copy leaves it the owner as before.
  const std::string second = "Drugi tekst, zupełnie inny.";
  std::ofstream(textFile, std::ios::trunc) << second;
  pressAndHear(second);
  // The same text once more is read once more.
  pressAndHear(second);
  EXPECT_EQ(Stop(), 0);
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(HotKeysProcess, WhereNothingIsCopiedTheOldClipboardIsNeitherReadNorLost) {
  StoreHotKey("ReadOrPauseFromActiveApp", "CS117");
  const auto textFile = world_.folder() / "notatnik.txt";
  std::ofstream(textFile) << "Tekst, którego nikt nie skopiuje.";
  Start();
  LineReader editorSays;
  SpawnedProgram editor({HOTKEY_KEEPOWNER_PATH, textFile.string(), "stary schowek", "--no-copy"},
                        editorSays.writeEnd());
  editorSays.CloseWriteEnd();
  ASSERT_EQ(editorSays.Next(10s).rfind("ready ", 0), 0u) << "the editor did not come up";
  Key("ctrl+shift+F6");
  // The capture waits a second for the copy; then nothing is read.
  desktop::PumpMessages(2500ms);
  EXPECT_EQ(client_.Status(), 2);
  EXPECT_EQ(world_.WavBytes(), 0u);
  // The clipboard still offers what it held.
  const auto out = world_.folder() / "clip.txt";
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  {
    SpawnedProgram xclip({"xclip", "-o", "-selection", "clipboard"}, fd);
    xclip.Wait();
  }
  ::close(fd);
  std::ifstream in(out);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "stary schowek");
  EXPECT_EQ(Stop(), 0);
}

TEST_F(HotKeysProcess, BreakHotKeyButNotWhileTheKeyFieldHasTheFocus) {
  StoreHotKey("Break", "C123");
  std::string longText;
  for (int i = 0; i < 10; ++i) longText += "Raz. Dwa. Trzy. Cztery. ";
  Start();

  ASSERT_TRUE(client_.Poke(cp1250::FromUtf8(longText)));
  ASSERT_TRUE(client_.Execute("read"));
  ASSERT_TRUE(client_.WaitForStatus(1, 2s));

  // The user goes into the server's key field (Alt+M, "Ko&mbinacja:") while
  // it reads: Ctrl+F12 there is a key to capture, not a break.
  // The server's window is on the screen first (the window manager woken
  // while the test waits for it), then made the active one.
  ASSERT_TRUE(WaitUntil(
      [] {
        WakeWindowManager();
        return RunProgram({"xdotool", "search", "--onlyvisible", "--name", "^Vokar$"}) == 0;
      },
      10s))
      << "the server's window did not come to the screen";
  ASSERT_EQ(RunProgram({"xdotool", "search", "--onlyvisible", "--name", "^Vokar$", "windowactivate", "--sync"}), 0);
  Key("alt+m");
  // The server lets go of its hot keys when the field gets the focus (another
  // program can then take the combination for a moment).
  ASSERT_TRUE(WaitUntil([] { return Grabber({"F12", "ctrl"}).answer() == "ready"; }, 3s));
  Key("ctrl+F12");
  desktop::PumpMessages(600ms);
  EXPECT_EQ(client_.Status(), 1) << "the break hot key acted while the key field had the focus";

  // Out of the field, the hot key breaks the reading at once.
  // (A probe must not take the combination while the server takes it back,
  // so it looks once, after a moment.)
  Key("Tab");
  desktop::PumpMessages(300ms);
  ASSERT_EQ(Grabber({"F12", "ctrl"}).answer(), "refused") << "the hot key was not taken back";
  const std::size_t before = world_.WavBytes();
  Key("ctrl+F12");
  EXPECT_TRUE(client_.WaitForStatus(2, 1s));
  EXPECT_GT(world_.WavBytes(), before);
  EXPECT_LT(WavSamples(world_.Wav()).size(), ExpectedSamples(longText).size() / 2);
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(StoredHotKey("Break"), "C123");
}

}  // namespace
