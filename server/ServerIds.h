// The identities of the speech server that other programs and the server's
// own parts rely on: the window's messages, the timer, the tray icon and the
// protocol's names and version. The command and control identifiers are in
// ServerResources.strings with the texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "DesktopTypes.h"
#include "ServerResources.h"

namespace vokar::server {

// The title other programs find the server's window by; also the program's
// name in the settings store.
inline constexpr std::string_view kServerTitle = "Vokar";

// Private window messages.
inline constexpr std::uint32_t WM_SERVER_VERSION = desktop::WM_USER + 1;
inline constexpr std::uint32_t WM_SERVER_OPENFILE = desktop::WM_USER + 2;
inline constexpr std::uint32_t WM_SERVER_SHOW = desktop::WM_USER + 4;
inline constexpr std::uint32_t WM_TRAY_NOTIFY = desktop::WM_USER + 12;

// The version the server answers WM_SERVER_VERSION with: 1.1 and 95.3.
inline constexpr std::int64_t kVersionHigh = 0x00010001;
inline constexpr std::int64_t kVersionLow = 0x005F0003;

// The window's timer and the tray icon.
inline constexpr int kTimerId = 888;
inline constexpr int kTimerPeriodMs = 500;
inline constexpr int kTrayIconId = 345;

// The DDE names: the service is the executable's base name, compared without
// regard to case; the topic and the poke item are fixed.
inline constexpr std::string_view kDdeTopic = "system";
inline constexpr std::string_view kPokeItem = "text";
// The item the agent of the network share (vknetdde) pokes another
// computer's text as: stored like "text", and read as a text from another
// computer, whose tags shape only its own reading. Only the agent names it,
// whatever the other computer sent; a local program that does gains nothing.
inline constexpr std::string_view kSharePokeItem = "sharetext";

// The text buffer and what each writer may store in it (a NUL follows).
inline constexpr std::size_t kTextBufferSize = 65280;
inline constexpr std::size_t kMaxPokeBytes = 65276;
inline constexpr std::size_t kMaxClipboardBytes = 65278;
inline constexpr std::size_t kMaxFileBytes = 65279;
// An execute command is read up to this many characters.
inline constexpr std::size_t kMaxExecuteChars = 519;

// The named objects of the single instance and of a client's wait.
inline constexpr std::string_view kInstanceSemaphore = "VokarInstance";
inline constexpr std::string_view kStartedEvent = "Server_VOKAR_Started";

// How long a second start waits for the first instance's window.
inline constexpr int kHandOverWaitMs = 10000;

}  // namespace vokar::server
