// The hot-key list on a real X server with a window manager: loading from the
// settings store, refusals, the key edit that suspends the hot keys and
// captures real key presses, the apply button, saving at the end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "HotKeyList.h"
#include "HotKeyTable.h"
#include "HotKeyTestWindow.h"
#include "VirtualKeys.h"
#include "support/QtOnX.h"
#include "support/XTestKeys.h"

namespace {

using namespace vokar::hotkey;
using vokar::testing::Grabber;
using vokar::testing::HotKeyTestWindow;
using vokar::testing::RunProgram;
using vokar::testing::ServerActions;
using vokar::testing::XTestKeys;

const auto* const kX = ::testing::AddGlobalTestEnvironment(new vokar::testing::QtOnX(true));

class HotKeyListTest : public vokar::testing::HotKeyStoreTest {
 protected:
  void Open() {
    window_ = std::make_unique<HotKeyTestWindow>();
    settings_ = std::make_unique<ProfileHotKeySettings>(profile_);
    list_ = std::make_unique<CHotKeyList>(window_.get(), ServerActions(), 0, *settings_);
    list_->Initialise(window_->list, window_->edit, window_->apply);
    ASSERT_TRUE(vokar::testing::ShowActive(window_.get()));
  }
  void Close() {
    list_->End();
    list_.reset();
    window_.reset();
  }
  void FocusEdit() {
    window_->edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == window_->edit; }, 3000));
  }
  // Keys typed with xdotool, then a moment for them to arrive.
  void Type(const std::string& keys) {
    ASSERT_EQ(RunProgram({"xdotool", "key", keys}), 0);
    QTest::qWait(150);
  }
  QString EditText() const { return window_->edit->text(); }

  std::unique_ptr<HotKeyTestWindow> window_;
  std::unique_ptr<ProfileHotKeySettings> settings_;
  std::unique_ptr<CHotKeyList> list_;
};

TEST_F(HotKeyListTest, LoadedPlacedPressedSavedAndReleased) {
  Store("ReadOrPauseFromClipboard", "CS116");
  Store("ReadOrPauseFromActiveApp", "sc116");  // the same combination again
  Store("Break", "C13");                       // Ctrl+Enter cannot be chosen
  Open();
  ASSERT_EQ(window_->list->count(), 3);
  EXPECT_EQ(window_->list->item(0)->text(), "Czytaj/Pauza ze schowka");
  EXPECT_EQ(window_->list->item(1)->text(), "Czytaj/Pauza z aplikacji");
  EXPECT_EQ(window_->list->item(2)->text(), "Przerwij");
  EXPECT_EQ(window_->list->currentRow(), 0);
  EXPECT_EQ(EditText(), "Ctrl+Shift+F5");
  EXPECT_TRUE(IsHotKeyRegistered(0));
  EXPECT_FALSE(IsHotKeyRegistered(1));
  EXPECT_FALSE(IsHotKeyRegistered(2));
  EXPECT_EQ(list_->Definition(1).key, 0u);
  EXPECT_EQ(list_->Definition(2).key, 0u);
  EXPECT_EQ(list_->DisplayName(1), "[brak]");
  EXPECT_EQ(FindHotKey(1, 1, 0, 116), 33010);

  // The hot key reaches the window whichever widget has the focus.
  Type("ctrl+shift+F5");
  window_->other->setFocus();
  Type("ctrl+shift+F5");
  EXPECT_EQ(window_->commands, (std::vector<int>{33010, 33010}));

  Close();
  EXPECT_EQ(Stored("ReadOrPauseFromClipboard"), "CS116");
  EXPECT_EQ(Stored("ReadOrPauseFromActiveApp"), "");
  EXPECT_EQ(Stored("Break"), "");
  EXPECT_FALSE(IsHotKeyRegistered(0));
  EXPECT_EQ(HotKeySlotAt(0).key, 0u);
  EXPECT_EQ(Grabber({"F5", "ctrl", "shift"}).answer(), "ready");  // really let go
}

