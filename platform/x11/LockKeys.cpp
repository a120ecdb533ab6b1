#include "LockKeys.h"

#include "X11Session.h"

// X11's headers define macros that Qt's headers would trip over: they come last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace vokar::x11 {
namespace {

// The indicator of that name is lit; an indicator the keyboard lacks is not.
bool IndicatorLit(Display* display, const char* name) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == 0) return false;
  Bool lit = False;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &lit, nullptr, nullptr)) return false;
  return lit == True;
}

}  // namespace

std::optional<LockKeys> CurrentLockKeys() {
  Display* display = XlibDisplay();
  if (display == nullptr) return std::nullopt;
  return LockKeys{IndicatorLit(display, "Caps Lock"), IndicatorLit(display, "Num Lock"),
                  IndicatorLit(display, "Scroll Lock")};
}

}  // namespace vokar::x11
