// Where the suite's programs find their data: the folder named by
// VOKAR_DATA_DIR, else ../share/vokar beside the executable, which holds in
// the build folder as in an installation.
#pragma once

#include <filesystem>
#include <vector>

namespace vokar::paths {

// The folder of the running executable; empty when it cannot be found.
std::filesystem::path ExecutableDir();

std::vector<std::filesystem::path> DataDirs();

}  // namespace vokar::paths
