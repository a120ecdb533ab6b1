// The keyboard program's identifiers: its dialogs and controls, commands,
// string resources, private messages and timer.
#pragma once

#include <cstdint>

namespace vokar::keyboard {

// Dialogs.
inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDD_KLAVO = 102;

// Controls of the main dialog.
inline constexpr int IDC_START_STOP = 1000;
inline constexpr int IDC_CLEAR_BUFFER = 1001;
inline constexpr int IDC_INFO = 1002;
inline constexpr int IDC_HELP = 1003;
inline constexpr int IDC_EXIT = 1004;
inline constexpr int IDC_SOUND_SEPARATOR = 1010;
inline constexpr int IDC_SOUND_CR = 1011;
inline constexpr int IDC_SOUND_CLEAR = 1012;
inline constexpr int IDC_SOUND_DESYNCHRO = 1013;
inline constexpr int IDC_SOUND_ECHO = 1014;
inline constexpr int IDC_SOUND_ONOFF = 1015;
inline constexpr int IDC_HOTKEY_APPLY = 1020;
inline constexpr int IDC_HOTKEY_LIST = 1021;
inline constexpr int IDC_HOTKEY_EDIT = 1022;
inline constexpr int IDC_WHOLE_WORDS = 1024;
inline constexpr int IDC_ECHO = 1025;
inline constexpr int IDC_BUFFER = 1026;

// Commands (buttons, hot keys, the tray menu).
inline constexpr int ID_START_STOP = 33010;
inline constexpr int ID_SWITCH_ECHO = 33011;
inline constexpr int ID_CLEAR_BUFFER = 33012;
inline constexpr int ID_LOAD_BUFFER = 33013;
inline constexpr int ID_LAST_WORD = 33014;
inline constexpr int ID_LAST_SENTENCE = 33015;
inline constexpr int ID_APP_END = 33019;
inline constexpr int ID_ABOUT = 16;  // the system menu's about item

// The hot keys take the registration slots 10-15.
inline constexpr int kFirstHotKeySlot = 10;

// String resources.
inline constexpr int IDS_ABOUT_MENU = 101;
inline constexpr int IDS_HOTKEY_START_STOP = 5889;
inline constexpr int IDS_HOTKEY_SWITCH_ECHO = 5890;
inline constexpr int IDS_HOTKEY_CLEAR_BUFFER = 5891;
inline constexpr int IDS_HOTKEY_LOAD_BUFFER = 5892;
inline constexpr int IDS_HOTKEY_LAST_WORD = 5893;
inline constexpr int IDS_HOTKEY_LAST_SENTENCE = 5894;
inline constexpr int IDS_SWITCH_OFF = 5904;
inline constexpr int IDS_SWITCH_ON = 5905;
inline constexpr int IDS_NO_HOTKEY = 5906;
inline constexpr int IDS_HOTKEY_BUSY = 5907;
inline constexpr int IDS_RECONNECT_FAILED = 5908;
inline constexpr int IDS_VERSION = 5912;
inline constexpr int IDS_DESCRIPTION = 5913;
// What Linux adds.
inline constexpr int IDS_NO_KEY_WATCHING = 5920;
inline constexpr int IDS_X_PROGRAMS_ONLY = 5921;
inline constexpr int IDS_HELP_NOT_FOUND = 5922;
inline constexpr int IDS_NO_DESKTOP = 5923;

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
