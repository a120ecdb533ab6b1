// Reads files that users, settings, other programs or the network name: only a
// regular file is ever opened, never a FIFO, a device, a socket or a folder, and
// opening never blocks. The cause of a failure comes back as a FileError, which
// each program turns into its own message.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace vokar::files {

// Why a named file could not be opened or read; the server turns each into its cause text.
enum class FileError { None, NotFound, BadPath, TooManyOpenFiles, AccessDenied,
                       InvalidHandle, BadSeek, HardwareError, SharingViolation,
                       LockViolation, EndOfFile, Other };

struct FileRead {
  std::string bytes;            // at most maxBytes bytes of the file
  FileError error = FileError::None;
  bool ok() const { return error == FileError::None; }
  // Set when the file held more than maxBytes, so that bytes is only its start.
  bool truncated = false;
};

// Reads at most maxBytes from the start of a regular file. Never blocks and never opens
// anything but a regular file: FIFOs, devices, sockets and directories are NotFound;
// a path longer than the system allows (PATH_MAX) is BadPath, never cut.
// When reading fails part way, bytes keeps what was read before the failure.
FileRead ReadRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

// The error an errno value of open, stat or read stands for (0 gives None).
FileError ErrorFromErrno(int errorNumber);

// A short English name of the error ("not found"), for logs and tool output.
const char* FileErrorName(FileError error);

}  // namespace vokar::files
