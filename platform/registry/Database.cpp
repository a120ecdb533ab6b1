#include "Database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

namespace {

// Marks every hive this suite makes ("VKRG"), so that a database of another
// program is never taken for one.
constexpr std::int64_t kApplicationId = 0x564B5247;

enum class Kind { Empty, Ours, Foreign, Unreadable };

struct Identity {
  Kind kind = Kind::Unreadable;
  int version = 0;
  int code = SQLITE_OK;  // SQLite's result when it could not be read
  std::string message;
};

// What the file holds, read without changing anything: nothing yet (a file
// just made), a hive of ours, or something else.
Identity Identify(sqlite3* db) {
  // All of it from one snapshot: another program may be making the tables
  // this moment, and half of its work must not look like someone else's.
  sqlite3_exec(db, "SAVEPOINT identify", nullptr, nullptr, nullptr);
  struct Release {
    sqlite3* db;
    ~Release() { sqlite3_exec(db, "RELEASE identify", nullptr, nullptr, nullptr); }
  } release{db};
  Identity identity;
  std::int64_t application = 0;
  bool keys = false, vals = false, others = false;
  const auto read = [&](const char* sql, const auto& row) {
    Statement query(db, sql);
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW) row(query);
    if (rc != SQLITE_DONE && identity.code == SQLITE_OK) {
      identity.code = rc == SQLITE_MISUSE ? sqlite3_errcode(db) : rc;
      identity.message = sqlite3_errmsg(db);
    }
  };
  read("PRAGMA application_id", [&](const Statement& q) { application = q.Int(0); });
  read("PRAGMA user_version", [&](const Statement& q) { identity.version = static_cast<int>(q.Int(0)); });
  read("SELECT type, name FROM sqlite_master", [&](const Statement& q) {
    const std::string type = q.Text(0), name = q.Text(1);
    keys = keys || (type == "table" && name == "keys");
    vals = vals || (type == "table" && name == "vals");
    others = others || !((type == "table" && (name == "keys" || name == "vals")) ||
                         (type == "index" && name == "keys_by_parent"));
  });
  if (identity.code != SQLITE_OK) return identity;
  // A database with nothing in it is nobody's yet, whether it is a file we
  // have just made or one that holds no more than SQLite's own header.
  if (!keys && !vals && !others && application == 0 && identity.version == 0) {
    identity.kind = Kind::Empty;
  } else if (keys && vals && !others && identity.version >= 1 && (application == 0 || application == kApplicationId)) {
    // Hives made before the mark was given carry none.
    identity.kind = Kind::Ours;
  } else {
    identity.kind = Kind::Foreign;
  }
  return identity;
}

bool CannotWrite(int code) {
  const int primary = code & 0xFF;
  return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM ||
         primary == SQLITE_AUTH;
}

// A file name as an SQLite URI: every byte but unreserved ones and '/' is
// written as %XX.
std::string FileUri(const std::filesystem::path& file, const char* query) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char c : file.string()) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == '/' ||
        c == '-' || c == '_' || c == '.' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0xF];
    }
  }
  return uri + "?" + query;
}

Error NotOurs(const std::filesystem::path& file, const Identity& identity) {
  if ((identity.code & 0xFF) == SQLITE_NOTADB || (identity.code & 0xFF) == SQLITE_CORRUPT) {
    return Error{ErrorKind::Storage, file.string() + " is damaged or is no settings store at all (" + identity.message +
                                         "); it was left as it is: move it away, and a new, empty store is made"};
  }
  if (identity.kind == Kind::Foreign) {
    return Error{ErrorKind::Storage, file.string() +
                                         " is a database of another program, not a settings store of this suite; it "
                                         "was left as it is: move it away, and a new, empty store is made"};
  }
  return Error{ErrorKind::Storage, "cannot read " + file.string() + ": " + identity.message};
}

// The registry folder is the user's alone: made 0700, and group and other
// permissions are taken from one of ours.
std::optional<std::string> PrepareFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  if (folder.has_parent_path()) std::filesystem::create_directories(folder.parent_path(), ec);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return "cannot create the registry folder " + folder.string() + ": " + std::strerror(errno);
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return "the registry folder " + folder.string() + " is not a folder";
  }
  if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) ::chmod(folder.c_str(), info.st_mode & 0700);
  return std::nullopt;
}

}  // namespace

