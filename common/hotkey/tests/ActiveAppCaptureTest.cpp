// Copying the whole text of the window with the focus by played-back keys, on
// a real X server with a window manager: the text arrives in the clipboard
// whole, even while the user still holds the hot key, and the owner hears
// only of a copy that really happened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ActiveAppCapture.h"
#include "HotKeyTable.h"
#include "support/QtOnX.h"
#include "support/XTestKeys.h"

namespace {

using namespace vokar::hotkey;
using vokar::testing::XTestKeys;

const auto* const kX = ::testing::AddGlobalTestEnvironment(new vokar::testing::QtOnX(true));

const QString kText = QStringLiteral(
    "Zażółć gęślą jaźń.\nW Szczebrzeszynie chrząszcz brzmi w trzcinie\ni Szczebrzeszyn z tego słynie.");

// A window with a text and a button; it starts a capture when its hot key
// comes, as the server's window does.
class TextWindow : public QWidget {
 public:
  TextWindow() : capture([this](bool copied) { results.push_back(copied); }) {
    auto* layout = new QVBoxLayout(this);
    text = new QPlainTextEdit(kText, this);
    button = new QPushButton("&Testuj", this);
    layout->addWidget(text);
    layout->addWidget(button);
    resize(500, 300);
  }

  ActiveAppCapture capture;
  std::vector<bool> results;
  QPlainTextEdit* text;
  QPushButton* button;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == HotKeyEvent::type()) {
      capture.Start();
      return true;
    }
    return QWidget::event(event);
  }
};

class ActiveAppCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QGuiApplication::clipboard()->setText(QStringLiteral("stary schowek"));
    ASSERT_TRUE(vokar::testing::ShowActive(&window_));
    window_.text->setFocus();
    QTextCursor cursor = window_.text->textCursor();
    cursor.setPosition(25);  // somewhere in the middle
    window_.text->setTextCursor(cursor);
  }
  void TearDown() override { RemoveHotKey(0); }

  bool WaitForResult() {
    return QTest::qWaitFor([&] { return !window_.results.empty(); }, ActiveAppCapture::kCopyWaitMs + 2000);
  }

  TextWindow window_;
};

TEST_F(ActiveAppCaptureTest, ScriptOfTwentyOneKeys) {
  const auto script = ActiveAppCapture::Script();
  ASSERT_EQ(script.size(), 21u);
  // Let go of Shift, Ctrl, Alt; Ctrl+Home; Ctrl+Shift+End; Ctrl+Insert; Ctrl+Home.
  const std::pair<bool, unsigned> expected[] = {
      {false, 0x10}, {false, 0x11}, {false, 0x12}, {true, 0x11},  {true, 0x24},  {false, 0x24}, {false, 0x11},
      {true, 0x11},  {true, 0x10},  {true, 0x23},  {false, 0x23}, {false, 0x10}, {false, 0x11}, {true, 0x11},
      {true, 0x2D},  {false, 0x2D}, {false, 0x11}, {true, 0x11},  {true, 0x24},  {false, 0x24}, {false, 0x11}};
  for (std::size_t i = 0; i < script.size(); ++i) {
    EXPECT_EQ(script[i].press, expected[i].first) << i;
    EXPECT_EQ(script[i].virtualKey, expected[i].second) << i;
  }
}

TEST_F(ActiveAppCaptureTest, WholeTextCopiedAndSelectionGone) {
  ASSERT_TRUE(vokar::x11::PlaybackAvailable());
  EXPECT_EQ(window_.capture.Start(), 1);
  EXPECT_TRUE(window_.capture.active());
  ASSERT_TRUE(WaitForResult());
  EXPECT_EQ(window_.results, std::vector<bool>{true});
  EXPECT_FALSE(window_.capture.active());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), kText);
  EXPECT_EQ(window_.text->textCursor().position(), 0);
  EXPECT_FALSE(window_.text->textCursor().hasSelection());
}

TEST_F(ActiveAppCaptureTest, FromTheHotKeyWhileTheUserStillHoldsIt) {
  HotKeyDef def;
  def.window = &window_;
  def.SetCombination({1, 1, 0, 116});
  def.command = 33011;
  ASSERT_TRUE(PlaceHotKey(0, def));
  // Ctrl (right) + Shift + F5 go down and stay down until the copy is done:
  // the keyboard grab and the held keys must not spoil the keys played.
  XTestKeys keys;
  const KeyCode held[] = {keys.Keycode(XK_Control_R), keys.Keycode(XK_Shift_L), keys.Keycode(XK_F5)};
  for (KeyCode keycode : held) keys.Down(keycode);
  const bool finished = WaitForResult();
  for (KeyCode keycode : held) keys.Up(keycode);
  ASSERT_TRUE(finished);
  EXPECT_EQ(window_.results, std::vector<bool>{true});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), kText);
  EXPECT_FALSE(window_.text->textCursor().hasSelection());
}

