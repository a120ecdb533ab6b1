// Waking the window manager of a test's X session (openbox). While it is
// still starting, openbox 3.6 can take a client's map request into its own
// queue and then go to sleep on its connection with the request unhandled:
// the window stays unmapped until some other event reaches openbox, and a
// test that waits for it to show waits for ever. A property change on the
// root window is such an event and changes nothing else, so a test that
// waits for a window to come to the screen wakes openbox while it waits.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vokar::testing {

inline void WakeWindowManager() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  const Atom wake = XInternAtom(display, "_VOKAR_TEST_WAKE", False);
  const unsigned char value = 1;
  XChangeProperty(display, DefaultRootWindow(display), wake, XA_CARDINAL, 8, PropModeReplace, &value, 1);
  XCloseDisplay(display);  // sends the request
}

}  // namespace vokar::testing
