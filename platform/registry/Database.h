// One hive's SQLite database as the key handles use it: the connection with
// the settings that let several processes write at once (WAL, a busy timeout,
// write transactions that start as writers), prepared statements and
// transactions. Internal to the settings store.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Registry.h"

namespace vokar::registry {

class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool prepared() const { return stmt_ != nullptr; }
  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, std::int64_t number);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  std::string Text(int column) const;
  std::int64_t Int(int column) const;
  int ColumnType(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class Database {
 public:
  // The database of a hive in RegistryDir(), opened once per process and
  // folder; created with its tables when missing.
  static Result<std::shared_ptr<Database>> ForRoot(Root root);

  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* handle() const { return db_; }
  Root root() const { return root_; }

  // Why the hive can be read but not written (a read-only folder or file, a
  // hive that does not exist and cannot be made); empty when it can.
  const std::string& readOnlyReason() const { return readOnlyReason_; }

  // An error of kind Storage that names the hive and what was being done,
  // with SQLite's own message, or why the hive cannot be written.
  Error StorageError(std::string_view doing) const;

 private:
  Database(sqlite3* db, Root root);
  static Result<std::shared_ptr<Database>> OpenFile(const std::filesystem::path& file, Root root);
  static Result<std::shared_ptr<Database>> OpenReadOnly(const std::filesystem::path& file, Root root,
                                                        const std::string& reason);
  static Result<std::shared_ptr<Database>> EmptyStandIn(Root root, const std::string& reason);

  sqlite3* db_;
  Root root_;
  pid_t owner_;  // the process that opened the connection
  std::string readOnlyReason_;
};

// A write transaction, begun as a writer (BEGIN IMMEDIATE) so that it waits
// for other writers instead of failing later; rolled back unless committed.
// Inside another one (an import makes all its changes in one) it is a
// savepoint of that one: its changes last only if the outer one commits.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& db);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;

  bool begun() const { return begun_; }
  bool Commit();

 private:
  Database& db_;
  bool begun_ = false;
  bool nested_ = false;
  bool done_ = false;
};

}  // namespace vokar::registry
