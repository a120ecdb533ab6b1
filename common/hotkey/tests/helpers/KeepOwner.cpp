// An editor that keeps the clipboard it owns, as Tk does: its copy (Ctrl+C
// or Ctrl+Insert) claims the clipboard only when another program took it
// since; while it still owns it, a copy only changes the text it offers, and
// the X server hears nothing of it. Its text is the UTF-8 content of a file,
// read afresh at each copy, so a test can change it between copies.
// At start it owns the clipboard with an older text, as after a copy the
// user made earlier. It makes its window the active one, writes
// "ready WINDOW-ID" on standard output, and then one line "copied" or
// "claimed" per copy (claimed: it had to set the owner again).
// Usage: hotkey_test_keepowner TEXT-FILE OLD-CLIPBOARD-TEXT [--no-copy]
// With --no-copy the copy keys do nothing, as in a window without text.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const bool copies = !(argc > 3 && std::strcmp(argv[3], "--no-copy") == 0);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 3;
  const Window root = DefaultRootWindow(display);
  const Window window = XCreateSimpleWindow(display, root, 40, 40, 420, 240, 0, 0, WhitePixel(display, 0));
  XStoreName(display, window, "Notatnik");
  XSelectInput(display, window, KeyPressMask | FocusChangeMask | StructureNotifyMask | PropertyChangeMask);
  const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  const Atom targets = XInternAtom(display, "TARGETS", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom text = XInternAtom(display, "TEXT", False);
  const Atom plain = XInternAtom(display, "text/plain;charset=utf-8", False);
  const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  XMapWindow(display, window);

  // The older clipboard: owned from the start, with the time of a property
  // change as the claim's time (the server's time now).
  std::string offered = argv[2];
  bool owner = false;
  bool claimedAtStart = false;
  auto claim = [&](Time time) {
    XSetSelectionOwner(display, clipboard, window, time);
    owner = XGetSelectionOwner(display, clipboard) == window;
  };

  bool focused = false;
  bool told = false;
  int waits = 0;
  for (;;) {
    // Until it has the focus, it asks the window manager for it now and then.
    while (!told && XPending(display) == 0) {
      if (focused && owner) {
        Say("ready " + std::to_string(window));
        told = true;
        break;
      }
      if (++waits % 10 == 1) {
        XEvent request{};
        request.xclient.type = ClientMessage;
        request.xclient.window = window;
        request.xclient.message_type = activeWindow;
        request.xclient.format = 32;
        request.xclient.data.l[0] = 2;  // from a pager: always honoured
        request.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
        XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
      }
      XFlush(display);
      struct timespec pause{0, 50 * 1000 * 1000};
      nanosleep(&pause, nullptr);
    }
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case PropertyNotify:
        if (!claimedAtStart && event.xproperty.window == window) {
          claimedAtStart = true;
          claim(event.xproperty.time);
        }
        break;
      case FocusIn:
        focused = true;
        break;
      case FocusOut:
        focused = false;
        break;
      case KeyPress: {
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        const bool control = (event.xkey.state & ControlMask) != 0;
        if (!copies || !control || (key != XK_Insert && key != XK_c && key != XK_KP_Insert)) break;
        offered = ReadFile(argv[1]);
        if (owner) {
          Say("copied");
        } else {
          claim(event.xkey.time);
          Say("claimed");
        }
        break;
      }
      case SelectionClear:
        if (event.xselectionclear.selection == clipboard) owner = false;
        break;
      case SelectionRequest: {
        const XSelectionRequestEvent& request = event.xselectionrequest;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = None;
        const Atom property = request.property != None ? request.property : request.target;
        if (owner && request.selection == clipboard) {
          if (request.target == targets) {
            const Atom offeredTargets[] = {targets, utf8, text, XA_STRING, plain};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offeredTargets), 5);
            reply.property = property;
          } else if (request.target == utf8 || request.target == text || request.target == XA_STRING ||
                     request.target == plain) {
            XChangeProperty(display, request.requestor, property, request.target == plain ? plain : utf8, 8,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(offered.data()),
                            static_cast<int>(offered.size()));
            reply.property = property;
          }
        }
        XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(display);
        break;
      }
      default:
        break;
    }
  }
}
