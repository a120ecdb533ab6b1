// The per-user folder that holds the desktop's endpoints. Each window owns
// three files named by its handle in 16 hex digits: "<handle>.sock" (the
// socket it listens on), "<handle>.lock" (locked for the window's whole life,
// so a lock that can be taken means the window is gone) and, for windows that
// others may find, "<handle>.title" (its title, replaced atomically).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DesktopTypes.h"

namespace vokar::desktop {

// VOKAR_DESKTOP_DIR when set, else $XDG_RUNTIME_DIR/vokar, else /tmp/vokar-UID.
std::filesystem::path DesktopFolder();

// Creates the folder with mode 0700 when it is missing. Refuses (with a
// description) a folder that is not a directory or belongs to another user,
// and takes group and other permissions away from one of ours.
std::optional<std::string> PrepareDesktopFolder(const std::filesystem::path& folder);

// What every call that finds or messages other programs' windows checks
// first, since whoever owns the folder could answer in their name: nothing
// when the folder is ours (group and other permissions are taken away) or
// does not exist (then there are no windows); else what is wrong with it and
// how to mend it. Never creates the folder.
std::optional<std::string> DesktopFolderProblem(const std::filesystem::path& folder);

enum class EndpointFile { Socket, Lock, Title };

std::filesystem::path EndpointPath(const std::filesystem::path& folder, WindowHandle window, EndpointFile file);

// The handle a file of the folder belongs to: its first 16 hex digits before
// a dot. Nothing for files that are not an endpoint's.
std::optional<WindowHandle> HandleOfFileName(std::string_view fileName);

// Removes every file of an endpoint, leftovers of an interrupted start
// included. Missing files are not an error.
void RemoveEndpointFiles(const std::filesystem::path& folder, WindowHandle window);

// Writes the title file through a temporary file and a rename, so a reader
// sees either the old or the new title, never half of one.
bool WriteTitleFile(const std::filesystem::path& folder, WindowHandle window, std::string_view title);

// The title file's contents; nothing when it is missing or too long.
std::optional<std::string> ReadTitleFile(const std::filesystem::path& folder, WindowHandle window);

// True while the owner holds the window's lock: the lock alone decides, never
// the process id in the handle (a program in another PID namespace has an id
// that means nothing here). A window found dead has its files removed; one
// that is still being made (its lock is under a temporary name) is left.
bool EndpointAlive(const std::filesystem::path& folder, WindowHandle window);

struct WindowInfo {
  WindowHandle window;
  std::string title;
};

enum class ScanMode { FirstMatch, All };

// Walks the folder. Files of windows whose lock nobody holds are removed as
// they are met. With a title, only windows of exactly that title are listed;
// FirstMatch stops at the first of them. Without a title every window that
// others may find is listed. Every window listed was alive when it was met.
// Files that belong to another user are never believed.
std::vector<WindowInfo> ScanWindows(const std::filesystem::path& folder, const std::optional<std::string_view>& title,
                                    ScanMode mode);

}  // namespace vokar::desktop
