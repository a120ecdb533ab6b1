// The X11 connection of a Qt program: Qt's own, when the program runs on Qt's
// xcb platform; nothing under Wayland, the offscreen platform or without a
// QGuiApplication. Every X11 service of the suite goes through this one
// connection, so its requests reach the server in the order they were made.
#pragma once

#include <cstdint>

struct xcb_connection_t;
typedef struct _XDisplay Display;

namespace vokar::x11 {

// Qt's xcb connection, or null when the program has none.
xcb_connection_t* Connection();

// The same connection as an Xlib display (for XTest), or null.
Display* XlibDisplay();

// The root window of the default screen, or 0.
std::uint32_t RootWindowId();

// The keysym of a keycode at the first level of the first group (the key
// without modifiers), or 0; read from the server's current keyboard mapping.
std::uint32_t UnshiftedKeysym(std::uint8_t keycode);

// The virtual key of a key event as Qt reports it on X11 (native scan code =
// keycode, native virtual key = produced keysym); 0 when there is no X11 or
// the key has no virtual key.
unsigned VirtualKeyOfNativeKey(std::uint32_t keycode, std::uint32_t producedKeysym);

}  // namespace vokar::x11
