// The files the suite reads that others write: desktop entries (is it one of
// ours?), the package manager's list of a package's files, and the user's
// user-dirs.dirs (where the documents folder is).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Places.h"
#include "Uninstaller.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vokar::suite::IsSuiteEntry(bytes);
  vokar::uninstall::ListNamesFile(bytes, "/usr/bin/vkremove");
  vokar::suite::DocumentsDirFromUserDirs(bytes, "/home/ala");
  return 0;
}
