// Identifiers of the clock's windows: dialogs, controls, commands and timers.
// Controls carry their number in their object name ("control255"), so that
// tests and tools find them as on the original desktop.
#pragma once

namespace vokar::clock {

// The OK and Cancel buttons of every dialog ("Potwierdź" and "&Anuluj" in
// the very-important events dialog).
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Dialogs.
inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDD_HOTKEYS_PAGE = 103;
inline constexpr int IDD_CLOCK_PAGE = 104;
inline constexpr int IDD_EVENTS_PAGE = 105;
inline constexpr int IDD_ADVICE_PAGE = 106;
inline constexpr int IDD_EVENT_EDIT = 107;
inline constexpr int IDD_IMPORTANT_EVENTS = 108;
inline constexpr int IDI_CLOCK = 109;

// The command buttons right of the pages.
inline constexpr int IDC_HOUR = 200;
inline constexpr int IDC_DATE = 201;
inline constexpr int IDC_ADVICE = 202;
inline constexpr int IDC_IMPORTANT = 203;
inline constexpr int IDC_INFO = 204;
inline constexpr int IDC_HELP = 205;
inline constexpr int IDC_EXIT = 206;

// Every page with a sound: the sound check box, its file and the prefix.
inline constexpr int IDC_INIT_SOUND = 220;
inline constexpr int IDC_INIT_SOUND_NAME = 221;
inline constexpr int IDC_INIT_SOUND_BROWSE = 222;
inline constexpr int IDC_PREFIX = 223;

// The clock page.
inline constexpr int IDC_SOUND_FOR_HOURS = 230;
inline constexpr int IDC_24_HOURS = 231;
inline constexpr int IDC_COLLOQUIAL = 232;
inline constexpr int IDC_WITHOUT_MINUTES = 233;
inline constexpr int IDC_CHIME_FIRST = 234;  // 234..239: Frequency 0..5
inline constexpr int IDC_ADD_SECONDS = 240;

// The events page.
inline constexpr int IDC_EVENTS_PATH = 250;
inline constexpr int IDC_EVENTS_BROWSE = 251;
inline constexpr int IDC_EVENT_ADD = 252;
inline constexpr int IDC_EVENT_DELETE = 253;
inline constexpr int IDC_EVENT_MODIFY = 254;
inline constexpr int IDC_EVENTS_LIST = 255;
inline constexpr int IDC_EVENTS_KIND = 256;

// The advice page.
inline constexpr int IDC_ADVICE_FILE = 270;
inline constexpr int IDC_ADVICE_BROWSE = 271;
inline constexpr int IDC_ADVICE_FREQUENCY_FIRST = 272;  // 272..275: Frequency 0..3
inline constexpr int IDC_ADVICE_RANDOM = 277;
inline constexpr int IDC_ADVICE_IN_TURN = 278;

// The hot-keys page.
inline constexpr int IDC_HOTKEY_APPLY = 290;
inline constexpr int IDC_HOTKEY_LIST = 291;
inline constexpr int IDC_HOTKEY_EDIT = 292;

// The event edit dialog.
inline constexpr int IDC_EDIT_YEAR = 301;
inline constexpr int IDC_EDIT_MONTH = 302;
inline constexpr int IDC_EDIT_DAY = 303;
inline constexpr int IDC_EDIT_WEEKDAY = 304;
inline constexpr int IDC_EDIT_HOUR = 305;
inline constexpr int IDC_EDIT_MINUTE = 306;
inline constexpr int IDC_EDIT_TEXT = 307;
inline constexpr int IDC_EDIT_KIND = 308;
inline constexpr int IDC_EDIT_IMPORTANT = 309;

// The very-important events dialog.
inline constexpr int IDC_IMPORTANT_READ = 320;
inline constexpr int IDC_IMPORTANT_LIST = 321;

// Commands of the hot keys and of other programs.
inline constexpr int ID_READ_HOUR = 33020;
inline constexpr int ID_READ_DATE = 33021;
inline constexpr int ID_READ_ADVICE = 33022;
inline constexpr int ID_APP_END = 33030;
inline constexpr int ID_APP_ABOUT = 16;

// Timers: the one-second tick and the connection one second after start.
inline constexpr int kTickTimer = 7780;
inline constexpr int kConnectTimer = 7781;

// The first registration slot of the clock's three hot keys.
inline constexpr int kFirstHotKeySlot = 20;

}  // namespace vokar::clock
