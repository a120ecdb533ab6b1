// The per-user runtime folder of the desktop session, shared by the desktop
// bus's endpoints and the named objects: VOKAR_DESKTOP_DIR when set (tests run
// on private desktops), else $XDG_RUNTIME_DIR/vokar, else /tmp/vokar-UID.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vokar::paths {

std::filesystem::path RuntimeFolder();

// Creates the folder with mode 0700 when it is missing (with the missing
// parents of a folder that VOKAR_DESKTOP_DIR names). Refuses, with a
// description, a folder that is not a directory (a symbolic link is not
// accepted) or belongs to another user, and takes group and other
// permissions away from one of ours.
std::optional<std::string> PrepareRuntimeFolder(const std::filesystem::path& folder);

// The same checks for a folder that must not be created: nothing when it is
// usable or missing, else what is wrong and how to mend it.
std::optional<std::string> CheckRuntimeFolder(const std::filesystem::path& folder);

}  // namespace vokar::paths
