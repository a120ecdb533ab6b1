// Command identifiers and window messages of remarka: the speech commands of
// its own menu, the framework's file, edit, view, window and help commands,
// and the request one start of the program hands to the running one.
#pragma once

#include <cstdint>

#include "DesktopTypes.h"

namespace vokar::comment {

enum CommandId : int {
  // The V&okar menu.
  ID_READ_COMMENT = 32780,
  ID_PAUSE_SPEECH = 32781,
  ID_CONTINUE_SPEECH = 32782,
  ID_BREAK_SPEECH = 32783,
  ID_SYNTHESIS_PARAMETERS = 32784,
  ID_TEST_SYNTHESIS = 32785,
  ID_GET_TEXT_TO_READ = 32790,  // internal: the active view fills the text to read
  ID_CHOOSE_FONT = 32792,
  ID_QUIT = 32793,  // the speech client's quit command: forwards the exit command

  // The framework's commands.
  ID_FILE_NEW = 57600,
  ID_FILE_OPEN = 57601,
  ID_FILE_CLOSE = 57602,
  ID_FILE_SAVE = 57603,
  ID_FILE_SAVE_AS = 57604,
  ID_FILE_MRU_FIRST = 57616,  // up to 57619: the recent files
  ID_EDIT_COPY = 57634,
  ID_EDIT_CUT = 57635,
  ID_EDIT_PASTE = 57637,
  ID_EDIT_UNDO = 57643,
  ID_WINDOW_ARRANGE = 57649,
  ID_WINDOW_CASCADE = 57650,
  ID_WINDOW_TILE = 57651,
  ID_APP_ABOUT = 57664,
  ID_APP_EXIT = 57665,
  ID_HELP_INDEX = 57666,
  ID_CONTEXT_HELP = 57669,
  ID_VIEW_TOOLBAR = 59392,
  ID_VIEW_STATUS_BAR = 59393,
};

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
