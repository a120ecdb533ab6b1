#include "DesktopFolder.h"

#include "RuntimeFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace vokar::desktop {
namespace {

constexpr std::size_t kStemLength = 16;

std::string Stem(WindowHandle window) {
  char text[kStemLength + 1];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(window.value));
  return text;
}

// A process that can be signalled or that belongs to someone else (EPERM)
// exists; only ESRCH proves it is gone.
bool ProcessExists(std::uint32_t pid) {
  if (pid == 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

std::filesystem::path DesktopFolder() { return paths::RuntimeFolder(); }

std::optional<std::string> PrepareDesktopFolder(const std::filesystem::path& folder) {
  return paths::PrepareRuntimeFolder(folder);
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
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < title.size()) {
    const ssize_t n = ::write(fd, title.data() + done, title.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (done != title.size() || ::rename(temporary.c_str(), final.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> ReadTitleFile(const std::filesystem::path& folder, WindowHandle window) {
  const auto path = EndpointPath(folder, window, EndpointFile::Title);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string title(kMaxTitle + 1, '\0');
  std::size_t got = 0;
  while (got < title.size()) {
    const ssize_t n = ::read(fd, title.data() + got, title.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got > kMaxTitle) return std::nullopt;
  title.resize(got);
  return title;
}

bool EndpointAlive(const std::filesystem::path& folder, WindowHandle window) {
  if (!window) return false;
  const auto path = EndpointPath(folder, window, EndpointFile::Lock);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    // No lock file: the window was destroyed, or its owner died while
    // creating it. Either way nothing of it may stay.
    if (!ProcessExists(window.processId())) RemoveEndpointFiles(folder, window);
    return false;
  }
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (!held) RemoveEndpointFiles(folder, window);
  ::close(fd);
  return held;
}

std::vector<WindowInfo> ScanWindows(const std::filesystem::path& folder, const std::optional<std::string_view>& title,
                                    ScanMode mode) {
  std::vector<WindowInfo> found;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return found;
  std::unordered_map<std::uint32_t, bool> processAlive;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    const auto window = HandleOfFileName(name);
    if (!window) continue;
    const std::uint32_t pid = window->processId();
    auto known = processAlive.find(pid);
    if (known == processAlive.end()) known = processAlive.emplace(pid, ProcessExists(pid)).first;
    if (!known->second) {
      RemoveEndpointFiles(folder, *window);
      continue;
    }
    if (name.substr(kStemLength) != ".title") continue;
    auto windowTitle = ReadTitleFile(folder, *window);
    if (!windowTitle) continue;
    if (title) {
      if (*windowTitle != *title || !EndpointAlive(folder, *window)) continue;
    }
    found.push_back({*window, std::move(*windowTitle)});
    if (mode == ScanMode::FirstMatch) break;
  }
  ::closedir(dir);
  return found;
}

}  // namespace vokar::desktop
