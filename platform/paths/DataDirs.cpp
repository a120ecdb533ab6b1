#include "DataDirs.h"

#include <cstdlib>
#include <system_error>

namespace vokar::paths {

std::filesystem::path ExecutableDir() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : exe.parent_path();
}

std::vector<std::filesystem::path> DataDirs() {
  if (const char* dir = std::getenv("VOKAR_DATA_DIR"); dir && *dir) return {dir};
  const auto exeDir = ExecutableDir();
  if (exeDir.empty()) return {};
  return {(exeDir / ".." / "share" / "vokar").lexically_normal()};
}

}  // namespace vokar::paths
