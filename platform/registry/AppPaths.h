// Where a program of the suite is installed, as the machine's App Paths key
// records it: the default value of
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\<exe>.
#pragma once

#include <string>
#include <string_view>

#include "Registry.h"

namespace vokar::registry {

// "Software\Microsoft\Windows\CurrentVersion\App Paths\<exe>".
std::string AppPathKey(std::string_view exeName);

// The recorded path in UTF-8; NotFound when the key or its default value is
// missing.
Result<std::string> ReadAppPath(std::string_view exeName);

// Records the path, creating the key when missing.
Status WriteAppPath(std::string_view exeName, std::string_view utf8Path);

}  // namespace vokar::registry
