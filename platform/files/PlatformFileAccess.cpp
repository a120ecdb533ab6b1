#include "PlatformFileAccess.h"

#include <utility>

namespace vokar::files {

FileStatus StatusOf(FileError error) {
  switch (error) {
    case FileError::None:
      return FileStatus::Ok;
    case FileError::NotFound:
    case FileError::BadPath:
      // A path the system cannot take names no file.
      return FileStatus::NotFound;
    case FileError::HardwareError:
    case FileError::LockViolation:
    case FileError::EndOfFile:
      return FileStatus::ReadError;
    case FileError::TooManyOpenFiles:
    case FileError::AccessDenied:
    case FileError::InvalidHandle:
    case FileError::BadSeek:
    case FileError::SharingViolation:
    case FileError::Other:
      return FileStatus::CannotOpen;
  }
  return FileStatus::CannotOpen;
}

FileContent PlatformFileAccess::Read(const std::filesystem::path& path, std::size_t maxBytes) const {
  FileRead read = ReadRegularFile(path, maxBytes);
  FileContent content;
  content.status = StatusOf(read.error);
  content.bytes = std::move(read.bytes);
  content.truncated = read.truncated;
  return content;
}

void InstallPlatformFileAccess() {
  static const PlatformFileAccess access;
  InstallFileAccess(&access);
}

}  // namespace vokar::files
