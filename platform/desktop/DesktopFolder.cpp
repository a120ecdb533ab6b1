#include "DesktopFolder.h"

#include "RuntimeFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "Descriptors.h"

namespace vokar::desktop {
namespace {

constexpr std::size_t kStemLength = 16;

// A window's lock is taken under a temporary name and renamed into place; a
// temporary lock younger than this that nobody holds yet belongs to a window
// being made this moment, an older one was left by a program that died.
constexpr std::chrono::seconds kStartingGrace{10};

std::string Stem(WindowHandle window) {
  char text[kStemLength + 1];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(window.value));
  return text;
}

enum class LockState { Held, Starting, Gone };

// Opens a file of the folder that must be ours; -1 for anything else.
int OpenOwn(const std::filesystem::path& path, struct stat& info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool LockedByOthers(int fd) { return ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK; }

// The lock decides whether a window lives; a lock file of another user counts
// as no lock at all.
LockState LockStateOf(const std::filesystem::path& folder, WindowHandle window) {
  struct stat info {};
  const auto lockPath = EndpointPath(folder, window, EndpointFile::Lock);
  // The maker renames its temporary lock into place between our looks at the
  // two names: a window that had neither name then has the final one now.
  for (int look = 0; look < 2; ++look) {
    if (const int fd = OpenOwn(lockPath, info); fd >= 0) {
      const bool held = LockedByOthers(fd);
      ::close(fd);
      return held ? LockState::Held : LockState::Gone;
    }
    if (const int fd = OpenOwn(lockPath.string() + ".tmp", info); fd >= 0) {
      // A young temporary lock is not tried: a try at the moment its maker
      // takes it would make the maker's own lock fail.
      const auto age = std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(info.st_mtime);
      const bool starting = age < kStartingGrace || LockedByOthers(fd);
      ::close(fd);
      return starting ? LockState::Starting : LockState::Gone;
    }
  }
  return LockState::Gone;
}

}  // namespace

std::filesystem::path DesktopFolder() { return paths::RuntimeFolder(); }

std::optional<std::string> PrepareDesktopFolder(const std::filesystem::path& folder) {
  return paths::PrepareRuntimeFolder(folder);
}

std::optional<std::string> DesktopFolderProblem(const std::filesystem::path& folder) {
  return paths::CheckRuntimeFolder(folder);
}

std::filesystem::path EndpointPath(const std::filesystem::path& folder, WindowHandle window, EndpointFile file) {
  const char* suffix = file == EndpointFile::Socket ? ".sock" : file == EndpointFile::Lock ? ".lock" : ".title";
  return folder / (Stem(window) + suffix);
}

std::optional<WindowHandle> HandleOfFileName(std::string_view fileName) {
  if (fileName.size() <= kStemLength || fileName[kStemLength] != '.') return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < kStemLength; ++i) {
    const char c = fileName[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  if (value == 0) return std::nullopt;
  return WindowHandle{value};
}

void RemoveEndpointFiles(const std::filesystem::path& folder, WindowHandle window) {
  const std::string stem = Stem(window);
  for (const char* suffix : {".title", ".title.tmp", ".sock", ".lock.tmp", ".lock"}) {
    ::unlink((folder / (stem + suffix)).c_str());
  }
}

bool WriteTitleFile(const std::filesystem::path& folder, WindowHandle window, std::string_view title) {
  const auto final = EndpointPath(folder, window, EndpointFile::Title);
  const auto temporary = final.string() + ".tmp";
  ::unlink(temporary.c_str());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  const bool written = files::WriteWhole(fd, title);
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), final.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> ReadTitleFile(const std::filesystem::path& folder, WindowHandle window) {
  struct stat info {};
  const int fd = OpenOwn(EndpointPath(folder, window, EndpointFile::Title), info);
  if (fd < 0) return std::nullopt;
  std::string title(kMaxTitle + 1, '\0');
  const ssize_t got = files::ReadWhole(fd, title.data(), title.size());
  ::close(fd);
  if (got < 0 || static_cast<std::size_t>(got) > kMaxTitle) return std::nullopt;
  title.resize(static_cast<std::size_t>(got));
  return title;
}

bool EndpointAlive(const std::filesystem::path& folder, WindowHandle window) {
  if (!window) return false;
  const LockState state = LockStateOf(folder, window);
  if (state == LockState::Gone) RemoveEndpointFiles(folder, window);
  return state == LockState::Held;
}

std::vector<WindowInfo> ScanWindows(const std::filesystem::path& folder, const std::optional<std::string_view>& title,
                                    ScanMode mode) {
  std::vector<WindowInfo> found;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return found;
  std::unordered_map<std::uint64_t, LockState> states;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    const auto window = HandleOfFileName(name);
    if (!window) continue;
    auto known = states.find(window->value);
    if (known == states.end()) {
      known = states.emplace(window->value, LockStateOf(folder, *window)).first;
      if (known->second == LockState::Gone) RemoveEndpointFiles(folder, *window);
    }
    if (known->second != LockState::Held || name.substr(kStemLength) != ".title") continue;
    auto windowTitle = ReadTitleFile(folder, *window);
    if (!windowTitle || (title && *windowTitle != *title)) continue;
    found.push_back({*window, std::move(*windowTitle)});
    if (mode == ScanMode::FirstMatch) break;
  }
  ::closedir(dir);
  return found;
}

}  // namespace vokar::desktop
