// Global hot keys on a real X server (Xvfb started by the test): grabs that
// work in every lock state, refusals when another program holds the
// combination, the keypad under NumLock, and keys that a later keyboard
// mapping brings.
#include <gtest/gtest.h>
#include <stdio.h>

#include <QApplication>
#include <QTest>
#include <vector>

#include "GlobalHotKeys.h"
#include "VirtualKeys.h"
#include "support/QtOnX.h"
#include "support/XTestKeys.h"

namespace {

using namespace vokar::x11;
using vokar::testing::Grabber;
using vokar::testing::RunProgram;
using vokar::testing::SpawnedProgram;
using vokar::testing::XTestKeys;

const auto* const kX = ::testing::AddGlobalTestEnvironment(new vokar::testing::QtOnX());

class GlobalHotKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GlobalHotKeys::Instance().SetHandler([this](int id) { pressed_.push_back(id); });
  }
  void TearDown() override {
    for (int id = 0; id < 40; ++id) GlobalHotKeys::Instance().Unregister(id);
    GlobalHotKeys::Instance().SetHandler({});
  }

  // Waits until n presses arrived, then a little longer so that a press too
  // many shows too.
  std::vector<int> Presses(std::size_t n) {
    (void)QTest::qWaitFor([&] { return pressed_.size() >= n; }, 3000);
    QTest::qWait(50);
    std::vector<int> result;
    result.swap(pressed_);
    return result;
  }

  std::vector<int> pressed_;
};

TEST_F(GlobalHotKeysTest, CtrlShiftF5InEveryLockState) {
  ASSERT_TRUE(GlobalHotKeys::Instance().Available());
  ASSERT_TRUE(GlobalHotKeys::Instance().Register(7, {true, true, false, 0x74}));
  XTestKeys keys;
  ASSERT_TRUE(keys.ok());
  for (bool numLock : {false, true}) {
    for (bool capsLock : {false, true}) {
      keys.SetNumLock(numLock);
      keys.SetCapsLock(capsLock);
      ASSERT_EQ(keys.NumLockOn(), numLock);
      ASSERT_EQ(keys.CapsLockOn(), capsLock);
      ASSERT_EQ(RunProgram({"xdotool", "key", "ctrl+shift+F5"}), 0);
      EXPECT_EQ(Presses(1), std::vector<int>{7}) << "NumLock " << numLock << ", CapsLock " << capsLock;
    }
  }
  keys.SetNumLock(false);
  keys.SetCapsLock(false);
  // Other modifiers are other combinations.
  ASSERT_EQ(RunProgram({"xdotool", "key", "F5", "ctrl+F5", "ctrl+alt+shift+F5", "ctrl+shift+F6"}), 0);
  ASSERT_EQ(RunProgram({"xdotool", "key", "ctrl+shift+F5"}), 0);
  EXPECT_EQ(Presses(1), std::vector<int>{7});
}

TEST_F(GlobalHotKeysTest, RefusedWhileAnotherProgramHoldsIt) {
  {
    Grabber other({"F6", "ctrl"});
    ASSERT_EQ(other.answer(), "ready");
    EXPECT_FALSE(GlobalHotKeys::Instance().Register(1, {true, false, false, 0x75}));
    EXPECT_FALSE(GlobalHotKeys::Instance().IsRegistered(1));
    // Other modifiers with the same key are free.
    EXPECT_TRUE(GlobalHotKeys::Instance().Register(2, {true, true, false, 0x75}));
  }
  // Once the other program is gone the combination can be had.
  EXPECT_TRUE(GlobalHotKeys::Instance().Register(1, {true, false, false, 0x75}));
  ASSERT_EQ(RunProgram({"xdotool", "key", "ctrl+F6", "ctrl+shift+F6"}), 0);
  EXPECT_EQ(Presses(2), (std::vector<int>{1, 2}));
}

