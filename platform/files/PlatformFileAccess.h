// The engine's file reader on this platform: every file the engine reads
// (wave inserts, the exception dictionary, the allophone file) goes through
// ReadRegularFile, which never opens anything but a regular file and never
// blocks. Programs install it once at start with InstallPlatformFileAccess.
#pragma once

#include "FileAccess.h"
#include "RegularFile.h"

namespace vokar::files {

class PlatformFileAccess final : public IFileAccess {
 public:
  FileContent Read(const std::filesystem::path& path, std::size_t maxBytes) const override;
};

// The engine's status for a cause of ReadRegularFile.
FileStatus StatusOf(FileError error);

// Makes the engine read through PlatformFileAccess for the rest of the process.
void InstallPlatformFileAccess();

}  // namespace vokar::files
