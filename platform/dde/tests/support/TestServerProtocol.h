// What the DDE test server offers beside the speech server's own protocol,
// for tests to look inside it.
#pragma once

#include "DesktopTypes.h"

namespace vokar::dde::testserver {

inline constexpr std::uint32_t WM_SERVER_VERSION = desktop::WM_USER + 1;
inline constexpr std::uint32_t WM_SERVER_SHOW = desktop::WM_USER + 4;
inline constexpr std::uint32_t ID_BREAK = 33012;
inline constexpr std::uint32_t ID_READ_TEXT = 33018;

// Result: the length of the text in the buffer; reply: the text itself.
inline constexpr std::uint32_t kGetText = desktop::WM_USER + 100;
// The server ends the conversation with the client window in wParam (0: the
// window of the latest DDE request), as a server that closes would.
inline constexpr std::uint32_t kTerminateClient = desktop::WM_USER + 101;
// Result: the number of reading jobs started so far.
inline constexpr std::uint32_t kJobsStarted = desktop::WM_USER + 102;

inline constexpr std::size_t kTextBufferSize = 65280;
inline constexpr std::size_t kMaxPokeText = 65276;

}  // namespace vokar::dde::testserver
