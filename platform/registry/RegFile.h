// The text format of .reg files, as the settings store exports and imports it:
// the line "Windows Registry Editor Version 5.00", then for each key a line
// [HKEY_...\path] and its values, "name"="text" (with \\ and \" escaped),
// "name"=dword:0000000a, @= for the default value. On import [-KEY] deletes a
// key tree and "name"=- a value. Text is UTF-8 (a UTF-16 file is converted).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "KeyLocation.h"
#include "Registry.h"

namespace vokar::registry {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

// The text of the given keys with all their subkeys, each key in its own
// section; keys that have no values still get their section, so that empty
// keys come back on import. NotFound when a key is missing. A name with a
// control character (which no key or value may be given now, but an older
// store may hold) cannot be written: that value, or that key with its
// subtree, is left out, and named in skipped when it is given.
Result<std::string> ExportRegText(const std::vector<KeyLocation>& keys);
Result<std::string> ExportRegText(const std::vector<KeyLocation>& keys, std::vector<std::string>* skipped);

// The same for the three hives whole.
Result<std::string> ExportAllRegText();
Result<std::string> ExportAllRegText(std::vector<std::string>* skipped);

struct RegOperation {
  enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
  Kind kind = Kind::CreateKey;
  KeyLocation key;
  std::string name;  // value name for SetValue and DeleteValue; "" is the default value
  Value value;
  int line = 0;  // where the operation stands in the file
};

// Reads the whole text before anything changes, so a file with a mistake
// changes nothing; errors (BadName or BadValue) say the line and what is wrong.
Result<std::vector<RegOperation>> ParseRegText(std::string_view bytes);

// Carries out the operations in order, all in one transaction per hive: at
// the first failure (whose description names the line) nothing of them is
// kept. Deleting a key or value that is already gone is not a failure.
Status ApplyRegOperations(const std::vector<RegOperation>& operations);

// ParseRegText then ApplyRegOperations.
Status ImportRegText(std::string_view bytes);

}  // namespace vokar::registry
