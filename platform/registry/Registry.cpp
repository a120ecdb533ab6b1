#include "Registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "Database.h"
#include "KeyName.h"

namespace vokar::registry {
namespace {

std::string Join(const std::string& base, std::string_view part) {
  if (base.empty()) return std::string(part);
  std::string joined = base;
  joined += '\\';
  joined += part;
  return joined;
}

std::string ValueLabel(std::string_view name) {
  return name.empty() ? std::string("(default)") : "\"" + std::string(name) + "\"";
}

std::string LastComponent(const std::string& path) {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool KeyRowExists(sqlite3* db, const std::string& folded) {
  if (folded.empty()) return true;
  Statement query(db, "SELECT 1 FROM keys WHERE folded=?1");
  query.Bind(1, folded);
  return query.Step() == SQLITE_ROW;
}

Result<Value> ReadValueColumns(const Statement& row, int typeColumn, int dataColumn, const std::string& where) {
  const auto type = row.Int(typeColumn);
  if (type == static_cast<std::int64_t>(ValueType::String)) return Value(row.Text(dataColumn));
  if (type == static_cast<std::int64_t>(ValueType::Dword)) {
    const auto number = row.Int(dataColumn);
    if (number >= 0 && number <= 0xFFFFFFFFLL) return Value(static_cast<std::uint32_t>(number));
  }
  return Error{ErrorKind::Storage, where + ": stored value has an unknown type or a number out of range"};
}

}  // namespace

const char* KindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::NotFound: return "not found";
    case ErrorKind::KeyDeleted: return "key deleted";
    case ErrorKind::BadName: return "bad name";
    case ErrorKind::BadValue: return "bad value";
    case ErrorKind::WrongType: return "wrong type";
    case ErrorKind::Storage: return "storage";
  }
  return "error";
}

std::string_view RootName(Root root) {
  switch (root) {
    case Root::CurrentUser: return "HKEY_CURRENT_USER";
    case Root::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Root::ClassesRoot: return "HKEY_CLASSES_ROOT";
  }
  return "HKEY_CURRENT_USER";
}

std::filesystem::path RegistryDir() {
  if (const char* dir = std::getenv("VOKAR_REGISTRY_DIR"); dir && *dir) return dir;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
    return std::filesystem::path(config) / "quillmark";
  }
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : "/tmp";
  }
  return std::filesystem::path(home) / ".config" / "quillmark";
}

Key::Key(std::shared_ptr<Database> db, Root root, std::string path, std::string folded)
    : db_(std::move(db)), root_(root), path_(std::move(path)), folded_(std::move(folded)) {}

std::string Key::FullName() const {
  std::string name(RootName(root_));
  if (!path_.empty()) name += "\\" + path_;
  return name;
}

Result<Key> Key::Open(Root root, std::string_view path) {
  auto db = Database::ForRoot(root);
  if (!db) return db.error();
  return Key(db.value(), root, "", "").OpenSubkey(path);
}

Result<Key> Key::Create(Root root, std::string_view path) {
  auto db = Database::ForRoot(root);
  if (!db) return db.error();
  return Key(db.value(), root, "", "").CreateSubkey(path);
}

Result<Key> Key::OpenSubkey(std::string_view subPath) const { return Descend(subPath, false); }

Result<Key> Key::CreateSubkey(std::string_view subPath) const { return Descend(subPath, true); }

