// The key watcher of the talking keyboard: a shared library that watches the
// keyboard of the X session and reports every key press to the keyboard
// program's window "Klavo" (a window of the calling process) as the posted
// message WM_KEY_EVENT. wParam's low byte is the key; lParam carries the flags
// below. A character is a Windows-1250 byte as the keyboard layout, Shift,
// CapsLock, AltGr and dead keys make it; other keys are virtual-key numbers.
//
// The library runs inside the keyboard program and uses that program's desktop
// bus, so the program must carry the bus (and the code page and key tables of
// the suite) and call these functions from its UI thread. Keys never leave the
// process: they are neither logged nor written anywhere, and they are posted
// only to a window of the calling process.
#pragma once

#ifdef __cplusplus
#include <cstdint>
extern "C" {
#endif

#define KEYTRAP_API __attribute__((visibility("default")))

// Ordinal 3: starts watching the keyboard (nothing is posted before KeyTrapOn).
KEYTRAP_API void KeyTrapStart(void);
// Ordinal 4: stops watching and lets the display go; nothing is posted after.
KEYTRAP_API void KeyTrapStop(void);
// Ordinal 5: key events are posted from now on.
KEYTRAP_API void KeyTrapOn(void);
// Ordinal 6: no key event is posted until the next KeyTrapOn; the display no
// longer even sends the watcher the keys.
KEYTRAP_API void KeyTrapOff(void);
// Ordinal 7: 1 keyboard echo, 0 whole-word reading. Kept; what is reported
// does not depend on it.
KEYTRAP_API void KeyTrapSetMode(int echo);

// What the watcher can hear, for the program to tell its user (Linux only):
// KEYTRAP_NONE when it does not watch (not started, no X display: a Wayland
// session allows no program to watch the keys of others),
// KEYTRAP_X_SESSION when it hears every key of the X session, and
// KEYTRAP_X_PROGRAMS_ONLY when the display is the X server of a Wayland
// session, which hears only keys typed into X programs.
#define KEYTRAP_NONE 0
#define KEYTRAP_X_SESSION 1
#define KEYTRAP_X_PROGRAMS_ONLY 2
KEYTRAP_API int KeyTrapWatching(void);

#ifdef __cplusplus
}

namespace vokar::keytrap {

// The message and its flags.
inline constexpr std::uint32_t WM_KEY_EVENT = 0x0400 + 10;
inline constexpr std::uint32_t kFlagCtrl = 2;
inline constexpr std::uint32_t kFlagAlt = 4;
inline constexpr std::uint32_t kFlagVirtualKey = 8;

// The title of the window the events go to.
inline constexpr const char* kWindowTitle = "Klavo";

}  // namespace vokar::keytrap
#endif
