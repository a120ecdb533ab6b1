#include "SafeRemove.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "CommentType.h"
#include "Places.h"
#include "Suite.h"
#include "TextLines.h"

namespace vokar::uninstall {
namespace fs = std::filesystem;

const char* VerdictText(TreeVerdict verdict) {
  switch (verdict) {
    case TreeVerdict::Removed: return "removed";
    case TreeVerdict::KeptOthers: return "holds files the suite did not make, which stay with it";
    case TreeVerdict::Missing: return "does not exist";
    case TreeVerdict::NotAbsolute: return "is not an absolute, plain path";
    case TreeVerdict::SymbolicLink: return "is reached through a symbolic link and is left alone";
    case TreeVerdict::NotAFolder: return "is not a folder";
    case TreeVerdict::Protected: return "is the root, the home folder or above it, and is never deleted";
    case TreeVerdict::NoMarker: return "does not hold the suite's marker and is left alone";
    case TreeVerdict::BadName: return "is not a plain folder name";
  }
  return "?";
}

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool IsPlainAbsolute(const fs::path& path) {
  return !path.empty() && path.is_absolute() && path == path.lexically_normal();
}

// Opens a folder by its absolute path from the root, one part at a time,
// never through a symbolic link. On failure why says what is in the way.
Descriptor OpenFolder(const fs::path& folder, TreeVerdict& why) {
  if (!IsPlainAbsolute(folder)) {
    why = TreeVerdict::NotAbsolute;
    return Descriptor();
  }
  Descriptor at(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (const auto& part : folder.relative_path()) {
    if (!at.ok()) break;
    if (part.empty()) continue;  // a trailing separator
    Descriptor next(::openat(at.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.ok()) {
      struct stat info {};
      if (::fstatat(at.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        why = TreeVerdict::Missing;
      else if (S_ISLNK(info.st_mode))
        why = TreeVerdict::SymbolicLink;
      else
        why = TreeVerdict::NotAFolder;
      return Descriptor();
    }
    at = std::move(next);
  }
  if (!at.ok()) why = TreeVerdict::Missing;
  return at;
}

std::vector<std::string> Names(int dirFd) {
  std::vector<std::string> names;
  const int copy = ::dup(dirFd);
  if (copy < 0) return names;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return names;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The first bytes of a regular file in the folder (never through a link);
// nothing when it is not a regular file.
std::optional<std::string> ReadFileAt(int dirFd, const std::string& name, std::size_t limit) {
  Descriptor file(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!file.ok() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string bytes(limit, '\0');
  std::size_t have = 0;
  while (have < bytes.size()) {
    const ssize_t got = ::read(file.get(), bytes.data() + have, bytes.size() - have);
    if (got <= 0) break;
    have += static_cast<std::size_t>(got);
  }
  bytes.resize(have);
  return bytes;
}

bool IsRegularAt(int dirFd, const std::string& name) {
  struct stat info {};
  return ::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

bool ExistsAt(int dirFd, const std::string& name) {
  struct stat info {};
  return ::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// A desktop entry is judged by its first 64 KiB, far beyond any of ours.
bool IsSuiteEntryAt(int dirFd, const std::string& name) {
  const auto bytes = ReadFileAt(dirFd, name, 64 * 1024);
  return bytes && suite::IsSuiteEntry(*bytes);
}

bool MarkerAt(int dirFd) {
  const std::string name(suite::kMarkerFile);
  const auto bytes = ReadFileAt(dirFd, name, suite::kMarkerText.size() + 1);
  return bytes && *bytes == suite::kMarkerText;
}

// Removes an empty folder through its parent, when the name there is still
// the folder that was opened.
bool RemoveEmptyFolder(const fs::path& folder, int folderFd) {
  TreeVerdict why{};
  Descriptor parent = OpenFolder(folder.parent_path(), why);
  if (!parent.ok()) return false;
  struct stat opened {}, named {};
  const std::string name = folder.filename();
  if (::fstat(folderFd, &opened) != 0 || ::fstatat(parent.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
    return false;
  return ::unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR) == 0;
}

void AddLeft(std::vector<LeftItem>& left, const fs::path& path, LeftReason reason) {
  for (const auto& item : left)
    if (item.path == path) return;
  left.push_back({path, reason});
}

// Whatever is in the folder still, as left by the user.
void ListLeft(int dirFd, const fs::path& folder, std::vector<LeftItem>& left) {
  for (const auto& name : Names(dirFd)) AddLeft(left, folder / name, LeftReason::NotTheSuites);
}

// For a file of a MIME database (".../mime/<anything but packages>/..." or
// ".../mime/<file>"), the database's folder; empty for any other file.
fs::path MimeDatabaseOf(const fs::path& file) {
  fs::path prefix;
  fs::path database;
  for (auto part = file.begin(); part != file.end(); ++part) {
    prefix /= *part;
    const auto next = std::next(part);
    if (*part == "mime" && next != file.end() && *next != "packages") database = prefix;
  }
  return database;
}

// True when a database's packages folder holds no package any more: then
// what the tool generated from them describes nothing.
bool DatabaseServesNothing(const fs::path& database) {
  TreeVerdict why{};
  Descriptor packages = OpenFolder(database / "packages", why);
  if (!packages.ok()) return why == TreeVerdict::Missing;
  for (const auto& name : Names(packages.get()))
    if (name.size() > 4 && name.ends_with(".xml")) return false;
  return true;
}

// The text holds nothing but group headers, blank lines and comments: a
// list of associations or a cache without a single entry.
bool OnlyHeaders(std::string_view text) {
  text::CLines lines(text);
  for (std::string_view line; lines.Next(line);) {
    line = text::TrimBlanks(line);
    if (line.empty() || line.front() == '#' || (line.front() == '[' && line.back() == ']')) continue;
    return false;
  }
  return true;
}

enum class RecordedFate { Delete, KeepQuietly, KeepAndSay };

// What becomes of a file the suite made, by what it is now.
RecordedFate FateOf(int dirFd, const fs::path& file) {
  const std::string name = file.filename();
  if (!IsRegularAt(dirFd, name)) return RecordedFate::KeepAndSay;
  // The comment type's desktop entry, which the registration wrote.
  if (name == comment::kDesktopEntryFile) return RecordedFate::Delete;
  if (name.ends_with(suite::kShortcutExtension))
    return IsSuiteEntryAt(dirFd, name) ? RecordedFate::Delete : RecordedFate::KeepAndSay;
  if (name == suite::kMarkerFile) return MarkerAt(dirFd) ? RecordedFate::Delete : RecordedFate::KeepAndSay;
  // The desktop's cache of entries by MIME type, which the registration made:
  // there was none before, and the desktop's tool makes it again when wanted.
  if (name == "mimeinfo.cache") return RecordedFate::Delete;
  // The user's list of default applications, which the registration made: it
  // goes when nothing is left in it, else it holds the user's choices now.
  if (name == "mimeapps.list") {
    const auto text = ReadFileAt(dirFd, name, 1 << 20);
    return text && OnlyHeaders(*text) ? RecordedFate::Delete : RecordedFate::KeepQuietly;
  }
  if (const fs::path database = MimeDatabaseOf(file); !database.empty())
    return DatabaseServesNothing(database) ? RecordedFate::Delete : RecordedFate::KeepQuietly;
  // The comment type's own files, by their names.
  if (name == comment::kMimePackageFile || name == std::string(comment::kMimeIconName) + ".png")
    return RecordedFate::Delete;
  return RecordedFate::KeepAndSay;
}

}  // namespace

bool IsProtectedFolder(const fs::path& folder, const fs::path& home) {
  char buffer[PATH_MAX];
  const fs::path resolved = ::realpath(folder.c_str(), buffer) != nullptr ? fs::path(buffer) : fs::path();
  // A folder whose real place cannot be found is not deleted either.
  if (resolved.empty() || resolved == "/") return true;
  fs::path accountHome;
  if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr)
    accountHome = account->pw_dir;
  for (const fs::path& guard : {home, suite::HomeDir(), accountHome}) {
    if (guard.empty()) continue;
    const fs::path resolvedHome = ::realpath(guard.c_str(), buffer) != nullptr ? fs::path(buffer) : guard;
    if (resolved == resolvedHome) return true;
    const std::string prefix = resolved.string() + "/";
    if (resolvedHome.string().compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

bool HasSuiteMarker(const fs::path& folder) {
  TreeVerdict why{};
  Descriptor dir = OpenFolder(folder, why);
  return dir.ok() && MarkerAt(dir.get());
}

namespace {

// Opens a folder that the uninstaller may empty into dir. What stops it: the
// folder is missing or no folder, a symbolic link is on the way (the place is
// left, and said), or it is the home or holds it.
std::optional<TreeVerdict> OpenFolderToEmpty(const fs::path& folder, const fs::path& home, Descriptor& dir,
                                             std::vector<LeftItem>& left) {
  TreeVerdict why = TreeVerdict::Missing;
  dir = OpenFolder(folder, why);
  if (!dir.ok()) {
    if (why == TreeVerdict::SymbolicLink) AddLeft(left, folder, LeftReason::LinkOnTheWay);
    return why;
  }
  if (IsProtectedFolder(folder, home)) return TreeVerdict::Protected;
  return std::nullopt;
}

// The folder goes when nothing is left in it; otherwise what stays is listed.
TreeVerdict RemoveIfEmpty(const fs::path& folder, const Descriptor& dir, std::vector<LeftItem>& left) {
  if (RemoveEmptyFolder(folder, dir.get())) return TreeVerdict::Removed;
  ListLeft(dir.get(), folder, left);
  return TreeVerdict::KeptOthers;
}

}  // namespace

TreeVerdict RemoveWorkingDirectory(const fs::path& directory, const fs::path& home,
                                   const suite::WrittenRecord& record, std::vector<LeftItem>& left) {
  Descriptor dir;
  if (const auto refused = OpenFolderToEmpty(directory, home, dir, left)) return *refused;
  if (!MarkerAt(dir.get())) return TreeVerdict::NoMarker;
  // What the suite made in it: the marker, and whatever the record names there.
  suite::WrittenRecord inside;
  for (const auto& file : record.files)
    if (file.parent_path() == directory || file.string().starts_with(directory.string() + "/")) inside.files.push_back(file);
  for (const auto& folder : record.folders)
    if (folder.string().starts_with(directory.string() + "/")) inside.folders.push_back(folder);
  ::unlinkat(dir.get(), std::string(suite::kMarkerFile).c_str(), 0);
  std::vector<LeftItem> ignored;
  RemoveRecorded(inside, ignored);
  return RemoveIfEmpty(directory, dir, left);
}

bool IsPlainGroupName(std::string_view name) {
  return !name.empty() && name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos &&
         name.find("..") == std::string_view::npos && name != ".";
}

TreeVerdict RemoveGroupFolder(const fs::path& programs, std::string_view groupName, const fs::path& home,
                              std::vector<LeftItem>& left) {
  if (!IsPlainGroupName(groupName)) return TreeVerdict::BadName;
  if (!IsPlainAbsolute(programs)) return TreeVerdict::NotAbsolute;
  const fs::path folder = programs / std::string(groupName);
  Descriptor dir;
  if (const auto refused = OpenFolderToEmpty(folder, home, dir, left)) return *refused;
  for (const auto& name : Names(dir.get())) {
    const bool entryName = name.size() > suite::kShortcutExtension.size() && name.ends_with(suite::kShortcutExtension);
    if (entryName && IsSuiteEntryAt(dir.get(), name)) ::unlinkat(dir.get(), name.c_str(), 0);
  }
  return RemoveIfEmpty(folder, dir, left);
}

bool RemoveShortcut(const fs::path& file) {
  if (!IsPlainAbsolute(file)) return false;
  TreeVerdict why{};
  Descriptor dir = OpenFolder(file.parent_path(), why);
  const std::string name = file.filename();
  if (!dir.ok() || !IsSuiteEntryAt(dir.get(), name)) return false;
  return ::unlinkat(dir.get(), name.c_str(), 0) == 0;
}

void RemoveRecorded(const suite::WrittenRecord& record, std::vector<LeftItem>& left) {
  for (const auto& file : record.files) {
    if (!IsPlainAbsolute(file)) continue;
    TreeVerdict why = TreeVerdict::Missing;
    Descriptor dir = OpenFolder(file.parent_path(), why);
    if (!dir.ok()) {
      if (why == TreeVerdict::SymbolicLink) AddLeft(left, file, LeftReason::LinkOnTheWay);
      continue;
    }
    const std::string name = file.filename();
    if (!ExistsAt(dir.get(), name)) continue;
    switch (FateOf(dir.get(), file)) {
      case RecordedFate::Delete:
        if (::unlinkat(dir.get(), name.c_str(), 0) != 0) AddLeft(left, file, LeftReason::NotTheSuites);
        break;
      case RecordedFate::KeepQuietly: break;
      case RecordedFate::KeepAndSay: AddLeft(left, file, LeftReason::NotTheSuites); break;
    }
  }
  // Deeper folders first; a folder with anything in it stays as it is.
  std::vector<fs::path> folders;
  for (const auto& folder : record.folders)
    if (IsPlainAbsolute(folder) && folder != folder.root_path()) folders.push_back(folder);
  std::stable_sort(folders.begin(), folders.end(), [](const fs::path& a, const fs::path& b) {
    return std::distance(a.begin(), a.end()) > std::distance(b.begin(), b.end());
  });
  for (const auto& folder : folders) {
    TreeVerdict why = TreeVerdict::Missing;
    Descriptor dir = OpenFolder(folder, why);
    if (dir.ok() && Names(dir.get()).empty()) RemoveEmptyFolder(folder, dir.get());
  }
}

std::vector<fs::path> RemoveRecordedCommentType(const suite::WrittenRecord& record, std::vector<LeftItem>& left) {
  const std::string icon = std::string(comment::kMimeIconName) + ".png";
  suite::WrittenRecord typeFiles;
  for (const auto& file : record.files) {
    const std::string name = file.filename();
    if (name == comment::kMimePackageFile || name == comment::kDesktopEntryFile || name == icon)
      typeFiles.files.push_back(file);
  }
  std::vector<fs::path> had;
  for (const auto& file : typeFiles.files) {
    TreeVerdict why{};
    Descriptor dir = OpenFolder(file.parent_path(), why);
    if (dir.ok() && file.filename().string() == comment::kMimePackageFile && ExistsAt(dir.get(), file.filename().string()))
      had.push_back(file);
  }
  RemoveRecorded(typeFiles, left);
  std::vector<fs::path> databases;
  for (const auto& package : had) {
    TreeVerdict why{};
    Descriptor dir = OpenFolder(package.parent_path(), why);
    if (dir.ok() && !ExistsAt(dir.get(), package.filename().string()) && package.parent_path().filename() == "packages")
      databases.push_back(package.parent_path().parent_path());
  }
  return databases;
}

bool MimeDatabaseHasPackages(const fs::path& database) {
  TreeVerdict why{};
  Descriptor packages = OpenFolder(database / "packages", why);
  return packages.ok() && !DatabaseServesNothing(database);
}

bool RemoveThisFile(const fs::path& file, dev_t device, ino_t inode) {
  if (!IsPlainAbsolute(file)) return false;
  TreeVerdict why{};
  Descriptor dir = OpenFolder(file.parent_path(), why);
  if (!dir.ok()) return false;
  const std::string name = file.filename();
  struct stat info {};
  if (::fstatat(dir.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
      info.st_dev != device || info.st_ino != inode)
    return false;
  return ::unlinkat(dir.get(), name.c_str(), 0) == 0;
}

}  // namespace vokar::uninstall
