// The files the uninstaller reads that others write: desktop entries (is it
// one of ours?) and the package manager's list of a package's files.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Places.h"
#include "Uninstaller.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vokar::suite::IsSuiteEntry(bytes);
  vokar::uninstall::ListNamesFile(bytes, "/usr/bin/vkremove");
  return 0;
}
