// Hot-key definitions and their texts: the stored form of a combination
// ("CS116" is Ctrl+Shift+F5), its display name ("Ctrl+Shift+F5") and the keys
// a user may choose. Key codes are the suite's virtual-key numbers.
#pragma once

#include <QObject>
#include <QPointer>

#include <string>
#include <string_view>

namespace vokar::hotkey {

// A key with its modifiers; key 0 means no hot key.
struct HotKeyCombination {
  int ctrl = 0;
  int shift = 0;
  int alt = 0;
  unsigned key = 0;

  bool empty() const { return key == 0; }
  friend bool operator==(const HotKeyCombination&, const HotKeyCombination&) = default;
};

// One action's hot key as a program keeps it.
struct HotKeyDef {
  int slot = -1;             // index into the registration table; -1 until placed
  QPointer<QObject> window;  // receives the hot-key event
  int ctrl = 0;
  int shift = 0;
  int alt = 0;
  unsigned key = 0;  // 0: no hot key
  int command = 0;   // delivered with the hot-key event

  HotKeyCombination combination() const { return {ctrl, shift, alt, key}; }
  void SetCombination(const HotKeyCombination& combination);
  void ClearCombination() { SetCombination({}); }
};

// The texts a program shows for "no hot key" and for a combination another of
// its actions uses; each program has them in its own string table.
struct HotKeyStrings {
  std::string none = "[brak]";
  std::string busy = "[zajęty]";
};

// The keys a user may choose: '0'-'9', 'A'-'Z', F1-F24, the keypad digits,
// Backspace, Tab, End, Home, the arrows, Insert, Delete and the keypad's
// Multiply, Add, Subtract and Divide.
bool IsCapturableKey(unsigned key);

// Reads the stored form: the letters C, S and A anywhere (either case) set
// Ctrl, Shift and Alt, and the decimal number from the first digit on is the
// key. No hot key for an empty text, Alt without Ctrl or Shift, no digit, a
// number that cannot be read, 0, or a key that cannot be chosen (a stored
// "C13" would otherwise hold a key the user can neither see nor remove).
HotKeyCombination ParseHotKeySetting(std::string_view text);

// "C", "S", "A" as set, then the key in decimal; empty when the key is 0.
std::string FormatHotKeySetting(const HotKeyDef& def);

// "Ctrl+", "Shift+", "Alt+" as set, then the key's name ("A", "7", "F5",
// "NumPad_0", "Home", "Subtract" ...). A key without a name is cleared in the
// definition; then, as for key 0, the text is noneText.
std::string FormatHotKeyName(HotKeyDef& def, std::string_view noneText = "[brak]");

}  // namespace vokar::hotkey
