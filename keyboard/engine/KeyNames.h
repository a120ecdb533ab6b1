// The names the keyboard speaks for keys: 217 key types (0 says nothing;
// 1-175 are virtual-key numbers; 176-216 are the Polish letters and the
// punctuation marks), each naming one of the program's 125 strings
// 6144-6268. A string that starts with "(" is a list of allophones and is
// sent wrapped in the tag "\Alf=...\"; any other is a plain Polish word.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vokar::keyboard {

inline constexpr int kKeyTypes = 217;
inline constexpr int kFirstKeyNameString = 6144;
inline constexpr int kKeyNameStrings = 125;

// The string resource number of a key type (type 0 has the nameless key's
// string, though nothing is ever said for it); 0 for numbers outside 0-216.
int KeyNameStringId(int type);

// The text of a key-name string (UTF-8), or empty for a number outside
// 6144-6268.
std::string_view KeyNameString(int id);

// The key type of a typed character (code page 1250): letters and digits by
// their upper-case form (ó as U), Backspace 8, Tab 9 and space 32 only while
// the separator sound is on, Enter 13 only while the CR sound is on, the
// Polish letters and punctuation 176-216; 0 for anything else.
int KeyTypeOfCharacter(unsigned char c, bool separatorSound, bool crSound);

// The texts the key-name queue sends, loaded once: per key type the string
// as it is sent (wrapped or plain), empty for type 0.
class KeyNameTable {
 public:
  KeyNameTable();
  // Empty for type 0 and for types outside 1-216.
  const std::string& Text(int type) const;

 private:
  std::array<std::string, kKeyTypes> texts_;
  std::string none_;
};

}  // namespace vokar::keyboard
