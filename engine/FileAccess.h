// Files that texts, settings and the user name reach the engine through one
// reader with a size bound: wave inserts, the exception dictionary and the
// allophone file. Only a regular file is ever read: a FIFO or a device named
// in a text must not hold up the scanner, and with it the server's window.
// The engine's own reader is standard C++ and looks at the file before it
// opens it; programs install the platform's reader (platform/files), which
// also cannot be caught out by a name replaced between the look and the open.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace vokar {

enum class FileStatus {
  Ok,
  NotFound,    // missing, or not a regular file: a FIFO, a device, a socket, a folder
  CannotOpen,  // a regular file that could not be opened (permissions, no free descriptor)
  ReadError,   // opened, but reading failed part way
};

struct FileContent {
  FileStatus status = FileStatus::NotFound;
  // At most maxBytes bytes from the start of the file; after a ReadError the
  // bytes read before it.
  std::string bytes;
  // The file held more than maxBytes.
  bool truncated = false;

  bool ok() const { return status == FileStatus::Ok; }
};

// Implemented by the platform layer and by the engine's standard reader.
class IFileAccess {
 public:
  virtual ~IFileAccess() = default;

  // Reads at most maxBytes from the start of the named file. Must never block
  // and must never open anything but a regular file (anything else is
  // NotFound).
  virtual FileContent Read(const std::filesystem::path& path, std::size_t maxBytes) const = 0;
};

// The reader every file of the engine goes through: the installed one, else
// StandardFileAccess().
const IFileAccess& FileAccess();

// A program installs its platform's reader once at start, before any file is
// read; the object must live as long as the engine is used. nullptr brings
// back the standard reader.
void InstallFileAccess(const IFileAccess* access);

// Standard C++ only: asks the file system what the name is and opens it only
// when it is a regular file. Between that look and the open another program
// could put a FIFO in its place; the platform's reader closes that gap.
const IFileAccess& StandardFileAccess();

}  // namespace vokar
