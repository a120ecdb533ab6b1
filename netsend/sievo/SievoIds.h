// Identifiers of the sender's dialog, its controls, commands and texts.
#pragma once

namespace vokar::netsend {

inline constexpr int IDD_SIEVO_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;  // the program's icon

// Controls, which are also the commands of their buttons.
inline constexpr int IDC_SEND = 1000;            // "&Wyślij"
inline constexpr int IDC_FROM_CLIPBOARD = 1001;  // radio "Tekst ze &schowka"
inline constexpr int IDC_FROM_MESSAGE = 1002;    // radio "Po&niższy komunikat"
inline constexpr int IDC_INFO = 1003;            // "&Info..."
inline constexpr int IDC_HELP = 1004;            // "Pomo&c..."
inline constexpr int IDC_BROWSE = 1005;          // "P&rzeglądaj..."
inline constexpr int IDC_MESSAGE = 1006;         // the message edit
inline constexpr int IDC_BREAK = 1007;           // "&Przerwij"
inline constexpr int IDC_COMPUTER = 1009;        // the target computer
inline constexpr int IDC_EXIT = 1100;            // "&Koniec", also the quit command of the abort box
inline constexpr int IDM_ABOUTBOX = 16;          // the system menu's item

// String resources.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_NO_COMPUTER = 102;
inline constexpr int IDS_NO_CONNECTION = 104;
inline constexpr int IDS_BROWSE_FAILED = 109;
inline constexpr int IDS_SENT = 111;
inline constexpr int IDS_VERSION_LINE = 210;
inline constexpr int IDS_DESCRIPTION_LINE = 211;

// The longest computer name and message the dialog takes.
inline constexpr int kMaxComputerName = 255;
inline constexpr int kMaxMessage = 1023;
// The browse dialog's buffer.
inline constexpr int kBrowseBufferSize = 255;

}  // namespace vokar::netsend
