// The hot-key library where there is no X11 display (the offscreen platform,
// as under Wayland): nothing can be registered, the list says "[brak]" but the
// user's stored keys survive the session; the key edit's capture rules; the
// playback refused with its message.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ActiveAppCapture.h"
#include "HotKeyList.h"
#include "HotKeyTable.h"
#include "HotKeyTestWindow.h"
#include "KeyPlayback.h"
#include "MessageBox.h"

namespace {

using namespace vokar::hotkey;
using vokar::testing::HotKeyTestWindow;
using vokar::testing::ServerActions;

class OffscreenApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "hotkey_offscreen_test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication> application_;
};
const auto* const kApplication = ::testing::AddGlobalTestEnvironment(new OffscreenApplication);

class HotKeyOffscreenTest : public vokar::testing::HotKeyStoreTest {
 protected:
  void Open() {
    window_ = std::make_unique<HotKeyTestWindow>();
    settings_ = std::make_unique<ProfileHotKeySettings>(profile_);
    list_ = std::make_unique<CHotKeyList>(window_.get(), ServerActions(), 0, *settings_);
    list_->Initialise(window_->list, window_->edit, window_->apply);
    window_->show();
  }
  void Close() {
    list_->End();
    list_.reset();
    window_.reset();
  }

  std::unique_ptr<HotKeyTestWindow> window_;
  std::unique_ptr<ProfileHotKeySettings> settings_;
  std::unique_ptr<CHotKeyList> list_;
};

TEST_F(HotKeyOffscreenTest, NothingRegisteredButTheStoredKeysStay) {
  ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
  EXPECT_FALSE(HotKeysAvailable());
  Store("ReadOrPauseFromClipboard", "cs116");
  Store("ReadOrPauseFromActiveApp", "C13");
  Open();
  EXPECT_EQ(list_->LoadAll(), 2) << "the refused one is not counted";
  EXPECT_EQ(window_->edit->text(), "[brak]");
  EXPECT_EQ(list_->DisplayName(0), "[brak]");
  EXPECT_FALSE(IsHotKeyRegistered(0));
  EXPECT_EQ(HotKeySlotAt(0).key, 0u);
  Close();
  // Written back as the user stored it, for the next session on X11.
  EXPECT_EQ(Stored("ReadOrPauseFromClipboard"), "cs116");
  // What could never be a hot key is not kept.
  EXPECT_EQ(Stored("ReadOrPauseFromActiveApp"), "");
  EXPECT_EQ(Stored("Break"), "");
}

TEST_F(HotKeyOffscreenTest, AKeyTheUserAppliesReplacesTheKeptOne) {
  Store("Break", "CS116");
  Open();
  window_->list->setCurrentRow(2);
  window_->edit->setFocus();
  QTest::keyClick(window_->edit, Qt::Key_F7, Qt::ControlModifier);
  EXPECT_EQ(window_->edit->text(), "Ctrl+F7");
  list_->Apply();
  EXPECT_EQ(window_->edit->text(), "[brak]") << "refused: no X11";
  Close();
  EXPECT_EQ(Stored("Break"), "");
}

struct CaptureCase {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  const char* shown;
};

TEST_F(HotKeyOffscreenTest, CaptureRules) {
  Open();
  window_->edit->setFocus();
  const CaptureCase cases[] = {
      {Qt::Key_F5, Qt::AltModifier, "[brak]"},  // Alt only with Ctrl
      {Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier, "Ctrl+Alt+F5"},
      {Qt::Key_F5, Qt::ShiftModifier | Qt::AltModifier, "[brak]"},
      {Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, "Ctrl+Shift+Alt+F5"},
      {Qt::Key_0, Qt::ControlModifier | Qt::KeypadModifier, "Ctrl+NumPad_0"},
      {Qt::Key_9, Qt::KeypadModifier, "NumPad_9"},
      {Qt::Key_0, Qt::ControlModifier, "Ctrl+0"},
      {Qt::Key_F24, Qt::NoModifier, "F24"},
      {Qt::Key_F1, Qt::NoModifier, "F1"},
      {Qt::Key_F25, Qt::NoModifier, "[brak]"},
      {Qt::Key_Minus, Qt::KeypadModifier, "Subtract"},
      {Qt::Key_Minus, Qt::NoModifier, "[brak]"},
      {Qt::Key_Asterisk, Qt::KeypadModifier, "Multiply"},
      {Qt::Key_Plus, Qt::KeypadModifier, "Add"},
      {Qt::Key_Slash, Qt::KeypadModifier, "Divide"},
      {Qt::Key_Period, Qt::KeypadModifier, "[brak]"},
      {Qt::Key_Insert, Qt::KeypadModifier, "Insert"},
      {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+A"},
      {Qt::Key_Z, Qt::NoModifier, "Z"},
      {Qt::Key_Backspace, Qt::NoModifier, "Back"},
      {Qt::Key_Tab, Qt::ControlModifier, "Ctrl+Tab"},
      {Qt::Key_Home, Qt::ShiftModifier, "Shift+Home"},
      {Qt::Key_Delete, Qt::NoModifier, "Delete"},
      {Qt::Key_Down, Qt::ControlModifier, "Ctrl+Down"},
      {Qt::Key_Shift, Qt::ShiftModifier, "[brak]"},  // a modifier alone clears
      {Qt::Key_Control, Qt::ControlModifier, "[brak]"},
      {Qt::Key_Return, Qt::NoModifier, "[brak]"},
      {Qt::Key_Space, Qt::ControlModifier, "[brak]"},
      {Qt::Key_PageUp, Qt::NoModifier, "[brak]"},
  };
  for (const CaptureCase& c : cases) {
    window_->apply->setEnabled(false);
    window_->edit->setText("?");
    QTest::keyClick(window_->edit, c.key, c.modifiers);
    EXPECT_EQ(window_->edit->text(), c.shown) << c.shown;
    EXPECT_TRUE(window_->apply->isEnabled()) << c.shown;
  }
  // An auto-repeated key changes nothing.
  window_->edit->setText("?");
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(window_->edit, &repeat);
  EXPECT_EQ(window_->edit->text(), "?");
  // Plain Tab moves on, for those who work by keyboard alone.
  window_->edit->setText("x");
  QTest::keyClick(window_->edit, Qt::Key_Tab);
  EXPECT_EQ(window_->edit->text(), "x");
  EXPECT_NE(QApplication::focusWidget(), window_->edit);
  Close();
}

TEST_F(HotKeyOffscreenTest, NoPlaybackWithoutX11) {
  const auto log = dir_ / "messages.log";
  ::setenv("VOKAR_MSGBOX_LOG", log.c_str(), 1);
  const vokar::x11::PlaybackKey keys[] = {{true, 0x41}, {false, 0x41}};
  EXPECT_FALSE(vokar::x11::PlaybackAvailable());
  EXPECT_FALSE(vokar::x11::PlayKeys(keys));
  int finished = 0;
  ActiveAppCapture capture([&](bool) { ++finished; });
  EXPECT_EQ(capture.Start(), 0);
  EXPECT_FALSE(capture.active());
  QTest::qWait(50);
  EXPECT_EQ(finished, 0);
  const auto messages = vokar::msgbox::ReadMessageLog(log);
  ::unsetenv("VOKAR_MSGBOX_LOG");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "UWAGA");
  EXPECT_EQ(messages[0].text, "JournalPlayback nie zainstalował się.");
  EXPECT_EQ(messages[0].buttons, "ok");
}

}  // namespace
