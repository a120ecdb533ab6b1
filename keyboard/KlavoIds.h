// The keyboard program's identifiers: its dialogs, controls, commands and
// string resources (KlavoResources.strings), its private messages, hot-key
// slots, tray icon and timer.
#pragma once

#include <cstdint>

#include "KlavoResources.h"

namespace vokar::keyboard {

// The hot keys take the registration slots 10-15.
inline constexpr int kFirstHotKeySlot = 10;

// Private messages.
inline constexpr std::uint32_t kWmUser = 0x0400;
// A second start asks the running program to bring its window forward (the
// number the suite uses for "show your window").
inline constexpr std::uint32_t WM_KLAVO_SHOW = kWmUser + 4;
inline constexpr std::uint32_t WM_TRAY_NOTIFY = kWmUser + 12;

// The tray icon's identifier and the engine's timer.
inline constexpr int kTrayIconId = 346;
inline constexpr int kTimerId = 7777;
inline constexpr int kTimerPeriodMs = 250;

inline constexpr const char* kKlavoTitle = "Klavo";
inline constexpr const char* kInstanceLock = "KlavoInstance";

}  // namespace vokar::keyboard
