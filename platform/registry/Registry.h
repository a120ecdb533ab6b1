// The settings store: the three hives of the desktop registry (current user,
// local machine, classes root), each an SQLite database in the registry folder.
// Keys are case-insensitive and keep the case they were created with; values
// are strings (REG_SZ, UTF-8) or 32-bit numbers (REG_DWORD); the unnamed value
// "" is the key's default value. Several processes may write at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Result.h"

namespace vokar::registry {

enum class Root { CurrentUser, LocalMachine, ClassesRoot };

// The long name of a hive, "HKEY_CURRENT_USER" and so on.
std::string_view RootName(Root root);

// The registry folder: VOKAR_REGISTRY_DIR when set, else
// $XDG_CONFIG_HOME/quillmark, else ~/.config/quillmark.
std::filesystem::path RegistryDir();

enum class ValueType : std::uint32_t { String = 1, Dword = 4 };  // REG_SZ, REG_DWORD

using Value = std::variant<std::string, std::uint32_t>;

inline ValueType TypeOf(const Value& value) {
  return value.index() == 0 ? ValueType::String : ValueType::Dword;
}

struct NamedValue {
  std::string name;  // as written; "" is the default value
  Value value;
};

class Database;  // one open hive; shared by every key of that hive

// An open key. Copies share the hive's connection, which stays open while any
// key of it lives. Subkey paths are relative and use backslashes.
class Key {
 public:
  // Opens an existing key; NotFound when it is missing. The empty path is
  // the hive's root, which always exists.
  static Result<Key> Open(Root root, std::string_view path);
  // Opens a key, creating it and every missing parent first.
  static Result<Key> Create(Root root, std::string_view path);

  Result<Key> OpenSubkey(std::string_view subPath) const;
  Result<Key> CreateSubkey(std::string_view subPath) const;

  // Reads a value; NotFound when it is missing.
  Result<Value> Query(std::string_view name) const;
  // Typed reads: WrongType when the value has the other type.
  Result<std::string> QueryString(std::string_view name) const;
  Result<std::uint32_t> QueryDword(std::string_view name) const;

  // Stores a value, replacing one of the same name in any case and type.
  // The value name keeps the case of its first writing. BadValue for string
  // data that is not valid UTF-8 or that holds a NUL.
  Status Set(std::string_view name, const Value& value) const;

  // Removes a value; NotFound when it is missing.
  Status DeleteValue(std::string_view name) const;

  // Names of the direct subkeys and the values, in case-insensitive order.
  Result<std::vector<std::string>> Subkeys() const;
  Result<std::vector<NamedValue>> Values() const;

  // Removes a subkey with every key and value below it; NotFound when the
  // subkey is missing.
  Status DeleteSubkeyTree(std::string_view subPath) const;

  // True while the key still exists in the store.
  bool Exists() const;

  Root root() const { return root_; }
  // The full path below the hive as stored (case preserved); "" for the root.
  const std::string& path() const { return path_; }
  // "HKEY_CURRENT_USER\Software\..." for messages.
  std::string FullName() const;

 private:
  Key(std::shared_ptr<Database> db, Root root, std::string path, std::string folded);
  Result<Key> Descend(std::string_view subPath, bool create) const;

  std::shared_ptr<Database> db_;
  Root root_;
  std::string path_;
  std::string folded_;
};

// Removes a key and everything below it; NotFound when it is missing. The
// root of a hive cannot be removed (BadName).
Status DeleteTree(Root root, std::string_view path);

}  // namespace vokar::registry
