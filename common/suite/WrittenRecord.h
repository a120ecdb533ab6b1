// The record of what the suite wrote for a user: every file and folder that
// vkinstall (and the first start, which runs it) created, by its resolved
// path, kept in the installation record of the settings store. The
// uninstaller takes away what is in it and nothing else, so that a file the
// user put beside the suite's, or a folder the user had before, stays.
//
// A run watches the paths it may create (CreationWatch): whatever did not
// exist before the run and exists after it is the suite's. Folders above a
// watched path are watched too, up to the home folder (never the home folder
// itself or anything above it).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vokar::suite {

struct WrittenRecord {
  std::vector<std::filesystem::path> files;
  std::vector<std::filesystem::path> folders;

  bool empty() const { return files.empty() && folders.empty(); }
};

// The record in the store; empty when there is none. Entries that are not
// absolute, normal paths are left out (the store is the user's to edit).
WrittenRecord ReadWrittenRecord();

// Adds the entries to the record in the store (those already in it are kept
// once). An empty string when done, else why not.
std::string AddToWrittenRecord(const WrittenRecord& added);

class CreationWatch {
 public:
  // Watches a file or folder path and the folders above it (below the home
  // folder, or below `base` for a path outside the home folder).
  void Watch(const std::filesystem::path& path, const std::filesystem::path& base);
  // Watches a folder and everything in it at any depth, as it is now and as
  // it is after the run (a generated database whose files are not known by
  // name beforehand). Kept to folders of a few thousand files.
  void WatchTree(const std::filesystem::path& folder, const std::filesystem::path& base);

  // Takes the state before the run. Watch and WatchTree may come before or after.
  void Before();
  // What exists now and did not exist at Before(), by resolved path, folders
  // before the files and folders in them; symbolic links are never recorded.
  WrittenRecord Created() const;

 private:
  std::vector<std::filesystem::path> paths_;
  std::vector<std::filesystem::path> trees_;
  std::vector<std::filesystem::path> existed_;
};

// The path with every symbolic link on the way resolved, also when its last
// parts do not exist (yet); the path itself when it is not absolute.
std::filesystem::path ResolvedPath(const std::filesystem::path& path);

}  // namespace vokar::suite
