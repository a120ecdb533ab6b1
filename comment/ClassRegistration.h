// The comment type's entries in the class root of the settings store
// (HKEY_CLASSES_ROOT): the file-type id, the class identifier with its verbs,
// type names and server, and the ".ann" extension with its icon and open
// command. Some entries are written only when missing, so that what a user
// changed stays; the ones that name the program are rewritten every time.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vokar::comment {

enum class WriteRule { WhenMissing, Always };

// One key's default value.
struct ClassEntry {
  std::string key;
  std::string value;
  WriteRule rule;
};

// Every entry, with the program's full path filled in, in the order written.
std::vector<ClassEntry> ClassEntries(const std::filesystem::path& program);

struct RegistrationOutcome {
  bool ok = true;
  std::vector<std::string> problems;  // one line per entry that failed, naming it
};

// Writes the entries. ".ann" is claimed only when it names no type or ours:
// another program's document type keeps the extension.
RegistrationOutcome WriteClassEntries(const std::filesystem::path& program);

// Removes the comment type: the file-type id's key and the class's key with
// everything below them, and ".ann" when it names our type. Keys that are
// missing count as removed.
RegistrationOutcome RemoveClassEntries();

}  // namespace vokar::comment
