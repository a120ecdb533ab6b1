// Key presses on the Polish programmer's layout as the watcher reports them:
// Windows-1250 characters through Shift, CapsLock, AltGr and dead keys,
// virtual-key numbers for the other keys, and the Ctrl and Alt flags. The
// layout comes from the X keyboard configuration files, as the display's
// does; keycodes are those of a PC keyboard on Linux.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "KeyTrap.h"
#include "KeyTranslator.h"

namespace {

using vokar::keytrap::KeyReport;
using vokar::keytrap::KeyTranslator;

// Keycodes of a PC keyboard.
enum Key : std::uint32_t {
  kEscape = 9,
  k1 = 10,
  kEqual = 21,
  kBackSpace = 22,
  kTab = 23,
  kQ = 24,
  kE = 26,
  kO = 32,
  kReturn = 36,
  kControlL = 37,
  kA = 38,
  kS = 39,
  kK = 45,
  kL = 46,
  kSemicolon = 47,
  kShiftL = 50,
  kZ = 52,
  kX = 53,
  kC = 54,
  kN = 57,
  kComma = 59,
  kAltL = 64,
  kSpace = 65,
  kCapsLock = 66,
  kF5 = 71,
  kNumLock = 77,
  kKeypad1 = 87,
  kKeypadEnter = 104,
  kAltGr = 108,
  kLeft = 113,
  kDelete = 119,
};

constexpr std::uint32_t kCtrl = 2, kAlt = 4, kVirtual = 8;

class KeyTranslatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    ASSERT_NE(context_, nullptr);
    xkb_rule_names names{"evdev", "pc105", "pl", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(keymap, nullptr) << "the Polish layout of the X keyboard configuration";
    translator_ = std::make_unique<KeyTranslator>(context_);
    translator_->SetKeymap(keymap, xkb_state_new(keymap));
  }
  void TearDown() override {
    translator_.reset();
    xkb_context_unref(context_);
  }

  // Presses the key with the modifiers held, then lets them all go.
  std::optional<KeyReport> Press(std::uint32_t key, std::initializer_list<std::uint32_t> held = {}) {
    for (const auto modifier : held) translator_->UpdateKey(modifier, true);
    // The display reports a key's own change of state after the key.
    auto report = translator_->Press(key);
    translator_->UpdateKey(key, true);
    translator_->UpdateKey(key, false);
    for (const auto modifier : held) translator_->UpdateKey(modifier, false);
    return report;
  }
  // A lock key pressed and released (CapsLock, NumLock).
  void Toggle(std::uint32_t key) {
    translator_->UpdateKey(key, true);
    translator_->UpdateKey(key, false);
  }

  xkb_context* context_ = nullptr;
  std::unique_ptr<KeyTranslator> translator_;
};

struct Case {
  const char* what;
  std::uint32_t key;
  std::vector<std::uint32_t> held;
  KeyReport expected;
};

