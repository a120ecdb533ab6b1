// The stored form and the display names of hot keys, as the settings of all
// three programs hold them.
#include <gtest/gtest.h>

#include "HotKey.h"

namespace {

using vokar::hotkey::FormatHotKeyName;
using vokar::hotkey::FormatHotKeySetting;
using vokar::hotkey::HotKeyCombination;
using vokar::hotkey::HotKeyDef;
using vokar::hotkey::IsCapturableKey;
using vokar::hotkey::ParseHotKeySetting;

HotKeyDef Def(int ctrl, int shift, int alt, unsigned key) {
  HotKeyDef def;
  def.SetCombination({ctrl, shift, alt, key});
  return def;
}

struct ParseCase {
  const char* text;
  HotKeyCombination expected;
};

TEST(ParseHotKeySetting, StoredTexts) {
  const HotKeyCombination none{};
  const ParseCase cases[] = {
      // Letters in any order and case; the key from the first digit on.
      {"CS116", {1, 1, 0, 116}},
      {"cs116", {1, 1, 0, 116}},
      {"SC116", {1, 1, 0, 116}},
      {"116CS", {1, 1, 0, 116}},
      {"C 116 x", {1, 0, 0, 116}},
      {"S0065", {0, 1, 0, 65}},
      {"123", {0, 0, 0, 123}},
      {"CA65", {1, 0, 1, 65}},
      {"SA65", {0, 1, 1, 65}},
      {"CSA65", {1, 1, 1, 65}},
      {"CS75", {1, 1, 0, 75}},
      {"cs75", {1, 1, 0, 75}},
      // Alt alone, no key, key 0.
      {"A65", none},
      {"A75", none},
      {"a116", none},
      {"C0", none},
      {"C", none},
      {"CS", none},
      {"", none},
      {"C000", none},
      // A number that does not fit in 32 bits cannot be read.
      {"C4294967296", none},
      {"C99999999999999999999", none},
      // Keys that cannot be chosen mean no hot key: C13 (Ctrl+Enter) would be
      // held without the user seeing it.
      {"C13", none},
      {"S4294967295", none},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(ParseHotKeySetting(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(ParseHotKeySetting, EdgesOfEveryRangeOfKeys) {
  // Each range of keys that can be chosen, with the codes on either side.
  struct Range {
    unsigned first, last;
  };
  const Range accepted[] = {{8, 9}, {35, 40}, {45, 46}, {48, 57}, {65, 90}, {96, 107}, {109, 109}, {111, 135}};
  const unsigned refused[] = {1, 7, 10, 13, 27, 32, 33, 34, 41, 44, 47, 58, 64, 91, 95, 108, 110, 136, 144, 255};
  for (const Range& range : accepted) {
    for (unsigned key = range.first; key <= range.last; ++key) {
      EXPECT_EQ(ParseHotKeySetting("C" + std::to_string(key)), (HotKeyCombination{1, 0, 0, key})) << key;
      EXPECT_TRUE(IsCapturableKey(key)) << key;
    }
  }
  for (unsigned key : refused) {
    EXPECT_EQ(ParseHotKeySetting("C" + std::to_string(key)), HotKeyCombination{}) << key;
    EXPECT_FALSE(IsCapturableKey(key)) << key;
  }
  EXPECT_FALSE(IsCapturableKey(0));
}

TEST(FormatHotKeySetting, LettersInOrderThenTheCode) {
  EXPECT_EQ(FormatHotKeySetting(Def(1, 1, 0, 116)), "CS116");
  EXPECT_EQ(FormatHotKeySetting(Def(0, 0, 0, 123)), "123");
  EXPECT_EQ(FormatHotKeySetting(Def(1, 1, 1, 65)), "CSA65");
  EXPECT_EQ(FormatHotKeySetting(Def(0, 1, 1, 9)), "SA9");
  EXPECT_EQ(FormatHotKeySetting(Def(1, 0, 1, 96)), "CA96");
  EXPECT_EQ(FormatHotKeySetting(Def(1, 1, 1, 0)), "");
  EXPECT_EQ(FormatHotKeySetting(Def(0, 0, 0, 0)), "");
}

TEST(FormatHotKeySetting, ReadsBackAsWritten) {
  for (unsigned key = 1; key < 256; ++key) {
    if (!IsCapturableKey(key)) continue;
    for (int bits = 0; bits < 8; ++bits) {
      const HotKeyDef def = Def(bits & 1, (bits >> 1) & 1, (bits >> 2) & 1, key);
      const bool altAlone = def.alt && !def.ctrl && !def.shift;
      EXPECT_EQ(ParseHotKeySetting(FormatHotKeySetting(def)), altAlone ? HotKeyCombination{} : def.combination())
          << FormatHotKeySetting(def);
    }
  }
}

struct NameCase {
  HotKeyDef def;
  const char* name;
};

TEST(FormatHotKeyName, DisplayNames) {
  const NameCase cases[] = {
      {Def(1, 1, 0, 116), "Ctrl+Shift+F5"},
      {Def(1, 0, 1, 116), "Ctrl+Alt+F5"},
      {Def(1, 1, 1, 65), "Ctrl+Shift+Alt+A"},
      {Def(1, 0, 0, 96), "Ctrl+NumPad_0"},
      {Def(0, 0, 0, 105), "NumPad_9"},
      {Def(0, 0, 0, 112), "F1"},
      {Def(0, 0, 0, 123), "F12"},
      {Def(0, 0, 0, 124), "F13"},
      {Def(0, 0, 0, 135), "F24"},
      {Def(0, 0, 0, 48), "0"},
      {Def(0, 1, 0, 57), "Shift+9"},
      {Def(0, 0, 0, 65), "A"},
      {Def(0, 0, 0, 90), "Z"},
      {Def(0, 0, 0, 8), "Back"},
      {Def(0, 0, 0, 9), "Tab"},
      {Def(0, 0, 0, 35), "End"},
      {Def(0, 0, 0, 36), "Home"},
      {Def(0, 0, 0, 37), "Left"},
      {Def(0, 0, 0, 38), "Up"},
      {Def(0, 0, 0, 39), "Right"},
      {Def(0, 0, 0, 40), "Down"},
      {Def(0, 0, 0, 45), "Insert"},
      {Def(0, 0, 0, 46), "Delete"},
      {Def(0, 0, 0, 106), "Multiply"},
      {Def(0, 0, 0, 107), "Add"},
      {Def(0, 0, 0, 109), "Subtract"},
      {Def(0, 0, 0, 111), "Divide"},
      {Def(0, 0, 0, 0), "[brak]"},
      {Def(1, 1, 0, 0), "[brak]"},
  };
  for (NameCase c : cases) {
    EXPECT_EQ(FormatHotKeyName(c.def), c.name) << c.def.key;
  }
}

TEST(FormatHotKeyName, KeyWithoutANameIsCleared) {
  for (unsigned key : {13u, 47u, 58u, 95u, 108u, 110u, 136u, 4000000000u}) {
    HotKeyDef def = Def(1, 1, 0, key);
    EXPECT_EQ(FormatHotKeyName(def), "[brak]") << key;
    EXPECT_EQ(def.key, 0u) << key;
    EXPECT_EQ(FormatHotKeySetting(def), "") << key;
  }
  // Each program has its own text for it.
  HotKeyDef def = Def(0, 0, 0, 136);
  EXPECT_EQ(FormatHotKeyName(def, "(none)"), "(none)");
  // A key with a name stays.
  HotKeyDef named = Def(0, 0, 0, 135);
  FormatHotKeyName(named);
  EXPECT_EQ(named.key, 135u);
}

}  // namespace