TEST_F(HotKeyListTest, CombinationAnotherProgramHoldsIsEmptied) {
  Store("ReadOrPauseFromClipboard", "CS116");
  Store("Break", "C123");
  Grabber other({"F5", "ctrl", "shift"});
  ASSERT_EQ(other.answer(), "ready");
  Open();
  EXPECT_EQ(list_->LoadAll(), 2) << "loading again counts the placed ones";
  EXPECT_EQ(EditText(), "[brak]");
  EXPECT_EQ(list_->DisplayName(2), "Ctrl+F12");
  Close();
  EXPECT_EQ(Stored("ReadOrPauseFromClipboard"), "");
  EXPECT_EQ(Stored("ReadOrPauseFromActiveApp"), "");
  EXPECT_EQ(Stored("Break"), "C123");
}

TEST_F(HotKeyListTest, KeyEditCapturesWhileHotKeysWait) {
  Store("ReadOrPauseFromClipboard", "CS116");
  Open();
  window_->list->setCurrentRow(2);
  EXPECT_EQ(EditText(), "[brak]");
  FocusEdit();
  EXPECT_FALSE(IsHotKeyRegistered(0)) << "suspended while the edit has the focus";

  // Another action's combination: busy, and the window hears nothing.
  Type("ctrl+shift+F5");
  EXPECT_EQ(EditText(), "[zajęty]");
  EXPECT_FALSE(window_->apply->isEnabled());
  EXPECT_TRUE(window_->commands.empty());

  Type("alt+F5");
  EXPECT_EQ(EditText(), "[brak]");
  EXPECT_TRUE(window_->apply->isEnabled());
  Type("ctrl+shift+1");  // the key, not the "!" it types
  EXPECT_EQ(EditText(), "Ctrl+Shift+1");
  Type("ctrl+shift+a");
  EXPECT_EQ(EditText(), "Ctrl+Shift+A");
  Type("shift");
  EXPECT_EQ(EditText(), "[brak]");

  XTestKeys keys;
  keys.SetNumLock(true);
  keys.Chord({keys.Keycode(XK_Control_L), keys.Keycode(XK_KP_Insert)});
  QTest::qWait(150);
  EXPECT_EQ(EditText(), "Ctrl+NumPad_0");
  keys.SetNumLock(false);
  keys.Chord({keys.Keycode(XK_Control_L), keys.Keycode(XK_KP_Insert)});
  QTest::qWait(150);
  EXPECT_EQ(EditText(), "Ctrl+Insert");
  keys.Chord({keys.Keycode(XK_KP_Subtract)});
  QTest::qWait(150);
  EXPECT_EQ(EditText(), "Subtract");

  // (Ctrl+Alt+F1 to F12 never reach a program on X11: the server switches
  // consoles with them.)
  Type("ctrl+alt+Home");
  EXPECT_EQ(EditText(), "Ctrl+Alt+Home");
  EXPECT_EQ(window_->edit->selectedText(), "Ctrl+Alt+Home");
  QTest::mouseClick(window_->apply, Qt::LeftButton);
  EXPECT_TRUE(IsHotKeyRegistered(0)) << "resumed when the edit lost the focus";
  EXPECT_TRUE(IsHotKeyRegistered(2));
  EXPECT_EQ(FindHotKey(1, 0, 1, 36), 33012);

  Type("ctrl+alt+Home");
  Type("ctrl+shift+F5");
  EXPECT_EQ(window_->commands, (std::vector<int>{33012, 33010}));

  // The row's own combination is not busy.
  window_->list->setCurrentRow(0);
  EXPECT_EQ(EditText(), "Ctrl+Shift+F5");
  FocusEdit();
  Type("ctrl+shift+F5");
  EXPECT_EQ(EditText(), "Ctrl+Shift+F5");
  EXPECT_TRUE(window_->apply->isEnabled());

  Close();
  EXPECT_EQ(Stored("ReadOrPauseFromClipboard"), "CS116");
  EXPECT_EQ(Stored("Break"), "CA36");
}

