// `cmake --install` of the build, as a test runs it without writing into the
// build folder. cmake --install writes the list of what it installed
// (install_manifest.txt) into the build folder: it would stay there after
// the test, and two tests installing at the same time would write the one
// file together. A test runs a copy of the build's install script instead,
// kept in the test's own folder, which writes that list beside itself; the
// rest of the script (the install rules of every folder, which it includes
// by their absolute paths) is the build's own:
//
//   cmake -DCMAKE_INSTALL_PREFIX=PREFIX -P <folder>/cmake_install.cmake
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestBytes.h"

namespace vokar::test {

// Writes the copy into the folder; an empty path when the build's script does
// not write its list where this expects it (the copy would then write into
// the build folder after all).
inline std::filesystem::path WriteInstallScript(const std::filesystem::path& buildDir,
                                                const std::filesystem::path& folder) {
  std::string script = ReadAll(buildDir / "cmake_install.cmake");
  const std::string into = "file(WRITE \"" + buildDir.string() + "/${CMAKE_INSTALL_MANIFEST}\"";
  const auto at = script.find(into);
  if (at == std::string::npos || script.find(into, at + 1) != std::string::npos) return {};
  script.replace(at, into.size(), "file(WRITE \"" + folder.string() + "/${CMAKE_INSTALL_MANIFEST}\"");
  std::filesystem::create_directories(folder);
  const std::filesystem::path copy = folder / "cmake_install.cmake";
  std::ofstream out(copy, std::ios::binary | std::ios::trunc);
  out << script;
  out.close();
  return out ? copy : std::filesystem::path();
}

// The arguments of cmake that install the build into the prefix by that copy.
inline std::vector<std::string> InstallArguments(const std::filesystem::path& script,
                                                 const std::filesystem::path& prefix) {
  return {"-DCMAKE_INSTALL_PREFIX=" + prefix.string(), "-P", script.string()};
}

}  // namespace vokar::test
