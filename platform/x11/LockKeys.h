// The keyboard's lock states (Caps Lock, Num Lock, Scroll Lock) as the X
// server's indicators show them, for status bars. Nothing when the program
// has no X11 connection.
#pragma once

#include <optional>

namespace vokar::x11 {

struct LockKeys {
  bool capsLock = false;
  bool numLock = false;
  bool scrollLock = false;
  bool operator==(const LockKeys&) const = default;
};

std::optional<LockKeys> CurrentLockKeys();

}  // namespace vokar::x11
