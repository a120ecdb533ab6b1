#include "ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "Descriptors.h"

namespace vokar::comment {
namespace {

// The mode a new file gets from the process's mask, as open() would give it.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::filesystem::path ReplaceTarget(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) {
    const auto resolved = std::filesystem::canonical(path, error);
    if (!error) return resolved;
  }
  return path;
}

}  // namespace

std::string ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
  const std::filesystem::path target = ReplaceTarget(path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  // A short name of our own: the target's name plus a suffix could pass the
  // system's limit for one name.
  std::string temporary = (folder / ".vokar-save-XXXXXX").string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return std::generic_category().message(errno);

  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : NewFileMode();
  int problem = 0;
  if (!files::WriteWhole(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) problem = errno;
  if (::close(fd) != 0 && problem == 0) problem = errno;
  if (problem == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) problem = errno;
  if (problem != 0) {
    ::unlink(temporary.c_str());
    return std::generic_category().message(problem);
  }
  // The rename itself reaches the disk with the folder.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return {};
}

}  // namespace vokar::comment
