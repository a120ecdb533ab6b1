// Messages the desktop tests exchange with the peer program: each window of
// the peer answers them as described beside each number.
#pragma once

#include "DesktopTypes.h"

namespace vokar::desktop::peer {

// wParam 0: 0x00010001, wParam 1: 0x005F0003, anything else 0.
inline constexpr std::uint32_t kVersion = WM_USER + 1;
// Posted: wParam is appended to the window's list of received posts.
inline constexpr std::uint32_t kRecord = WM_USER + 20;
// Result: the number of recorded posts; reply: them in order, comma-separated.
inline constexpr std::uint32_t kRecorded = WM_USER + 21;
// Result: lParam + 1; reply: the payload unchanged.
inline constexpr std::uint32_t kEcho = WM_USER + 22;
// Sends kEcho to window wParam with lParam and answers that result times 10:
// a send that makes its sender handle a send while it waits.
inline constexpr std::uint32_t kCallBack = WM_USER + 23;
// Posted: sends kEcho to window wParam as many times as the peer's --storm
// count says, then posts kStormDone to window lParam with wParam = the number
// of correct answers and lParam = its own handle.
inline constexpr std::uint32_t kStorm = WM_USER + 25;
inline constexpr std::uint32_t kStormDone = WM_USER + 26;
// The payload becomes the window's title.
inline constexpr std::uint32_t kSetTitle = WM_USER + 27;
// Posts kRecord lParam times to window wParam; result: how many of the posts
// were accepted.
inline constexpr std::uint32_t kPostTo = WM_USER + 28;

inline constexpr std::int64_t kVersionMajor = 0x00010001;
inline constexpr std::int64_t kVersionMinor = 0x005F0003;

}  // namespace vokar::desktop::peer