Result<std::shared_ptr<Database>> Database::OpenFile(const std::filesystem::path& file, Root root) {
  if (auto problem = PrepareFolder(file.parent_path())) return Error{ErrorKind::Storage, *problem};
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) {
    // Made by us first, private, so that SQLite (and its -wal and -shm files,
    // which take the hive's permissions) never makes it readable to others.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) {
      // A hive that does not exist and cannot be made reads as empty.
      return EmptyStandIn(root, "cannot create " + file.string() + ": " + std::strerror(errno));
    }
    if (fd >= 0) ::close(fd);
  } else if (!S_ISREG(info.st_mode)) {
    return Error{ErrorKind::Storage, file.string() + " is not a file"};
  } else if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
    ::chmod(file.c_str(), info.st_mode & 0600);
  }

  sqlite3* handle = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
    sqlite3_close(handle);
    if (CannotWrite(rc)) return OpenReadOnly(file, root, message);
    return Error{ErrorKind::Storage, "cannot open " + file.string() + ": " + message};
  }
  std::shared_ptr<Database> db(new Database(handle, root));
  sqlite3_busy_timeout(handle, kBusyTimeoutMs);

  Identity identity = Identify(handle);
  if (identity.kind == Kind::Unreadable && CannotWrite(identity.code)) {
    db.reset();
    return OpenReadOnly(file, root, identity.message);
  }
  if (identity.kind == Kind::Unreadable || identity.kind == Kind::Foreign) return NotOurs(file, identity);
  if (sqlite3_db_readonly(handle, "main") == 1) {
    db.reset();
    return OpenReadOnly(file, root, "the file is read-only");
  }
  sqlite3_exec(handle, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);

  // The tables are made once, by whichever process comes first; the others
  // wait on the write lock and then find them.
  if (identity.kind == Kind::Empty) {
    WriteTransaction tx(*db);
    if (!tx.begun()) return db->StorageError("creating " + file.string());
    identity = Identify(handle);
    if (identity.kind == Kind::Empty) {
      const std::string sql = std::string(kSchema) + "PRAGMA user_version=" + std::to_string(kSchemaVersion) +
                              ";PRAGMA application_id=" + std::to_string(kApplicationId) + ";";
      if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK || !tx.Commit()) {
        return db->StorageError("creating the tables of " + file.string());
      }
      identity.kind = Kind::Ours;
      identity.version = kSchemaVersion;
    } else if (identity.kind != Kind::Ours) {
      return NotOurs(file, identity);
    }
  }
  if (identity.version != kSchemaVersion) {
    return Error{ErrorKind::Storage,
                 file.string() + " has layout version " + std::to_string(identity.version) + ", this program knows " +
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

// For a hive in a folder or file that cannot be written: read as it is. A
// hive in WAL mode needs its -shm file; where that cannot be made and no
// changes wait in a -wal file, the file is read as it lies on the disk.
Result<std::shared_ptr<Database>> Database::OpenReadOnly(const std::filesystem::path& file, Root root,
                                                         const std::string& reason) {
  std::error_code ec;
  const auto wal = std::filesystem::path(file.string() + "-wal");
  const bool pendingChanges = std::filesystem::exists(wal, ec) && std::filesystem::file_size(wal, ec) > 0;
  const std::string why = file.string() + " can be read but not written (" + reason + ")";
  for (const char* query : {"mode=ro", "mode=ro&immutable=1"}) {
    if (std::string(query).find("immutable") != std::string::npos && pendingChanges) break;
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(FileUri(file, query).c_str(), &handle,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_close(handle);
      continue;
    }
    std::shared_ptr<Database> db(new Database(handle, root));
    sqlite3_busy_timeout(handle, kBusyTimeoutMs);
    const Identity identity = Identify(handle);
    if (identity.kind == Kind::Ours) {
      if (identity.version != kSchemaVersion) {
        return Error{ErrorKind::Storage, file.string() + " has layout version " + std::to_string(identity.version) +
                                             ", this program knows " + std::to_string(kSchemaVersion)};
      }
      db->readOnlyReason_ = why;
      return db;
    }
    if (identity.kind == Kind::Empty) return EmptyStandIn(root, why);
    if (identity.kind == Kind::Foreign || (identity.code & 0xFF) == SQLITE_NOTADB) return NotOurs(file, identity);
  }
  return Error{ErrorKind::Storage, "cannot read " + why};
}

// An empty hive in memory, for one that does not exist and cannot be made:
// every key reads as missing, every change is refused with the reason.
Result<std::shared_ptr<Database>> Database::EmptyStandIn(Root root, const std::string& reason) {
  sqlite3* handle = nullptr;
  if (sqlite3_open_v2(":memory:", &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK ||
      sqlite3_exec(handle, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(handle);
    return Error{ErrorKind::Storage, reason};
  }
  std::shared_ptr<Database> db(new Database(handle, root));
  db->readOnlyReason_ = reason;
  return db;
}

Database::Database(sqlite3* db, Root root) : db_(db), root_(root), owner_(::getpid()) {}

Database::~Database() {
  // A connection inherited from the parent process is left alone: closing it
  // in the child could release the parent's locks.
  if (owner_ == ::getpid()) sqlite3_close_v2(db_);
}

Error Database::StorageError(std::string_view doing) const {
  if (!readOnlyReason_.empty()) {
    return Error{ErrorKind::Storage, std::string(RootName(root_)) + ": " + std::string(doing) + ": " + readOnlyReason_};
  }
  std::string message = sqlite3_errmsg(db_);
  // SQLite says "disk I/O error" for a full disk too: the system's reason
  // tells the user which.
  if ((sqlite3_errcode(db_) & 0xFF) == SQLITE_IOERR) {
    const int reason = sqlite3_system_errno(db_);
    message += reason != 0 ? std::string(" (") + std::strerror(reason) + ")"
                           : std::string(" (the disk may be full, or the file may grow no larger)");
  }
  return Error{ErrorKind::Storage, std::string(RootName(root_)) + ": " + std::string(doing) + ": " + message};
}

WriteTransaction::WriteTransaction(Database& db) : db_(db) {
  if (!db.readOnlyReason().empty()) return;
  nested_ = sqlite3_get_autocommit(db.handle()) == 0;
  begun_ = sqlite3_exec(db.handle(), nested_ ? "SAVEPOINT nested" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) ==
           SQLITE_OK;
}

WriteTransaction::~WriteTransaction() {
  if (!begun_ || done_) return;
  sqlite3_exec(db_.handle(), nested_ ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK", nullptr, nullptr, nullptr);
}

bool WriteTransaction::Commit() {
  if (!begun_ || done_) return false;
  done_ = sqlite3_exec(db_.handle(), nested_ ? "RELEASE nested" : "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  return done_;
}

}  // namespace vokar::registry
