// Keys pressed from the test itself through XTest on a connection of its own,
// for combinations that xdotool cannot express (the keypad by keycode, a key
// held down across other presses) and for reading the lock state.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <initializer_list>
#include <string>

namespace vokar::testing {

class XTestKeys {
 public:
  XTestKeys() : display_(XOpenDisplay(nullptr)) {}
  ~XTestKeys() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  XTestKeys(const XTestKeys&) = delete;
  XTestKeys& operator=(const XTestKeys&) = delete;

  bool ok() const { return display_ != nullptr; }
  KeyCode Keycode(KeySym keysym) const { return XKeysymToKeycode(display_, keysym); }

  void Down(KeyCode keycode) { Send(keycode, true); }
  void Up(KeyCode keycode) { Send(keycode, false); }
  // Presses the keys in order and releases them in reverse.
  void Chord(std::initializer_list<KeyCode> keycodes) {
    for (KeyCode keycode : keycodes) Down(keycode);
    for (auto it = std::rbegin(keycodes); it != std::rend(keycodes); ++it) Up(*it);
  }

  bool NumLockOn() const { return LockedModifiers() & Mod2Mask; }
  bool CapsLockOn() const { return LockedModifiers() & LockMask; }
  void SetNumLock(bool on) {
    if (NumLockOn() != on) Chord({Keycode(XK_Num_Lock)});
  }
  void SetCapsLock(bool on) {
    if (CapsLockOn() != on) Chord({Keycode(XK_Caps_Lock)});
  }

 private:
  void Send(KeyCode keycode, bool press) {
    XTestFakeKeyEvent(display_, keycode, press ? True : False, CurrentTime);
    XSync(display_, False);
  }
  unsigned LockedModifiers() const {
    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    return state.locked_mods;
  }

  Display* display_;
};

}  // namespace vokar::testing
