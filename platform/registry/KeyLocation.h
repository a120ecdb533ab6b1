// Key paths as users and .reg files write them: a hive name, long or short
// (HKEY_CURRENT_USER or HKCU, HKEY_LOCAL_MACHINE or HKLM, HKEY_CLASSES_ROOT or
// HKCR), then the key path below it after a backslash.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Registry.h"

namespace vokar::registry {

struct KeyLocation {
  Root root = Root::CurrentUser;
  std::string path;  // "" for the hive itself
};

// Nothing when the hive name is unknown. The hive name is matched without
// regard to case; trailing backslashes are dropped. The path itself is
// checked only when a key is opened.
std::optional<KeyLocation> ParseKeyLocation(std::string_view text);

// "HKEY_CURRENT_USER\Software\Quillmark".
std::string FormatKeyLocation(const KeyLocation& location);

}  // namespace vokar::registry
