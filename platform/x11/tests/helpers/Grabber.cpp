// Another program that holds a hot key: grabs a key combination on the root
// window (with every lock variant, as a desktop's shortcut daemon would),
// writes "ready" or "refused" on standard output and keeps the grab until it
// is ended. Usage: x11_test_grabber KEYSYM [ctrl] [shift] [alt]
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

bool refused = false;

int OnError(Display*, XErrorEvent* error) {
  if (error->error_code == BadAccess) refused = true;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 3;
  unsigned modifiers = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "ctrl") == 0) modifiers |= ControlMask;
    if (std::strcmp(argv[i], "shift") == 0) modifiers |= ShiftMask;
    if (std::strcmp(argv[i], "alt") == 0) modifiers |= Mod1Mask;
  }
  const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(argv[1]));
  if (keycode == 0) return 4;
  XSetErrorHandler(OnError);
  for (unsigned locks : {0u, unsigned{LockMask}, unsigned{Mod2Mask}, unsigned{LockMask | Mod2Mask}}) {
    XGrabKey(display, keycode, modifiers | locks, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
  }
  XSync(display, False);
  std::printf(refused ? "refused\n" : "ready\n");
  std::fflush(stdout);
  for (;;) ::pause();
}
