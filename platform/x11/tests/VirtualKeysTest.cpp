// The table of virtual keys and X11 keysyms. Keysym numbers are written out
// as X11 defines them, so the table is checked against the X11 numbering and
// not against itself.
#include <gtest/gtest.h>

#include "VirtualKeys.h"

namespace {

using namespace vokar::x11;

struct KeysymCase {
  unsigned virtualKey;
  std::uint32_t keysym;
};

TEST(VirtualKeys, KeysymsBackToVirtualKeys) {
  const KeysymCase cases[] = {
      {0x41, 0x0061},   // a
      {0x41, 0x0041},   // A
      {0x5A, 0x007a},   // z
      {0x30, 0x0030},   // 0
      {0x39, 0x0039},   // 9
      {0x70, 0xffbe},   // F1
      {0x74, 0xffc2},   // F5
      {0x7C, 0xffca},   // F13
      {0x87, 0xffd5},   // F24
      {0x60, 0xffb0},   // KP_0
      {0x69, 0xffb9},   // KP_9
      {0x2D, 0xff9e},   // KP_Insert: keypad 0 with NumLock off
      {0x23, 0xff9c},   // KP_End
      {0x24, 0xff95},   // KP_Home
      {0x0C, 0xff9d},   // KP_Begin: keypad 5 with NumLock off
      {0x2E, 0xff9f},   // KP_Delete
      {0x6E, 0xffae},   // KP_Decimal
      {0x6C, 0xffac},   // KP_Separator
      {0x6A, 0xffaa},   // KP_Multiply
      {0x6B, 0xffab},   // KP_Add
      {0x6D, 0xffad},   // KP_Subtract
      {0x6F, 0xffaf},   // KP_Divide
      {0x0D, 0xff8d},   // KP_Enter
      {0x0D, 0xff0d},   // Return
      {0x08, 0xff08},   // BackSpace
      {0x09, 0xff09},   // Tab
      {0x09, 0xfe20},   // ISO_Left_Tab (Shift+Tab)
      {0x2D, 0xff63},   // Insert
      {0x24, 0xff50},   // Home
      {0x25, 0xff51},   // Left
      {0x28, 0xff54},   // Down
      {0x21, 0xff55},   // Prior
      {0x22, 0xff56},   // Next
      {0x10, 0xffe1},   // Shift_L
      {0x10, 0xffe2},   // Shift_R
      {0x11, 0xffe3},   // Control_L
      {0x11, 0xffe4},   // Control_R
      {0x12, 0xffe9},   // Alt_L
      {0x12, 0xffea},   // Alt_R
      {0x14, 0xffe5},   // Caps_Lock
      {0x90, 0xff7f},   // Num_Lock
      {0x2C, 0xff61},   // Print
      {0x1B, 0xff1b},   // Escape
      {0x20, 0x0020},   // space
      {0x5B, 0xffeb},   // Super_L
      {0x5D, 0xff67},   // Menu
      {0xBD, 0x002d},   // minus
      {0xC0, 0x0060},   // grave
      {0xE2, 0x003c},   // less
      // No virtual key.
      {0, 0xffd6},      // F25
      {0, 0xffbd},      // KP_Equal
      {0, 0x0021},      // exclam: a shifted symbol, not a key
      {0, 0x01b1},      // aogonek
      {0, 0xfe03},      // ISO_Level3_Shift (AltGr)
      {0, 0},
  };
  for (const KeysymCase& c : cases) {
    EXPECT_EQ(VirtualKeyOfKeysym(c.keysym), c.virtualKey) << std::hex << c.keysym;
  }
}

TEST(VirtualKeys, VirtualKeysToKeysymsWithNumLock) {
  auto keysyms = KeysymsOfVirtualKey(0x60);  // NumPad_0: the keypad 0, NumLock on
  ASSERT_EQ(keysyms.size(), 1u);
  EXPECT_EQ(keysyms[0].keysym, 0xffb0u);
  EXPECT_EQ(keysyms[0].numLock, NumLockState::On);

  keysyms = KeysymsOfVirtualKey(0x2D);  // Insert: its own key, and the keypad 0 with NumLock off
  ASSERT_EQ(keysyms.size(), 2u);
  EXPECT_EQ(keysyms[0].keysym, 0xff63u);
  EXPECT_EQ(keysyms[0].numLock, NumLockState::Any);
  EXPECT_EQ(keysyms[1].keysym, 0xff9eu);
  EXPECT_EQ(keysyms[1].numLock, NumLockState::Off);

  keysyms = KeysymsOfVirtualKey(0x6D);  // Subtract works in both states
  ASSERT_EQ(keysyms.size(), 1u);
  EXPECT_EQ(keysyms[0].keysym, 0xffadu);
  EXPECT_EQ(keysyms[0].numLock, NumLockState::Any);

  keysyms = KeysymsOfVirtualKey(0x41);
  ASSERT_EQ(keysyms.size(), 2u);
  EXPECT_EQ(keysyms[0].keysym, 0x61u);  // the unshifted letter first
  EXPECT_EQ(keysyms[1].keysym, 0x41u);

  EXPECT_EQ(KeysymsOfVirtualKey(0x87).at(0).keysym, 0xffd5u);  // F24
  EXPECT_EQ(KeysymsOfVirtualKey(0x70).at(0).keysym, 0xffbeu);  // F1
  EXPECT_TRUE(KeysymsOfVirtualKey(0x88).empty());              // past F24
  EXPECT_EQ(KeysymsOfVirtualKey(0x6F).size(), 1u);              // Divide
  EXPECT_TRUE(KeysymsOfVirtualKey(0).empty());
  EXPECT_TRUE(KeysymsOfVirtualKey(0x07).empty());
  EXPECT_TRUE(KeysymsOfVirtualKey(0xFF).empty());
}

TEST(VirtualKeys, EveryKeysymOfAKeyLeadsBack) {
  int keysWithKeysyms = 0;
  for (unsigned key = 0; key < 256; ++key) {
    const auto keysyms = KeysymsOfVirtualKey(key);
    if (!keysyms.empty()) ++keysWithKeysyms;
    for (const KeysymOfKey& keysym : keysyms) {
      EXPECT_EQ(VirtualKeyOfKeysym(keysym.keysym), key) << std::hex << keysym.keysym;
    }
  }
  // 10 digits, 26 letters, 24 function keys, 10 keypad digits and the rest.
  EXPECT_GT(keysWithKeysyms, 100);
}

TEST(VirtualKeys, KeyEventsByTheirUnshiftedKeyExceptTheKeypad) {
  EXPECT_EQ(VirtualKeyOfKeyEvent(0x21 /*exclam*/, 0x31 /*1*/), 0x31u);  // Shift+1 is still '1'
  EXPECT_EQ(VirtualKeyOfKeyEvent(0x41 /*A*/, 0x61 /*a*/), 0x41u);
  EXPECT_EQ(VirtualKeyOfKeyEvent(0x1b1 /*aogonek*/, 0x61), 0x41u);  // AltGr+a on a Polish layout
  EXPECT_EQ(VirtualKeyOfKeyEvent(0xffb0 /*KP_0*/, 0xff9e /*KP_Insert*/), 0x60u);  // NumLock on
  EXPECT_EQ(VirtualKeyOfKeyEvent(0xff9e, 0xff9e), 0x2Du);                          // NumLock off
  EXPECT_EQ(VirtualKeyOfKeyEvent(0xffad /*KP_Subtract*/, 0xffad), 0x6Du);
  EXPECT_EQ(VirtualKeyOfKeyEvent(0xfe20 /*ISO_Left_Tab*/, 0xff09), 0x09u);
  EXPECT_EQ(VirtualKeyOfKeyEvent(0x61, 0), 0x41u);  // no mapping known: what was produced
  EXPECT_TRUE(IsKeypadKeysym(0xff80));   // KP_Space, the first
  EXPECT_TRUE(IsKeypadKeysym(0xffbd));   // KP_Equal, the last
  EXPECT_FALSE(IsKeypadKeysym(0xff7f));  // Num_Lock, just before
  EXPECT_FALSE(IsKeypadKeysym(0xffbe));  // F1, just after
}

}  // namespace
