#include "VirtualKeys.h"

#include <X11/keysym.h>


namespace vokar::x11 {
namespace {

struct Row {
  unsigned virtualKey;
  std::uint32_t keysym;
  NumLockState numLock;
};

// Rows of one virtual key stand together, its own key first. Letters, digits
// and F1-F24 follow from their ranges below.
constexpr Row kRows[] = {
    {vk::kBack, XK_BackSpace, NumLockState::Any},
    {vk::kTab, XK_Tab, NumLockState::Any},
    {vk::kTab, XK_ISO_Left_Tab, NumLockState::Any},
    {vk::kTab, XK_KP_Tab, NumLockState::Any},
    {vk::kClear, XK_Clear, NumLockState::Any},
    {vk::kClear, XK_KP_Begin, NumLockState::Off},
    {vk::kReturn, XK_Return, NumLockState::Any},
    {vk::kReturn, XK_KP_Enter, NumLockState::Any},
    {vk::kShift, XK_Shift_L, NumLockState::Any},
    {vk::kShift, XK_Shift_R, NumLockState::Any},
    {vk::kControl, XK_Control_L, NumLockState::Any},
    {vk::kControl, XK_Control_R, NumLockState::Any},
    {vk::kMenu, XK_Alt_L, NumLockState::Any},
    {vk::kMenu, XK_Alt_R, NumLockState::Any},
    {vk::kMenu, XK_Meta_L, NumLockState::Any},
    {vk::kMenu, XK_Meta_R, NumLockState::Any},
    {vk::kPause, XK_Pause, NumLockState::Any},
    {vk::kCapital, XK_Caps_Lock, NumLockState::Any},
    {vk::kEscape, XK_Escape, NumLockState::Any},
    {vk::kSpace, XK_space, NumLockState::Any},
    {vk::kSpace, XK_KP_Space, NumLockState::Any},
    {vk::kPrior, XK_Prior, NumLockState::Any},
    {vk::kPrior, XK_KP_Prior, NumLockState::Off},
    {vk::kNext, XK_Next, NumLockState::Any},
    {vk::kNext, XK_KP_Next, NumLockState::Off},
    {vk::kEnd, XK_End, NumLockState::Any},
    {vk::kEnd, XK_KP_End, NumLockState::Off},
    {vk::kHome, XK_Home, NumLockState::Any},
    {vk::kHome, XK_KP_Home, NumLockState::Off},
    {vk::kLeft, XK_Left, NumLockState::Any},
    {vk::kLeft, XK_KP_Left, NumLockState::Off},
    {vk::kUp, XK_Up, NumLockState::Any},
    {vk::kUp, XK_KP_Up, NumLockState::Off},
    {vk::kRight, XK_Right, NumLockState::Any},
    {vk::kRight, XK_KP_Right, NumLockState::Off},
    {vk::kDown, XK_Down, NumLockState::Any},
    {vk::kDown, XK_KP_Down, NumLockState::Off},
    {vk::kSelect, XK_Select, NumLockState::Any},
    {vk::kExecute, XK_Execute, NumLockState::Any},
    // The Print Screen key of a PC keyboard sends Print; the original
    // desktop called it Snapshot, and its own Print key does not exist here.
    {vk::kSnapshot, XK_Print, NumLockState::Any},
    {vk::kInsert, XK_Insert, NumLockState::Any},
    {vk::kInsert, XK_KP_Insert, NumLockState::Off},
    {vk::kDelete, XK_Delete, NumLockState::Any},
    {vk::kDelete, XK_KP_Delete, NumLockState::Off},
    {vk::kHelp, XK_Help, NumLockState::Any},
    {vk::kLeftWin, XK_Super_L, NumLockState::Any},
    {vk::kRightWin, XK_Super_R, NumLockState::Any},
    {vk::kApps, XK_Menu, NumLockState::Any},
    {vk::kMultiply, XK_KP_Multiply, NumLockState::Any},
    {vk::kAdd, XK_KP_Add, NumLockState::Any},
    {vk::kSeparator, XK_KP_Separator, NumLockState::On},
    {vk::kSubtract, XK_KP_Subtract, NumLockState::Any},
    {vk::kDecimal, XK_KP_Decimal, NumLockState::On},
    {vk::kDivide, XK_KP_Divide, NumLockState::Any},
    {vk::kNumLock, XK_Num_Lock, NumLockState::Any},
    {vk::kScroll, XK_Scroll_Lock, NumLockState::Any},
    {vk::kOem1, XK_semicolon, NumLockState::Any},
    {vk::kOemPlus, XK_equal, NumLockState::Any},
    {vk::kOemComma, XK_comma, NumLockState::Any},
    {vk::kOemMinus, XK_minus, NumLockState::Any},
    {vk::kOemPeriod, XK_period, NumLockState::Any},
    {vk::kOem2, XK_slash, NumLockState::Any},
    {vk::kOem3, XK_grave, NumLockState::Any},
    {vk::kOem4, XK_bracketleft, NumLockState::Any},
    {vk::kOem5, XK_backslash, NumLockState::Any},
    {vk::kOem6, XK_bracketright, NumLockState::Any},
    {vk::kOem7, XK_apostrophe, NumLockState::Any},
    {vk::kOem102, XK_less, NumLockState::Any},
};

static_assert(XK_F24 - XK_F1 == vk::kF24 - vk::kF1, "F1-F24 are consecutive in both numberings");
static_assert(XK_KP_9 - XK_KP_0 == vk::kNumpad9 - vk::kNumpad0, "keypad digits are consecutive in both");

}  // namespace

std::vector<KeysymOfKey> KeysymsOfVirtualKey(unsigned virtualKey) {
  if (virtualKey >= '0' && virtualKey <= '9') return {{XK_0 + (virtualKey - '0'), NumLockState::Any}};
  // Lower case first: that is what an unshifted letter key carries.
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return {{XK_a + (virtualKey - 'A'), NumLockState::Any}, {XK_A + (virtualKey - 'A'), NumLockState::Any}};
  }
  if (virtualKey >= vk::kF1 && virtualKey <= vk::kF24) return {{XK_F1 + (virtualKey - vk::kF1), NumLockState::Any}};
  if (virtualKey >= vk::kNumpad0 && virtualKey <= vk::kNumpad9) {
    return {{XK_KP_0 + (virtualKey - vk::kNumpad0), NumLockState::On}};
  }
  std::vector<KeysymOfKey> keysyms;
  for (const Row& row : kRows) {
    if (row.virtualKey == virtualKey) keysyms.push_back({row.keysym, row.numLock});
  }
  return keysyms;
}

unsigned VirtualKeyOfKeysym(std::uint32_t keysym) {
  if (keysym >= XK_0 && keysym <= XK_9) return '0' + (keysym - XK_0);
  if (keysym >= XK_a && keysym <= XK_z) return 'A' + (keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return 'A' + (keysym - XK_A);
  if (keysym >= XK_F1 && keysym <= XK_F24) return vk::kF1 + (keysym - XK_F1);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return vk::kNumpad0 + (keysym - XK_KP_0);
  for (const Row& row : kRows) {
    if (row.keysym == keysym) return row.virtualKey;
  }
  return 0;
}

bool IsKeypadKeysym(std::uint32_t keysym) {
  // X11 keeps the whole keypad in one block, KP_Space to KP_Equal.
  return keysym >= XK_KP_Space && keysym <= XK_KP_Equal;
}

unsigned VirtualKeyOfKeyEvent(std::uint32_t producedKeysym, std::uint32_t unshiftedKeysym) {
  if (IsKeypadKeysym(producedKeysym)) return VirtualKeyOfKeysym(producedKeysym);
  return VirtualKeyOfKeysym(unshiftedKeysym != 0 ? unshiftedKeysym : producedKeysym);
}

}  // namespace vokar::x11