TEST_F(ActiveAppCaptureTest, NothingCopiedIsSaidAfterTheWait) {
  window_.button->setFocus();  // a button copies nothing
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(window_.capture.Start(), 1);
  ASSERT_TRUE(WaitForResult());
  EXPECT_EQ(window_.results, std::vector<bool>{false});
  EXPECT_GE(timer.elapsed(), ActiveAppCapture::kCopyWaitMs - 50);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "stary schowek");
}

TEST_F(ActiveAppCaptureTest, AChangeStillOnItsWayIsNotTheCopy) {
  // The clipboard changed just before the keys went out; its notice arrives
  // while the capture waits, but nothing copies after the keys.
  window_.button->setFocus();
  QGuiApplication::clipboard()->setText(QStringLiteral("zmiana sprzed chwili"));
  EXPECT_EQ(window_.capture.Start(), 1);
  ASSERT_TRUE(WaitForResult());
  EXPECT_EQ(window_.results, std::vector<bool>{false});
}

TEST_F(ActiveAppCaptureTest, ASecondStartDropsTheFirst) {
  window_.button->setFocus();
  EXPECT_EQ(window_.capture.Start(), 1);
  window_.text->setFocus();
  EXPECT_EQ(window_.capture.Start(), 1);
  ASSERT_TRUE(WaitForResult());
  QTest::qWait(ActiveAppCapture::kCopyWaitMs + 200);
  EXPECT_EQ(window_.results, std::vector<bool>{true}) << "one answer, for the second start";
  EXPECT_EQ(QGuiApplication::clipboard()->text(), kText);
  window_.capture.Cancel();
}

// Another application that keeps the clipboard it owns when it copies again,
// as Tk does: its copy brings no new owner of its own accord, and is seen all
// the same, each time; where it copies nothing, its old clipboard is kept.
class KeepingEditor {
 public:
  KeepingEditor(const std::string& text, bool copies) {
    std::ofstream(textFile_, std::ios::binary) << text;
    const int fd = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<std::string> argv{HOTKEY_KEEPOWNER_PATH, textFile_.string(), "schowek edytora"};
    if (!copies) argv.push_back("--no-copy");
    program_.Start(argv, fd);
    ::close(fd);
  }
  ~KeepingEditor() {
    program_.Stop();
    std::filesystem::remove(textFile_);
    std::filesystem::remove(output_);
  }
  bool WaitReady() {
    return QTest::qWaitFor([&] { return Output().rfind("ready ", 0) == 0; }, 10000);
  }
  void SetText(const std::string& text) { std::ofstream(textFile_, std::ios::binary | std::ios::trunc) << text; }
  std::string Output() const {
    std::ifstream in(output_);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path textFile_ =
      std::filesystem::temp_directory_path() / ("keepowner-" + std::to_string(::getpid()) + ".txt");
  std::filesystem::path output_ =
      std::filesystem::temp_directory_path() / ("keepowner-" + std::to_string(::getpid()) + ".out");
  vokar::testing::SpawnedProgram program_;
};

TEST_F(ActiveAppCaptureTest, AnEditorThatKeepsTheClipboardIsSeenToCopyEachTime) {
  KeepingEditor editor("Pierwszy tekst.", true);
  ASSERT_TRUE(editor.WaitReady()) << editor.Output();
  EXPECT_EQ(window_.capture.Start(), 1);
  ASSERT_TRUE(WaitForResult());
  EXPECT_EQ(window_.results, std::vector<bool>{true});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Pierwszy tekst."));
  // The editor owns the clipboard again now; its next copy would set no
  // owner by itself.
  editor.SetText("Drugi tekst, zmieniony.");
  window_.results.clear();
  EXPECT_EQ(window_.capture.Start(), 1);
  ASSERT_TRUE(WaitForResult());
  EXPECT_EQ(window_.results, std::vector<bool>{true});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Drugi tekst, zmieniony."));
}

TEST_F(ActiveAppCaptureTest, WhereTheEditorCopiesNothingItsClipboardIsKeptAndNoCopySaid) {
  KeepingEditor editor("Tekst.", false);
  ASSERT_TRUE(editor.WaitReady()) << editor.Output();
  EXPECT_EQ(window_.capture.Start(), 1);
  ASSERT_TRUE(WaitForResult());
  EXPECT_EQ(window_.results, std::vector<bool>{false});
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("schowek edytora"));
}

}  // namespace