TEST_F(GlobalHotKeysTest, OnceInAProgramAndReallyReleased) {
  ASSERT_TRUE(GlobalHotKeys::Instance().Register(1, {true, false, true, 'K'}));
  EXPECT_FALSE(GlobalHotKeys::Instance().Register(2, {true, false, true, 'K'}));
  // While we hold it, nobody else can.
  EXPECT_EQ(Grabber({"k", "ctrl", "alt"}).answer(), "refused");
  GlobalHotKeys::Instance().Unregister(1);
  EXPECT_EQ(Grabber({"k", "ctrl", "alt"}).answer(), "ready");
  EXPECT_TRUE(GlobalHotKeys::Instance().Register(2, {true, false, true, 'K'}));
  // Registering a number again replaces its combination.
  EXPECT_TRUE(GlobalHotKeys::Instance().Register(2, {true, false, true, 'L'}));
  EXPECT_EQ(Grabber({"k", "ctrl", "alt"}).answer(), "ready");
  EXPECT_EQ(Grabber({"l", "ctrl", "alt"}).answer(), "refused");
}

TEST_F(GlobalHotKeysTest, RefusedForKeysWithoutKeysyms) {
  EXPECT_FALSE(GlobalHotKeys::Instance().Register(1, {true, false, false, 0}));
  EXPECT_FALSE(GlobalHotKeys::Instance().Register(1, {true, false, false, 0x07}));
  EXPECT_FALSE(GlobalHotKeys::Instance().Register(1, {true, false, false, 0x88}));  // past F24
  EXPECT_TRUE(GlobalHotKeys::Instance().Register(1, {true, false, false, 0x87}));   // F24
}

TEST_F(GlobalHotKeysTest, KeypadFollowsNumLock) {
  ASSERT_TRUE(GlobalHotKeys::Instance().Register(1, {true, false, false, vk::kNumpad0}));
  ASSERT_TRUE(GlobalHotKeys::Instance().Register(2, {true, false, false, vk::kInsert}));
  ASSERT_TRUE(GlobalHotKeys::Instance().Register(3, {false, false, false, vk::kSubtract}));
  XTestKeys keys;
  const KeyCode ctrl = keys.Keycode(XK_Control_L);
  const KeyCode keypad0 = keys.Keycode(XK_KP_Insert);
  const KeyCode insert = keys.Keycode(XK_Insert);
  const KeyCode keypadMinus = keys.Keycode(XK_KP_Subtract);
  ASSERT_NE(keypad0, insert);

  keys.SetNumLock(true);
  keys.Chord({ctrl, keypad0});
  EXPECT_EQ(Presses(1), std::vector<int>{1});
  keys.Chord({ctrl, insert});
  EXPECT_EQ(Presses(1), std::vector<int>{2});
  keys.Chord({keypadMinus});
  EXPECT_EQ(Presses(1), std::vector<int>{3});

  keys.SetNumLock(false);
  keys.Chord({ctrl, keypad0});  // now the keypad's Insert
  EXPECT_EQ(Presses(1), std::vector<int>{2});
  keys.Chord({keypadMinus});
  EXPECT_EQ(Presses(1), std::vector<int>{3});
}

TEST_F(GlobalHotKeysTest, KeyThatAMappingBringsLater) {
  XTestKeys keys;
  // F13 has no key in the default mapping; registering it still succeeds.
  ASSERT_EQ(keys.Keycode(XK_F13), 0);
  ASSERT_TRUE(GlobalHotKeys::Instance().Register(5, {false, true, false, 0x7C}));
  ASSERT_EQ(RunProgram({"xmodmap", "-e", "keycode 191 = F13"}), 0);
  // The grab follows the mapping once the program has read it (a moment
  // after the server's notice).
  QTest::qWait(500);
  EXPECT_EQ(Grabber({"F13", "shift"}).answer(), "refused");
  const KeyCode shift = keys.Keycode(XK_Shift_L);
  keys.Chord({shift, 191});
  EXPECT_EQ(Presses(1), std::vector<int>{5});
}

}  // namespace
