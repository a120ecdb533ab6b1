#include "KeyTranslator.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "Cp1250.h"
#include "KeyTrap.h"
#include "VirtualKeys.h"

namespace vokar::keytrap {
namespace {

constexpr std::uint32_t kNoMod = XKB_MOD_INVALID;

// The locale whose compose table dead keys use: the user's, when it is a
// UTF-8 one; otherwise Polish, whose table knows every letter of the code
// page.
std::string ComposeLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string locale(value);
    if (locale.find("UTF-8") != std::string::npos || locale.find("utf8") != std::string::npos) {
      // "C.UTF-8" has a table of its own in newer releases only.
      if (locale.rfind("C.", 0) == 0 || locale.rfind("POSIX", 0) == 0) break;
      return locale;
    }
    break;
  }
  return "pl_PL.UTF-8";
}

bool IsModifierKeysym(std::uint32_t keysym) {
  return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
         (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Last_Group_Lock) || keysym == XKB_KEY_Mode_switch ||
         keysym == XKB_KEY_Num_Lock;
}

}  // namespace

KeyTranslator::KeyTranslator(xkb_context* context) {
  const std::string locale = ComposeLocale();
  composeTable_ = xkb_compose_table_new_from_locale(context, locale.c_str(), XKB_COMPOSE_COMPILE_NO_FLAGS);
  if (composeTable_ == nullptr && locale != "pl_PL.UTF-8") {
    composeTable_ = xkb_compose_table_new_from_locale(context, "pl_PL.UTF-8", XKB_COMPOSE_COMPILE_NO_FLAGS);
  }
  if (composeTable_ != nullptr) compose_ = xkb_compose_state_new(composeTable_, XKB_COMPOSE_STATE_NO_FLAGS);
}

KeyTranslator::~KeyTranslator() {
  xkb_compose_state_unref(compose_);
  xkb_compose_table_unref(composeTable_);
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
}

void KeyTranslator::SetKeymap(xkb_keymap* keymap, xkb_state* state) {
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  keymap_ = keymap;
  state_ = state;
  control_ = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_CTRL);
  alt_ = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_ALT);
  // AltGr chooses the third level through Mod5 in every layout of the
  // X keyboard configuration.
  levelThree_ = xkb_keymap_mod_get_index(keymap_, "Mod5");
  ResetCompose();
}

void KeyTranslator::UpdateMask(std::uint32_t baseMods, std::uint32_t latchedMods, std::uint32_t lockedMods,
                               std::int32_t baseGroup, std::int32_t latchedGroup, std::int32_t lockedGroup) {
  if (state_ == nullptr) return;
  xkb_state_update_mask(state_, baseMods, latchedMods, lockedMods, static_cast<xkb_layout_index_t>(baseGroup),
                        static_cast<xkb_layout_index_t>(latchedGroup), static_cast<xkb_layout_index_t>(lockedGroup));
}

void KeyTranslator::UpdateKey(std::uint32_t keycode, bool down) {
  if (state_ == nullptr) return;
  xkb_state_update_key(state_, keycode, down ? XKB_KEY_DOWN : XKB_KEY_UP);
}

void KeyTranslator::ResetCompose() {
  if (compose_ != nullptr) xkb_compose_state_reset(compose_);
}

bool KeyTranslator::ModActive(std::uint32_t index) const {
  if (index == kNoMod) return false;
  return xkb_state_mod_index_is_active(state_, index, XKB_STATE_MODS_EFFECTIVE) > 0;
}

std::optional<KeyReport> KeyTranslator::VirtualKey(std::uint32_t keycode, std::uint32_t keysym,
                                                   std::uint32_t flags) const {
  unsigned virtualKey = 0;
  if (keysym == XKB_KEY_ISO_Level3_Shift || keysym == XKB_KEY_Mode_switch) {
    // AltGr is the right Alt key of the original keyboard.
    virtualKey = x11::vk::kMenu;
  } else {
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, keycode);
    const xkb_keysym_t* unshifted = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap_, keycode, layout == XKB_LAYOUT_INVALID ? 0 : layout,
                                                       0, &unshifted);
    virtualKey = x11::VirtualKeyOfKeyEvent(keysym, count > 0 ? unshifted[0] : 0);
  }
  if (virtualKey == 0 || virtualKey > 0xFF) return std::nullopt;
  return KeyReport{static_cast<std::uint8_t>(virtualKey), flags | kFlagVirtualKey};
}

