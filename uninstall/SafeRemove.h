// Deleting what the installation record names, without ever deleting what is
// not the suite's. The record lives in a store the user can write, so every
// path in it is checked: the working directory goes only when it holds the
// suite's marker and is neither the root, the home folder nor a folder above
// either; the programs group keeps to a plain folder name; nothing follows a
// symbolic link (a link inside a tree is removed, never entered) and nothing
// crosses into another file system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vokar::uninstall {

enum class TreeVerdict {
  Removed,       // the folder and everything in it are gone
  PartlyRemoved, // something inside could not be deleted, so the folder stays
  Missing,       // nothing of that name
  NotAbsolute,   // a relative or empty path names no particular folder
  SymbolicLink,  // the path itself is a link: left alone
  NotAFolder,
  Protected,     // the root, the home folder or a folder above either
  NoMarker,      // not the suite's working directory
  BadName,       // a group name with a path separator or ".."
};

// A short English description for the uninstaller's diagnostics.
const char* VerdictText(TreeVerdict verdict);

// True for a path that must never be deleted: "/", the home folder (the one
// given, $HOME and the account's), or a folder above one of them, compared
// after resolving links; also a path whose real place cannot be found.
bool IsProtectedFolder(const std::filesystem::path& folder, const std::filesystem::path& home);

// True when the folder holds the marker file, a regular file with the
// marker's exact text.
bool HasSuiteMarker(const std::filesystem::path& folder);

// Deletes the working directory with everything in it, after the checks above.
TreeVerdict RemoveWorkingDirectory(const std::filesystem::path& directory, const std::filesystem::path& home);

// A group name names one folder inside the programs menu: not empty, no "/"
// or "\", no "..".
bool IsPlainGroupName(std::string_view name);

// Deletes the suite's desktop entries in the group folder (and links), then
// the folder when nothing else is left in it.
TreeVerdict RemoveGroupFolder(const std::filesystem::path& programs, std::string_view groupName,
                              const std::filesystem::path& home);

// Deletes one shortcut: a desktop entry of the suite, or a link of that name.
// Anything else of that name stays. True when something was deleted.
bool RemoveShortcut(const std::filesystem::path& file);

}  // namespace vokar::uninstall
