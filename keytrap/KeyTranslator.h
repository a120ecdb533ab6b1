// Turns one key press into what the watcher reports: a Windows-1250
// character as the keyboard layout and its state give it (Shift, CapsLock,
// AltGr, dead keys and the compose key), or the key's virtual-key number, with
// the Ctrl and Alt flags. The keyboard state is fed from outside: from the
// display's state notices, or key by key.
#pragma once

#include <cstdint>
#include <optional>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xkb_compose_table;
struct xkb_compose_state;

namespace vokar::keytrap {

struct KeyReport {
  std::uint8_t key = 0;
  std::uint32_t flags = 0;
  friend bool operator==(const KeyReport&, const KeyReport&) = default;
};

class KeyTranslator {
 public:
  // The compose table of the user's UTF-8 locale (Polish when the locale is
  // not a UTF-8 one); dead keys work without it as plain keys.
  explicit KeyTranslator(xkb_context* context);
  ~KeyTranslator();
  KeyTranslator(const KeyTranslator&) = delete;
  KeyTranslator& operator=(const KeyTranslator&) = delete;

  // Takes both (a reference of each); the state is the keyboard's state now.
  void SetKeymap(xkb_keymap* keymap, xkb_state* state);
  bool HasKeymap() const { return state_ != nullptr; }

  // The state as the display reports it.
  void UpdateMask(std::uint32_t baseMods, std::uint32_t latchedMods, std::uint32_t lockedMods,
                  std::int32_t baseGroup, std::int32_t latchedGroup, std::int32_t lockedGroup);
  // The state followed key by key (where no notices come).
  void UpdateKey(std::uint32_t keycode, bool down);

  // The report for a press of the key in the current state; nothing for a
  // dead key (it waits for the next key) and for a key that has neither a
  // character nor a virtual-key number.
  std::optional<KeyReport> Press(std::uint32_t keycode);

  // Forgets a dead key that waits.
  void ResetCompose();

 private:
  bool ModActive(std::uint32_t index) const;
  std::optional<KeyReport> VirtualKey(std::uint32_t keycode, std::uint32_t keysym, std::uint32_t flags) const;

  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  xkb_compose_table* composeTable_ = nullptr;
  xkb_compose_state* compose_ = nullptr;
  std::uint32_t control_ = ~0u;
  std::uint32_t alt_ = ~0u;
  std::uint32_t levelThree_ = ~0u;
};

}  // namespace vokar::keytrap
