// The suite's key codes are the virtual-key numbers of the original desktop
// (stored in the settings, sent by the keyboard watcher); X11 names keys by
// keysyms. One table maps each virtual key to the keysyms that stand for it
// and each keysym back to its virtual key, the keypad in both NumLock states.
#pragma once

#include <cstdint>
#include <vector>

namespace vokar::x11 {

// The virtual-key numbers the suite uses by name. Digits and letters are
// their ASCII capitals ('0'-'9', 'A'-'Z').
namespace vk {
inline constexpr unsigned kBack = 0x08;
inline constexpr unsigned kTab = 0x09;
inline constexpr unsigned kClear = 0x0C;
inline constexpr unsigned kReturn = 0x0D;
inline constexpr unsigned kShift = 0x10;
inline constexpr unsigned kControl = 0x11;
inline constexpr unsigned kMenu = 0x12;  // Alt
inline constexpr unsigned kPause = 0x13;
inline constexpr unsigned kCapital = 0x14;
inline constexpr unsigned kEscape = 0x1B;
inline constexpr unsigned kSpace = 0x20;
inline constexpr unsigned kPrior = 0x21;
inline constexpr unsigned kNext = 0x22;
inline constexpr unsigned kEnd = 0x23;
inline constexpr unsigned kHome = 0x24;
inline constexpr unsigned kLeft = 0x25;
inline constexpr unsigned kUp = 0x26;
inline constexpr unsigned kRight = 0x27;
inline constexpr unsigned kDown = 0x28;
inline constexpr unsigned kSelect = 0x29;
inline constexpr unsigned kPrint = 0x2A;
inline constexpr unsigned kExecute = 0x2B;
inline constexpr unsigned kSnapshot = 0x2C;
inline constexpr unsigned kInsert = 0x2D;
inline constexpr unsigned kDelete = 0x2E;
inline constexpr unsigned kHelp = 0x2F;
inline constexpr unsigned kLeftWin = 0x5B;
inline constexpr unsigned kRightWin = 0x5C;
inline constexpr unsigned kApps = 0x5D;
inline constexpr unsigned kNumpad0 = 0x60;
inline constexpr unsigned kNumpad9 = 0x69;
inline constexpr unsigned kMultiply = 0x6A;
inline constexpr unsigned kAdd = 0x6B;
inline constexpr unsigned kSeparator = 0x6C;
inline constexpr unsigned kSubtract = 0x6D;
inline constexpr unsigned kDecimal = 0x6E;
inline constexpr unsigned kDivide = 0x6F;
inline constexpr unsigned kF1 = 0x70;
inline constexpr unsigned kF24 = 0x87;
inline constexpr unsigned kNumLock = 0x90;
inline constexpr unsigned kScroll = 0x91;
inline constexpr unsigned kOem1 = 0xBA;       // ;:
inline constexpr unsigned kOemPlus = 0xBB;    // =+
inline constexpr unsigned kOemComma = 0xBC;   // ,<
inline constexpr unsigned kOemMinus = 0xBD;   // -_
inline constexpr unsigned kOemPeriod = 0xBE;  // .>
inline constexpr unsigned kOem2 = 0xBF;       // /?
inline constexpr unsigned kOem3 = 0xC0;       // `~
inline constexpr unsigned kOem4 = 0xDB;       // [{
inline constexpr unsigned kOem5 = 0xDC;       // \|
inline constexpr unsigned kOem6 = 0xDD;       // ]}
inline constexpr unsigned kOem7 = 0xDE;       // '"
inline constexpr unsigned kOem102 = 0xE2;     // the extra key beside left Shift
}  // namespace vk

// Keypad keys mean one thing with NumLock on and another with it off: the
// keypad 0 is NumPad_0 only with NumLock on, and Insert with it off.
enum class NumLockState { Any, On, Off };

struct KeysymOfKey {
  std::uint32_t keysym;
  NumLockState numLock;
};

// Every keysym that stands for the virtual key, the key's own first (Insert
// before the keypad's Insert); empty for a number that has none.
std::vector<KeysymOfKey> KeysymsOfVirtualKey(unsigned virtualKey);

// The virtual key a keysym stands for, or 0. Letters count in both cases;
// shifted symbols (exclam, colon ...) are not keys and give 0: look keys up by
// their unshifted keysym (see VirtualKeyOfKeyEvent).
unsigned VirtualKeyOfKeysym(std::uint32_t keysym);

// True for the keysyms of the numeric keypad (KP_0, KP_Home, KP_Add ...).
bool IsKeypadKeysym(std::uint32_t keysym);

// The virtual key of a key event: a keypad key by the keysym it produced now
// (so NumLock decides between NumPad_0 and Insert), any other key by the
// keysym of its key without modifiers (so Shift+1 is still '1').
unsigned VirtualKeyOfKeyEvent(std::uint32_t producedKeysym, std::uint32_t unshiftedKeysym);

}  // namespace vokar::x11
