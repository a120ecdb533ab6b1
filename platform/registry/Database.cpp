#include "Database.h"

#include <unistd.h>

#include <map>
#include <mutex>
#include <system_error>

namespace vokar::registry {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kSchemaVersion = 1;

// Keys hold their full folded path (the lookup key), the folded path of their
// parent (for listing) and the path as created (case preserved). A subtree is
// the range of folded paths that start with "path\", which a byte-wise range
// [path + '\', path + ']') selects, since ']' follows '\'.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  folded TEXT PRIMARY KEY,"
    "  parent TEXT NOT NULL,"
    "  path TEXT NOT NULL) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS keys_by_parent ON keys(parent);"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  name TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data,"
    "  PRIMARY KEY(key, folded)) WITHOUT ROWID;";

std::string FileName(Root root) { return std::string(RootName(root)) + ".db"; }

struct CacheEntry {
  std::shared_ptr<Database> db;
  pid_t owner = 0;
};

// One connection per database file and process, kept for the life of the
// process, since the profile helpers open a key for every value they read.
// A connection inherited through fork() belongs to the parent and is never
// touched by the child, which opens its own.
std::mutex cacheMutex;
std::map<std::string, CacheEntry>& Cache() {
  static std::map<std::string, CacheEntry> cache;
  return cache;
}

}  // namespace

Statement::Statement(sqlite3* db, const char* sql) {
  if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::Bind(int index, std::int64_t number) {
  sqlite3_bind_int64(stmt_, index, number);
  return *this;
}

int Statement::Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)) : std::string();
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

int Statement::ColumnType(int column) const { return sqlite3_column_type(stmt_, column); }

Result<std::shared_ptr<Database>> Database::ForRoot(Root root) {
  const std::filesystem::path file = RegistryDir() / FileName(root);
  const std::lock_guard lock(cacheMutex);
  auto& entry = Cache()[file.string()];
  if (entry.owner == ::getpid() && entry.db) return entry.db;
  auto opened = OpenFile(file, root);
  if (!opened) return opened.error();
  entry.db = opened.value();
  entry.owner = ::getpid();
  return opened;
}

Result<std::shared_ptr<Database>> Database::OpenFile(const std::filesystem::path& file, Root root) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) {
    return Error{ErrorKind::Storage,
                 "cannot create the registry folder " + file.parent_path().string() + ": " + ec.message()};
  }
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &handle,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
    sqlite3_close(handle);
    return Error{ErrorKind::Storage, "cannot open " + file.string() + ": " + message};
  }
  std::shared_ptr<Database> db(new Database(handle, root));
  sqlite3_busy_timeout(handle, kBusyTimeoutMs);
  sqlite3_exec(handle, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);

  // The tables are made once, by whichever process comes first; the others
  // wait on the write lock and then find them.
  int version = 0;
  {
    Statement query(handle, "PRAGMA user_version");
    if (query.Step() == SQLITE_ROW) version = static_cast<int>(query.Int(0));
  }
  if (version == 0) {
    WriteTransaction tx(*db);
    if (!tx.begun()) return db->StorageError("creating " + file.string());
    Statement again(handle, "PRAGMA user_version");
    if (again.Step() == SQLITE_ROW) version = static_cast<int>(again.Int(0));
    if (version == 0) {
      const std::string sql = std::string(kSchema) + "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
      if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK || !tx.Commit()) {
        return db->StorageError("creating the tables of " + file.string());
      }
      version = kSchemaVersion;
    }
  }
  if (version != kSchemaVersion) {
    return Error{ErrorKind::Storage,
                 file.string() + " has layout version " + std::to_string(version) + ", this program knows " +
                     std::to_string(kSchemaVersion)};
  }
  // WAL mode stays with the file, so it is switched on only once.
  std::string mode;
  {
    Statement query(handle, "PRAGMA journal_mode");
    if (query.Step() == SQLITE_ROW) mode = query.Text(0);
  }
  if (mode != "wal") {
    Statement change(handle, "PRAGMA journal_mode=WAL");
    if (change.Step() != SQLITE_ROW || change.Text(0) != "wal") {
      return db->StorageError("switching " + file.string() + " to WAL mode");
    }
  }
  return db;
}

Database::Database(sqlite3* db, Root root) : db_(db), root_(root), owner_(::getpid()) {}

Database::~Database() {
  // A connection inherited from the parent process is left alone: closing it
  // in the child could release the parent's locks.
  if (owner_ == ::getpid()) sqlite3_close_v2(db_);
}

Error Database::StorageError(std::string_view doing) const {
  return Error{ErrorKind::Storage,
               std::string(RootName(root_)) + ": " + std::string(doing) + ": " + sqlite3_errmsg(db_)};
}

WriteTransaction::WriteTransaction(Database& db) : db_(db) {
  begun_ = sqlite3_exec(db.handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

WriteTransaction::~WriteTransaction() {
  if (begun_ && !done_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

bool WriteTransaction::Commit() {
  if (!begun_ || done_) return false;
  done_ = sqlite3_exec(db_.handle(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  return done_;
}

}  // namespace vokar::registry
