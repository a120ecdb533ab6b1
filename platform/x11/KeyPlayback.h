// Key sequences played into whatever window has the keyboard focus, as if
// typed, through the XTest extension of Qt's X11 connection.
#pragma once

#include <span>

namespace vokar::x11 {

struct PlaybackKey {
  bool press;           // false: the key goes up
  unsigned virtualKey;  // the suite's key number (VirtualKeys.h)
};

// True when the program runs on X11 and the server offers XTest.
bool PlaybackAvailable();

// Plays the keys in order and sends them to the server; false, with nothing
// played, when PlaybackAvailable() is false. A Shift, Ctrl or Alt that goes
// up releases every key of that modifier that is down (the user may still
// hold the right-hand one); a key the mapping does not have is left out.
bool PlayKeys(std::span<const PlaybackKey> keys);

}  // namespace vokar::x11