std::optional<KeyReport> KeyTranslator::Press(std::uint32_t keycode) {
  if (state_ == nullptr) return std::nullopt;
  const std::uint32_t keysym = xkb_state_key_get_one_sym(state_, keycode);
  const bool control = ModActive(control_);
  const bool alt = ModActive(alt_);
  const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, keycode);
  const bool altGr = ModActive(levelThree_) ||
                     (layout != XKB_LAYOUT_INVALID && xkb_state_key_get_level(state_, keycode, layout) >= 2);
  // AltGr is Ctrl and Alt together on the original desktop, and the keyboard
  // program tells a Polish letter typed with it by both flags.
  std::uint32_t flags = 0;
  if (control || altGr) flags |= kFlagCtrl;
  if (alt || altGr) flags |= kFlagAlt;

  if (keysym == XKB_KEY_NoSymbol) return std::nullopt;
  if (IsModifierKeysym(keysym)) return VirtualKey(keycode, keysym, flags);

  // Dead keys and the compose key: a key that starts or continues a sequence
  // reports nothing; the key that ends it reports the composed letter; a key
  // that breaks a sequence off counts by itself.
  if (compose_ != nullptr && xkb_compose_state_feed(compose_, keysym) == XKB_COMPOSE_FEED_ACCEPTED) {
    switch (xkb_compose_state_get_status(compose_)) {
      case XKB_COMPOSE_COMPOSING:
        return std::nullopt;
      case XKB_COMPOSE_COMPOSED: {
        const xkb_keysym_t composed = xkb_compose_state_get_one_sym(compose_);
        char utf8[64] = {};
        xkb_compose_state_get_utf8(compose_, utf8, sizeof utf8);
        xkb_compose_state_reset(compose_);
        std::uint32_t codePoint = xkb_keysym_to_utf32(composed);
        if (codePoint == 0) {
          const std::string text = cp1250::FromUtf8(utf8);
          if (text.size() == 1 && text[0] != '?') return KeyReport{static_cast<std::uint8_t>(text[0]), flags};
          return VirtualKey(keycode, keysym, flags);
        }
        const unsigned char byte = cp1250::FromUnicode(codePoint);
        if (codePoint >= 0x20 && (byte != '?' || codePoint == '?')) return KeyReport{byte, flags};
        return VirtualKey(keycode, keysym, flags);
      }
      case XKB_COMPOSE_CANCELLED:
        xkb_compose_state_reset(compose_);
        break;
      case XKB_COMPOSE_NOTHING:
        break;
    }
  }

  // The editing keys the keyboard program works with as characters.
  switch (keysym) {
    case XKB_KEY_BackSpace:
      return KeyReport{8, flags};
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter:
      // Ctrl+Enter gives a line feed, as on the original desktop.
      return KeyReport{static_cast<std::uint8_t>(control && !altGr ? 10 : 13), flags};
    case XKB_KEY_Tab:
    case XKB_KEY_KP_Tab:
    case XKB_KEY_ISO_Left_Tab:
      if (control) return VirtualKey(keycode, keysym, flags);
      return KeyReport{9, flags};
    case XKB_KEY_Escape:
    case XKB_KEY_Delete:
    case XKB_KEY_KP_Delete:
      return VirtualKey(keycode, keysym, flags);
    default:
      break;
  }

  // With Ctrl the layout gives control characters (Ctrl+C is 3), which the
  // keyboard program passes over, as it did.
  const std::uint32_t codePoint = xkb_state_key_get_utf32(state_, keycode);
  if (codePoint >= 1 && codePoint < 0x20) return KeyReport{static_cast<std::uint8_t>(codePoint), flags};
  if (codePoint >= 0x20 && codePoint != 0x7F) {
    const unsigned char byte = cp1250::FromUnicode(codePoint);
    // A character the code page lacks (AltGr+Q gives π) is told by its key.
    if (byte != '?' || codePoint == '?') return KeyReport{byte, flags};
  }
  return VirtualKey(keycode, keysym, flags);
}

}  // namespace vokar::keytrap
