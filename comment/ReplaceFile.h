// Replacing a file's contents without ever leaving a half-written file: the
// bytes go into a new file beside the old one, reach the disk, and the new
// file is renamed over the old. A failure at any step leaves the old file as
// it was and removes the new one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vokar::comment {

// Returns an empty string when done, else the system's reason. An existing
// file keeps its permissions (a new one gets the process's default); a
// symbolic link is followed, so the link stays and its target changes.
std::string ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vokar::comment