Result<Key> Key::Descend(std::string_view subPath, bool create) const {
  const auto parts = SplitKeyPath(subPath);
  const std::string where = FullName() + (subPath.empty() ? "" : "\\" + std::string(subPath));
  if (!parts) return Error{ErrorKind::BadName, where + ": not a valid key path"};
  sqlite3* db = db_->handle();
  if (!create) {
    std::string folded = folded_;
    for (const auto& part : *parts) folded = Join(folded, FoldName(part));
    if (folded == folded_) {
      if (!KeyRowExists(db, folded_)) return Error{ErrorKind::NotFound, where + ": key not found"};
      return *this;
    }
    Statement query(db, "SELECT path FROM keys WHERE folded=?1");
    query.Bind(1, folded);
    const int rc = query.Step();
    if (rc == SQLITE_ROW) return Key(db_, root_, query.Text(0), folded);
    if (rc == SQLITE_DONE) return Error{ErrorKind::NotFound, where + ": key not found"};
    return db_->StorageError("opening " + where);
  }

  if (auto problem = KeyPathProblem(Join(path_, subPath))) return Error{ErrorKind::BadName, where + ": " + *problem};
  WriteTransaction tx(*db_);
  if (!tx.begun()) return db_->StorageError("creating " + where);
  if (!KeyRowExists(db, folded_)) return Error{ErrorKind::KeyDeleted, FullName() + ": key was deleted"};
  std::string folded = folded_;
  std::string path = path_;
  for (const auto& part : *parts) {
    const std::string parentFolded = folded;
    folded = Join(folded, FoldName(part));
    Statement query(db, "SELECT path FROM keys WHERE folded=?1");
    query.Bind(1, folded);
    const int rc = query.Step();
    if (rc == SQLITE_ROW) {
      path = query.Text(0);
      continue;
    }
    if (rc != SQLITE_DONE) return db_->StorageError("creating " + where);
    path = Join(path, part);
    Statement insert(db, "INSERT INTO keys(folded, parent, path) VALUES(?1, ?2, ?3)");
    insert.Bind(1, folded).Bind(2, parentFolded).Bind(3, path);
    if (insert.Step() != SQLITE_DONE) return db_->StorageError("creating " + where);
  }
  if (!tx.Commit()) return db_->StorageError("creating " + where);
  return Key(db_, root_, path, folded);
}

Result<Value> Key::Query(std::string_view name) const {
  const std::string where = FullName() + " " + ValueLabel(name);
  if (!IsValidValueName(name)) return Error{ErrorKind::BadName, where + ": not a valid value name"};
  Statement query(db_->handle(), "SELECT type, data FROM vals WHERE key=?1 AND folded=?2");
  query.Bind(1, folded_).Bind(2, FoldName(name));
  const int rc = query.Step();
  if (rc == SQLITE_ROW) return ReadValueColumns(query, 0, 1, where);
  if (rc == SQLITE_DONE) return Error{ErrorKind::NotFound, where + ": value not found"};
  return db_->StorageError("reading " + where);
}

Result<std::string> Key::QueryString(std::string_view name) const {
  auto value = Query(name);
  if (!value) return value.error();
  if (const auto* text = std::get_if<std::string>(&value.value())) return *text;
  return Error{ErrorKind::WrongType, FullName() + " " + ValueLabel(name) + ": holds a number, not a string"};
}

Result<std::uint32_t> Key::QueryDword(std::string_view name) const {
  auto value = Query(name);
  if (!value) return value.error();
  if (const auto* number = std::get_if<std::uint32_t>(&value.value())) return *number;
  return Error{ErrorKind::WrongType, FullName() + " " + ValueLabel(name) + ": holds a string, not a number"};
}

