#include "KeyPlayback.h"

#include <vector>

#include "VirtualKeys.h"
#include "X11Keyboard.h"
#include "X11Session.h"

// After Qt's headers: X11's define macros that Qt's would trip over.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace vokar::x11 {
namespace {

bool IsModifier(unsigned virtualKey) {
  return virtualKey == vk::kShift || virtualKey == vk::kControl || virtualKey == vk::kMenu;
}

// The keycodes of a virtual key in the current mapping, its own key first.
std::vector<std::uint8_t> KeycodesOfVirtualKey(X11Keyboard& keyboard, unsigned virtualKey) {
  std::vector<std::uint8_t> keycodes;
  for (const KeysymOfKey& keysym : KeysymsOfVirtualKey(virtualKey)) {
    for (std::uint8_t keycode : keyboard.KeycodesOf(keysym.keysym)) keycodes.push_back(keycode);
  }
  return keycodes;
}

bool IsDown(const char keys[32], std::uint8_t keycode) { return (keys[keycode / 8] >> (keycode % 8)) & 1; }

}  // namespace

bool PlaybackAvailable() {
  Display* display = XlibDisplay();
  if (display == nullptr) return false;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0;
}

bool PlayKeys(std::span<const PlaybackKey> keys) {
  if (!PlaybackAvailable()) return false;
  Display* display = XlibDisplay();
  X11Keyboard* keyboard = X11Keyboard::Get();
  if (keyboard == nullptr) return false;
  for (const PlaybackKey& key : keys) {
    const std::vector<std::uint8_t> keycodes = KeycodesOfVirtualKey(*keyboard, key.virtualKey);
    if (keycodes.empty()) continue;
    if (!key.press && IsModifier(key.virtualKey)) {
      // The server has handled every earlier request of this connection when
      // it answers, so the state read here includes the keys played so far.
      char state[32] = {};
      XQueryKeymap(display, state);
      for (std::uint8_t keycode : keycodes) {
        if (IsDown(state, keycode)) XTestFakeKeyEvent(display, keycode, False, CurrentTime);
      }
      continue;
    }
    XTestFakeKeyEvent(display, keycodes.front(), key.press ? True : False, CurrentTime);
  }
  XFlush(display);
  return true;
}

}  // namespace vokar::x11