TEST_F(KeyTranslatorTest, CharactersAndKeys) {
  const std::vector<Case> cases = {
      {"a", kA, {}, {0x61, 0}},
      {"Shift+a", kA, {kShiftL}, {0x41, 0}},
      {"space", kSpace, {}, {0x20, 0}},
      {"comma", kComma, {}, {0x2C, 0}},
      {"Shift+comma", kComma, {kShiftL}, {0x3C, 0}},
      {"Shift+1", k1, {kShiftL}, {0x21, 0}},
      // AltGr is reported as Ctrl and Alt together.
      {"AltGr+a", kA, {kAltGr}, {0xB9, kCtrl | kAlt}},
      {"AltGr+Shift+a", kA, {kAltGr, kShiftL}, {0xA5, kCtrl | kAlt}},
      {"AltGr+c", kC, {kAltGr}, {0xE6, kCtrl | kAlt}},
      {"AltGr+e", kE, {kAltGr}, {0xEA, kCtrl | kAlt}},
      {"AltGr+l", kL, {kAltGr}, {0xB3, kCtrl | kAlt}},
      {"AltGr+Shift+l", kL, {kAltGr, kShiftL}, {0xA3, kCtrl | kAlt}},
      {"AltGr+n", kN, {kAltGr}, {0xF1, kCtrl | kAlt}},
      {"AltGr+o", kO, {kAltGr}, {0xF3, kCtrl | kAlt}},
      {"AltGr+s", kS, {kAltGr}, {0x9C, kCtrl | kAlt}},
      {"AltGr+Shift+s", kS, {kAltGr, kShiftL}, {0x8C, kCtrl | kAlt}},
      {"AltGr+x", kX, {kAltGr}, {0x9F, kCtrl | kAlt}},
      {"AltGr+z", kZ, {kAltGr}, {0xBF, kCtrl | kAlt}},
      {"AltGr+Shift+z", kZ, {kAltGr, kShiftL}, {0xAF, kCtrl | kAlt}},
      // A character the code page lacks (pi) is told by its key.
      {"AltGr+q", kQ, {kAltGr}, {'Q', kCtrl | kAlt | kVirtual}},
      // Ctrl makes control characters; Backspace stays 8 so that Ctrl+Backspace
      // can be told apart.
      {"Ctrl+a", kA, {kControlL}, {0x01, kCtrl}},
      {"Ctrl+Shift+k", kK, {kControlL, kShiftL}, {0x0B, kCtrl}},
      {"Ctrl+Backspace", kBackSpace, {kControlL}, {0x08, kCtrl}},
      {"Alt+a", kA, {kAltL}, {0x61, kAlt}},
      {"Alt+Backspace", kBackSpace, {kAltL}, {0x08, kAlt}},
      {"Backspace", kBackSpace, {}, {0x08, 0}},
      {"Enter", kReturn, {}, {0x0D, 0}},
      {"keypad Enter", kKeypadEnter, {}, {0x0D, 0}},
      {"Ctrl+Enter", kReturn, {kControlL}, {0x0A, kCtrl}},
      {"Ctrl+keypad Enter", kKeypadEnter, {kControlL}, {0x0A, kCtrl}},
      // AltGr is Ctrl and Alt, not Ctrl: Enter stays a carriage return under
      // it, with Ctrl held as well or not.
      {"AltGr+Enter", kReturn, {kAltGr}, {0x0D, kCtrl | kAlt}},
      {"Ctrl+AltGr+Enter", kReturn, {kControlL, kAltGr}, {0x0D, kCtrl | kAlt}},
      {"AltGr+Ctrl+keypad Enter", kKeypadEnter, {kAltGr, kControlL}, {0x0D, kCtrl | kAlt}},
      {"Tab", kTab, {}, {0x09, 0}},
      {"Ctrl+Tab", kTab, {kControlL}, {0x09, kCtrl | kVirtual}},
      {"Escape", kEscape, {}, {27, kVirtual}},
      {"Delete", kDelete, {}, {46, kVirtual}},
      {"Left", kLeft, {}, {37, kVirtual}},
      {"Shift+Left", kLeft, {kShiftL}, {37, kVirtual}},
      {"F5", kF5, {}, {116, kVirtual}},
      {"Ctrl+F5", kF5, {kControlL}, {116, kCtrl | kVirtual}},
      {"Shift alone", kShiftL, {}, {16, kVirtual}},
      {"Ctrl alone", kControlL, {}, {17, kVirtual}},
      {"Alt alone", kAltL, {}, {18, kVirtual}},
      {"AltGr alone", kAltGr, {}, {18, kVirtual}},
      {"CapsLock", kCapsLock, {}, {20, kVirtual}},
      {"keypad 1 without NumLock", kKeypad1, {}, {35, kVirtual}},
  };
  for (const Case& c : cases) {
    for (const auto modifier : c.held) translator_->UpdateKey(modifier, true);
    const auto report = translator_->Press(c.key);
    translator_->UpdateKey(c.key, true);
    translator_->UpdateKey(c.key, false);
    for (auto it = c.held.rbegin(); it != c.held.rend(); ++it) translator_->UpdateKey(*it, false);
    ASSERT_TRUE(report.has_value()) << c.what;
    EXPECT_EQ(report->key, c.expected.key) << c.what;
    EXPECT_EQ(report->flags, c.expected.flags) << c.what;
  }
}