Status Key::Set(std::string_view name, const Value& value) const {
  const std::string where = FullName() + " " + ValueLabel(name);
  if (!IsValidValueName(name)) return Error{ErrorKind::BadName, where + ": not a valid value name"};
  if (HasControlCharacter(name)) {
    return Error{ErrorKind::BadName, where + ": a value name may not hold a control character (a tab or a line break)"};
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (!IsValidUtf8(*text) || text->find('\0') != std::string::npos) {
      return Error{ErrorKind::BadValue, where + ": string data must be UTF-8 text without NUL"};
    }
  }
  WriteTransaction tx(*db_);
  if (!tx.begun()) return db_->StorageError("writing " + where);
  if (!KeyRowExists(db_->handle(), folded_)) return Error{ErrorKind::KeyDeleted, FullName() + ": key was deleted"};
  Statement upsert(db_->handle(),
                   "INSERT INTO vals(key, folded, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                   "ON CONFLICT(key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
  upsert.Bind(1, folded_).Bind(2, FoldName(name)).Bind(3, name).Bind(4, static_cast<std::int64_t>(TypeOf(value)));
  if (const auto* text = std::get_if<std::string>(&value)) {
    upsert.Bind(5, *text);
  } else {
    upsert.Bind(5, static_cast<std::int64_t>(std::get<std::uint32_t>(value)));
  }
  if (upsert.Step() != SQLITE_DONE || !tx.Commit()) return db_->StorageError("writing " + where);
  return {};
}

Status Key::DeleteValue(std::string_view name) const {
  const std::string where = FullName() + " " + ValueLabel(name);
  if (!IsValidValueName(name)) return Error{ErrorKind::BadName, where + ": not a valid value name"};
  WriteTransaction tx(*db_);
  if (!tx.begun()) return db_->StorageError("deleting " + where);
  Statement erase(db_->handle(), "DELETE FROM vals WHERE key=?1 AND folded=?2");
  erase.Bind(1, folded_).Bind(2, FoldName(name));
  if (erase.Step() != SQLITE_DONE) return db_->StorageError("deleting " + where);
  if (sqlite3_changes(db_->handle()) == 0) return Error{ErrorKind::NotFound, where + ": value not found"};
  if (!tx.Commit()) return db_->StorageError("deleting " + where);
  return {};
}

Result<std::vector<std::string>> Key::Subkeys() const {
  if (!KeyRowExists(db_->handle(), folded_)) return Error{ErrorKind::KeyDeleted, FullName() + ": key was deleted"};
  Statement query(db_->handle(), "SELECT path FROM keys WHERE parent=?1 ORDER BY folded");
  query.Bind(1, folded_);
  std::vector<std::string> names;
  int rc;
  while ((rc = query.Step()) == SQLITE_ROW) names.push_back(LastComponent(query.Text(0)));
  if (rc != SQLITE_DONE) return db_->StorageError("listing the subkeys of " + FullName());
  return names;
}

Result<std::vector<NamedValue>> Key::Values() const {
  if (!KeyRowExists(db_->handle(), folded_)) return Error{ErrorKind::KeyDeleted, FullName() + ": key was deleted"};
  Statement query(db_->handle(), "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY folded");
  query.Bind(1, folded_);
  std::vector<NamedValue> values;
  int rc;
  while ((rc = query.Step()) == SQLITE_ROW) {
    const std::string name = query.Text(0);
    auto value = ReadValueColumns(query, 1, 2, FullName() + " " + ValueLabel(name));
    if (!value) return value.error();
    values.push_back({name, std::move(value).value()});
  }
  if (rc != SQLITE_DONE) return db_->StorageError("listing the values of " + FullName());
  return values;
}

Status Key::DeleteSubkeyTree(std::string_view subPath) const {
  const std::string where = FullName() + "\\" + std::string(subPath);
  const auto parts = SplitKeyPath(subPath);
  if (!parts || parts->empty()) return Error{ErrorKind::BadName, where + ": not a valid key path"};
  std::string folded = folded_;
  for (const auto& part : *parts) folded = Join(folded, FoldName(part));
  WriteTransaction tx(*db_);
  if (!tx.begun()) return db_->StorageError("deleting " + where);
  if (!KeyRowExists(db_->handle(), folded)) return Error{ErrorKind::NotFound, where + ": key not found"};
  for (const char* sql : {"DELETE FROM vals WHERE key=?1 OR (key >= ?1 || '\\' AND key < ?1 || ']')",
                          "DELETE FROM keys WHERE folded=?1 OR (folded >= ?1 || '\\' AND folded < ?1 || ']')"}) {
    Statement erase(db_->handle(), sql);
    erase.Bind(1, folded);
    if (erase.Step() != SQLITE_DONE) return db_->StorageError("deleting " + where);
  }
  if (!tx.Commit()) return db_->StorageError("deleting " + where);
  return {};
}

bool Key::Exists() const { return KeyRowExists(db_->handle(), folded_); }

Status DeleteTree(Root root, std::string_view path) {
  if (path.empty()) return Error{ErrorKind::BadName, std::string(RootName(root)) + ": a hive's root cannot be deleted"};
  auto hive = Key::Open(root, "");
  if (!hive) return hive.error();
  return hive->DeleteSubkeyTree(path);
}

}  // namespace vokar::registry
