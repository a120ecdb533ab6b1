// Command identifiers and window messages of remarka: the speech commands of
// its own menu, the framework's file, edit, view, window and help commands,
// and the request one start of the program hands to the running one.
#pragma once

#include <cstdint>

#include "DesktopTypes.h"
#include "RemarkaResources.h"

namespace vokar::comment {

inline constexpr int kRecentFileCount = 4;

// A later start of the program hands its request to the running one: wParam
// the verb (0 read the comment aloud, 1 open it in the editor), the payload
// the comment's full path (empty with verb 1: only bring the editor up).
// The result is 1 when the request was taken.
inline constexpr std::uint32_t WM_COMMENT_REQUEST = desktop::WM_USER + 20;

enum class Verb : std::uint64_t { Read = 0, Open = 1 };

// Show commands as the settings keep them.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;

}  // namespace vokar::comment
