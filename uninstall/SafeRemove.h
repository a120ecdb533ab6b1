// Deleting what the suite wrote, and never what it did not. The installation
// record lives in a store the user can write, so every path in it is checked:
// a folder is reached from the root one part at a time, never through a
// symbolic link anywhere on its path; a file goes only when it is verifiably
// the suite's (a desktop entry with the suite's owner key, the working
// directory's marker, the generated files of a MIME database the suite made
// and that serves nothing else any more); a folder goes only when it is
// empty. The working directory is neither the root, the home folder nor a
// folder above either. What stays because it is not the suite's, or because
// a link is on its way, is handed back so the uninstaller can say so.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "WrittenRecord.h"

namespace vokar::uninstall {

enum class TreeVerdict {
  Removed,       // the folder and what the suite put in it are gone
  KeptOthers,    // what the suite put in it is gone; the folder stays with what others put there
  Missing,       // nothing of that name
  NotAbsolute,   // a relative, empty or not normal path names no particular folder
  SymbolicLink,  // a symbolic link on the path (the folder itself or one above it): left alone
  NotAFolder,
  Protected,     // the root, the home folder or a folder above either
  NoMarker,      // not the suite's working directory
  BadName,       // a group name with a path separator or ".."
};

// A short English description for the uninstaller's diagnostics.
const char* VerdictText(TreeVerdict verdict);

// Why something the uninstaller met stays where it is.
enum class LeftReason {
  NotTheSuites,  // a file or folder the suite did not make (the user's)
  LinkOnTheWay,  // reached only through a symbolic link
};

struct LeftItem {
  std::filesystem::path path;
  LeftReason reason;
};

// True for a path that must never be deleted: "/", the home folder (the one
// given, $HOME and the account's), or a folder above one of them, compared
// after resolving links; also a path whose real place cannot be found.
bool IsProtectedFolder(const std::filesystem::path& folder, const std::filesystem::path& home);

// True when the folder holds the marker file, a regular file with the
// marker's exact text.
bool HasSuiteMarker(const std::filesystem::path& folder);

// Takes the suite's files out of its working directory (the marker, and what
// the record says the suite made in it), then the directory itself when
// nothing else is in it; what else is in it stays and is added to left.
TreeVerdict RemoveWorkingDirectory(const std::filesystem::path& directory, const std::filesystem::path& home,
                                   const suite::WrittenRecord& record, std::vector<LeftItem>& left);

// A group name names one folder inside the programs menu: not empty, no "/"
// or "\", no "..".
bool IsPlainGroupName(std::string_view name);

// Deletes the suite's desktop entries in the group folder, then the folder
// when nothing else is left in it; what else is in it is added to left.
TreeVerdict RemoveGroupFolder(const std::filesystem::path& programs, std::string_view groupName,
                              const std::filesystem::path& home, std::vector<LeftItem>& left);

// Deletes one shortcut: a desktop entry of the suite (a regular file with the
// owner key), reached without links. Anything else of that name, a link
// included, stays. True when something was deleted.
bool RemoveShortcut(const std::filesystem::path& file);

// Takes away what the record names and is still the suite's: files first,
// then the folders the suite made, deepest first, when they are empty.
void RemoveRecorded(const suite::WrittenRecord& record, std::vector<LeftItem>& left);

// The comment type's files on the desktop that the record names (its MIME
// package, its desktop entry, its icons) go as RemoveRecorded takes files:
// only those, reached without links. A file of one of those names that the
// record does not name is not the suite's and stays. Returns the MIME
// databases the package was taken out of.
std::vector<std::filesystem::path> RemoveRecordedCommentType(const suite::WrittenRecord& record,
                                                             std::vector<LeftItem>& left);

// True when the MIME database, reached without links, still has a package
// (another program's, the user's) in its packages folder.
bool MimeDatabaseHasPackages(const std::filesystem::path& database);

// Deletes the regular file at the path, reached without links, when it is
// still the file with that device and inode number. True when deleted.
bool RemoveThisFile(const std::filesystem::path& file, dev_t device, ino_t inode);

}  // namespace vokar::uninstall