TEST_F(KeyTranslatorTest, LocksChangeTheCharacter) {
  Toggle(kCapsLock);
  EXPECT_EQ(Press(kA), (KeyReport{0x41, 0}));
  EXPECT_EQ(Press(kA, {kShiftL}), (KeyReport{0x61, 0}));
  EXPECT_EQ(Press(kA, {kAltGr}), (KeyReport{0xA5, kCtrl | kAlt})) << "CapsLock makes Ą too";
  EXPECT_EQ(Press(k1), (KeyReport{0x31, 0})) << "CapsLock leaves the digits";
  Toggle(kCapsLock);
  EXPECT_EQ(Press(kA), (KeyReport{0x61, 0}));

  Toggle(kNumLock);
  EXPECT_EQ(Press(kKeypad1), (KeyReport{0x31, 0}));
  Toggle(kNumLock);
  EXPECT_EQ(Press(kKeypad1), (KeyReport{35, kVirtual}));
}

TEST_F(KeyTranslatorTest, DeadKeysJoinTheNextLetter) {
  // AltGr+; is the acute accent; AltGr+Shift+= the ogonek.
  EXPECT_EQ(Press(kSemicolon, {kAltGr}), std::nullopt) << "a dead key waits";
  EXPECT_EQ(Press(kE), (KeyReport{0xE9, 0}));
  EXPECT_EQ(Press(kSemicolon, {kAltGr}), std::nullopt);
  EXPECT_EQ(Press(kS, {kShiftL}), (KeyReport{0x8C, 0}));
  EXPECT_EQ(Press(kEqual, {kAltGr, kShiftL}), std::nullopt);
  EXPECT_EQ(Press(kA), (KeyReport{0xB9, 0}));

  // Shift between the accent and the letter does not break the sequence;
  // a letter the accent does not take counts by itself.
  EXPECT_EQ(Press(kSemicolon, {kAltGr}), std::nullopt);
  EXPECT_EQ(Press(kShiftL), (KeyReport{16, kVirtual}));
  EXPECT_EQ(Press(kX), (KeyReport{0x78, 0}));
  EXPECT_EQ(Press(kX), (KeyReport{0x78, 0})) << "nothing is left waiting";

  // A forgotten accent does not join a later letter.
  EXPECT_EQ(Press(kSemicolon, {kAltGr}), std::nullopt);
  translator_->ResetCompose();
  EXPECT_EQ(Press(kE), (KeyReport{0x65, 0}));
}

TEST_F(KeyTranslatorTest, StateFromTheDisplaysNotices) {
  // The display reports Shift (modifier bit 0) and AltGr (Mod5, bit 7) as a
  // mask; the next press reads it.
  translator_->UpdateMask(1, 0, 0, 0, 0, 0);
  EXPECT_EQ(translator_->Press(kA), (KeyReport{0x41, 0}));
  translator_->UpdateMask(0x80, 0, 0, 0, 0, 0);
  EXPECT_EQ(translator_->Press(kA), (KeyReport{0xB9, kCtrl | kAlt}));
  translator_->UpdateMask(0, 0, 2, 0, 0, 0);  // CapsLock locked
  EXPECT_EQ(translator_->Press(kA), (KeyReport{0x41, 0}));
  translator_->UpdateMask(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(translator_->Press(kA), (KeyReport{0x61, 0}));
}

TEST(KeyTranslatorWithoutKeymap, ReportsNothing) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  {
    KeyTranslator translator(context);
    EXPECT_FALSE(translator.HasKeymap());
    EXPECT_EQ(translator.Press(kA), std::nullopt);
  }
  xkb_context_unref(context);
}

}  // namespace
