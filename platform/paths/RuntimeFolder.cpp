#include "RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vokar::paths {
namespace {

// How to get out of a folder that cannot be used, said the same way by every
// program that meets it.
std::string Remedy() {
  return "remove it (as its owner or root), or set XDG_RUNTIME_DIR to a private folder of your own";
}

}  // namespace

std::filesystem::path RuntimeFolder() {
  if (const char* dir = std::getenv("VOKAR_DESKTOP_DIR"); dir != nullptr && *dir != '\0') return dir;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0')
    return std::filesystem::path(runtime) / "vokar";
  return "/tmp/vokar-" + std::to_string(::geteuid());
}

std::optional<std::string> CheckRuntimeFolder(const std::filesystem::path& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return "cannot examine the folder " + folder.string() + ": " + std::strerror(errno);
  }
  if (!S_ISDIR(info.st_mode)) {
    return "the folder " + folder.string() + " is not a directory (a symbolic link is not accepted); " + Remedy();
  }
  if (info.st_uid != ::geteuid()) {
    return "the folder " + folder.string() + " belongs to another user (uid " + std::to_string(info.st_uid) +
           "), who could read and answer every message of the suite's programs; " + Remedy();
  }
  if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), info.st_mode & 0700) != 0)
    return "cannot make the folder " + folder.string() + " private: " + std::strerror(errno);
  return std::nullopt;
}

std::optional<std::string> PrepareRuntimeFolder(const std::filesystem::path& folder) {
  if (const char* dir = std::getenv("VOKAR_DESKTOP_DIR"); dir != nullptr && folder == dir) {
    std::error_code ignored;
    std::filesystem::create_directories(folder.parent_path(), ignored);
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return "cannot create the folder " + folder.string() + ": " + std::strerror(errno);
  if (auto problem = CheckRuntimeFolder(folder)) return problem;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0)
    return "cannot examine the folder " + folder.string() + ": " + std::strerror(errno);
  return std::nullopt;
}

}  // namespace vokar::paths
