#include "SafeRemove.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "Places.h"
#include "Suite.h"

namespace vokar::uninstall {
namespace fs = std::filesystem;

const char* VerdictText(TreeVerdict verdict) {
  switch (verdict) {
    case TreeVerdict::Removed: return "removed";
    case TreeVerdict::PartlyRemoved: return "not everything in it could be deleted";
    case TreeVerdict::Missing: return "does not exist";
    case TreeVerdict::NotAbsolute: return "is not an absolute path";
    case TreeVerdict::SymbolicLink: return "is a symbolic link and is left alone";
    case TreeVerdict::NotAFolder: return "is not a folder";
    case TreeVerdict::Protected: return "is the root, the home folder or above it, and is never deleted";
    case TreeVerdict::NoMarker: return "does not hold the suite's marker and is left alone";
    case TreeVerdict::BadName: return "is not a plain folder name";
  }
  return "?";
}

namespace {

// Deeper trees than this are not entered; what lies below stays.
constexpr int kMaxDepth = 128;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

fs::path Resolved(const fs::path& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return {};
  return buffer;
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
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

// Deletes everything inside the open folder; true when it is empty afterwards.
// Folders are entered through descriptors opened without following links, so
// a link met on the way is deleted as a link, whatever it points at.
bool DeleteContents(int dirFd, dev_t device, int depth) {
  bool emptied = true;
  for (const auto& name : Names(dirFd)) {
    struct stat info {};
    if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      emptied = false;
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      if (info.st_dev != device || depth >= kMaxDepth) {
        emptied = false;
        continue;
      }
      Descriptor child(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!child.ok() || !DeleteContents(child.get(), device, depth + 1) ||
          ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0)
        emptied = false;
    } else if (::unlinkat(dirFd, name.c_str(), 0) != 0) {
      emptied = false;
    }
  }
  return emptied;
}

bool MarkerAt(int dirFd) {
  Descriptor marker(::openat(dirFd, std::string(suite::kMarkerFile).c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!marker.ok()) return false;
  struct stat info {};
  if (::fstat(marker.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size != static_cast<off_t>(suite::kMarkerText.size()))
    return false;
  std::string text(suite::kMarkerText.size(), '\0');
  std::size_t have = 0;
  while (have < text.size()) {
    const ssize_t got = ::read(marker.get(), text.data() + have, text.size() - have);
    if (got <= 0) return false;
    have += static_cast<std::size_t>(got);
  }
  return text == suite::kMarkerText;
}

struct OpenedFolder {
  TreeVerdict verdict = TreeVerdict::Missing;
  int fd = -1;
  dev_t device = 0;
};

// The checks every folder named by the record passes before anything in it
// is touched; on success the folder is open, never through a link.
OpenedFolder OpenNamedFolder(const fs::path& folder, const fs::path& home) {
  OpenedFolder result;
  if (folder.empty() || !folder.is_absolute()) {
    result.verdict = TreeVerdict::NotAbsolute;
    return result;
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    result.verdict = TreeVerdict::Missing;
    return result;
  }
  if (S_ISLNK(info.st_mode)) {
    result.verdict = TreeVerdict::SymbolicLink;
    return result;
  }
  if (!S_ISDIR(info.st_mode)) {
    result.verdict = TreeVerdict::NotAFolder;
    return result;
  }
  if (IsProtectedFolder(folder, home)) {
    result.verdict = TreeVerdict::Protected;
    return result;
  }
  result.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (result.fd < 0) {
    result.verdict = TreeVerdict::Missing;
    return result;
  }
  struct stat opened {};
  ::fstat(result.fd, &opened);
  result.device = opened.st_dev;
  result.verdict = TreeVerdict::Removed;
  return result;
}

}  // namespace

bool IsProtectedFolder(const fs::path& folder, const fs::path& home) {
  const fs::path resolved = Resolved(folder);
  // A folder whose real place cannot be found is not deleted either.
  if (resolved.empty() || resolved == "/") return true;
  fs::path accountHome;
  if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr)
    accountHome = account->pw_dir;
  for (const fs::path& guard : {home, suite::HomeDir(), accountHome}) {
    if (guard.empty()) continue;
    const fs::path resolvedHome = Resolved(guard);
    const fs::path& h = resolvedHome.empty() ? guard : resolvedHome;
    if (resolved == h) return true;
    const std::string prefix = resolved.string() + "/";
    if (h.string().compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

bool HasSuiteMarker(const fs::path& folder) {
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  return dir.ok() && MarkerAt(dir.get());
}

TreeVerdict RemoveWorkingDirectory(const fs::path& directory, const fs::path& home) {
  OpenedFolder opened = OpenNamedFolder(directory, home);
  if (opened.verdict != TreeVerdict::Removed) return opened.verdict;
  Descriptor dir(opened.fd);
  if (!MarkerAt(dir.get())) return TreeVerdict::NoMarker;
  if (!DeleteContents(dir.get(), opened.device, 0)) return TreeVerdict::PartlyRemoved;
  return ::rmdir(directory.c_str()) == 0 ? TreeVerdict::Removed : TreeVerdict::PartlyRemoved;
}

bool IsPlainGroupName(std::string_view name) {
  return !name.empty() && name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos &&
         name.find("..") == std::string_view::npos && name != ".";
}

TreeVerdict RemoveGroupFolder(const fs::path& programs, std::string_view groupName, const fs::path& home) {
  if (!IsPlainGroupName(groupName)) return TreeVerdict::BadName;
  if (programs.empty() || !programs.is_absolute()) return TreeVerdict::NotAbsolute;
  const fs::path folder = programs / std::string(groupName);
  OpenedFolder opened = OpenNamedFolder(folder, home);
  if (opened.verdict != TreeVerdict::Removed) return opened.verdict;
  Descriptor dir(opened.fd);
  bool emptied = true;
  for (const auto& name : Names(dir.get())) {
    const bool entryName = name.size() > suite::kShortcutExtension.size() &&
                           name.ends_with(suite::kShortcutExtension);
    if (!entryName || !RemoveShortcut(folder / name)) emptied = false;
  }
  if (!emptied) return TreeVerdict::PartlyRemoved;
  return ::rmdir(folder.c_str()) == 0 ? TreeVerdict::Removed : TreeVerdict::PartlyRemoved;
}

bool RemoveShortcut(const fs::path& file) {
  if (file.empty() || !file.is_absolute()) return false;
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) return false;
  if (S_ISLNK(info.st_mode)) return ::unlink(file.c_str()) == 0;
  if (!S_ISREG(info.st_mode)) return false;
  Descriptor entry(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!entry.ok()) return false;
  std::string bytes(64 * 1024, '\0');
  std::size_t have = 0;
  while (have < bytes.size()) {
    const ssize_t got = ::read(entry.get(), bytes.data() + have, bytes.size() - have);
    if (got <= 0) break;
    have += static_cast<std::size_t>(got);
  }
  bytes.resize(have);
  if (!suite::IsSuiteEntry(bytes)) return false;
  return ::unlink(file.c_str()) == 0;
}

}  // namespace vokar::uninstall