TEST_F(HotKeyListTest, ApplyThatTheSystemRefusesShowsNone) {
  Open();
  window_->list->setCurrentRow(1);
  FocusEdit();
  Type("ctrl+F9");
  EXPECT_EQ(EditText(), "Ctrl+F9");
  // Another program takes it before the user applies it.
  Grabber other({"F9", "ctrl"});
  ASSERT_EQ(other.answer(), "ready");
  QTest::mouseClick(window_->apply, Qt::LeftButton);
  EXPECT_EQ(EditText(), "[brak]");
  EXPECT_EQ(list_->Definition(1).key, 0u);
  EXPECT_FALSE(IsHotKeyRegistered(1));
  Close();
  EXPECT_EQ(Stored("ReadOrPauseFromActiveApp"), "");
}

TEST_F(HotKeyListTest, WindowWithAHandlerInsteadOfItsOwnEvent) {
  QObject window;
  std::vector<int> heard;
  OnHotKey(&window, [&](int command) { heard.push_back(command); });
  HotKeyDef def;
  def.window = &window;
  def.SetCombination({0, 1, 0, vokar::x11::vk::kF1 + 1});  // Shift+F2
  def.command = 33021;
  ASSERT_TRUE(PlaceHotKey(21, def));
  Type("shift+F2");
  Type("F2");
  EXPECT_EQ(heard, std::vector<int>{33021});
  RemoveHotKey(21);
}

TEST_F(HotKeyListTest, TableOfLiveAndDeadWindows) {
  auto window = std::make_unique<QObject>();
  HotKeyDef def;
  def.window = window.get();
  def.SetCombination({1, 0, 0, 'Q'});
  def.command = 4242;
  EXPECT_FALSE(PlaceHotKey(30, def));
  EXPECT_FALSE(PlaceHotKey(-1, def));
  ASSERT_TRUE(PlaceHotKey(29, def));
  EXPECT_TRUE(IsHotKeyRegistered(29));
  EXPECT_EQ(FindHotKey(1, 0, 0, 'Q'), 4242);
  EXPECT_EQ(FindHotKey(1, 1, 0, 'Q'), 0);
  EXPECT_EQ(FindHotKey(1, 0, 0, 'W'), 0);

  // The same combination in a second slot is refused; the slot keeps its
  // window and command but not the combination.
  def.command = 4343;
  EXPECT_FALSE(PlaceHotKey(28, def));
  EXPECT_EQ(HotKeySlotAt(28).key, 0u);
  EXPECT_EQ(HotKeySlotAt(28).command, 4343);

  // An incomplete slot is kept without registering.
  def.command = 0;
  def.SetCombination({1, 0, 0, 'R'});
  EXPECT_TRUE(PlaceHotKey(27, def));
  EXPECT_FALSE(IsHotKeyRegistered(27));
  EXPECT_EQ(HotKeySlotAt(27).key, static_cast<unsigned>('R'));

  SuspendAllHotKeys();
  EXPECT_FALSE(IsHotKeyRegistered(29));
  EXPECT_EQ(HotKeySlotAt(29).key, static_cast<unsigned>('Q'));
  EXPECT_EQ(Grabber({"q", "ctrl"}).answer(), "ready");
  ResumeAllHotKeys();
  EXPECT_TRUE(IsHotKeyRegistered(29));

  // A window that dies lets its hot keys go; find clears its slot.
  window.reset();
  EXPECT_FALSE(IsHotKeyRegistered(29));
  EXPECT_EQ(Grabber({"q", "ctrl"}).answer(), "ready");
  EXPECT_EQ(FindHotKey(1, 0, 0, 'Q'), 0);
  EXPECT_EQ(HotKeySlotAt(29).key, 0u);
  EXPECT_EQ(HotKeySlotAt(29).command, 0);

  RemoveHotKey(27);
  EXPECT_EQ(HotKeySlotAt(27).key, 0u);
}

}  // namespace
