#include "Places.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "Suite.h"

namespace vokar::suite {
namespace {

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return {};
  std::filesystem::path path(value);
  // A relative value is invalid by the base directory rules and is ignored.
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path HomeDir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return {};
}

std::filesystem::path DataHome() {
  auto path = AbsoluteFromEnvironment("XDG_DATA_HOME");
  if (!path.empty()) return path;
  const auto home = HomeDir();
  return home.empty() ? std::filesystem::path() : home / ".local" / "share";
}

std::filesystem::path ConfigHome() {
  auto path = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
  if (!path.empty()) return path;
  const auto home = HomeDir();
  return home.empty() ? std::filesystem::path() : home / ".config";
}

std::filesystem::path AutostartDir() {
  const auto config = ConfigHome();
  return config.empty() ? config : config / "autostart";
}

std::filesystem::path ApplicationsDir() {
  const auto data = DataHome();
  return data.empty() ? data : data / "applications";
}

std::filesystem::path DefaultWorkingDir() {
  const auto data = DataHome();
  return data.empty() ? data : data / "quillmark" / "vokar";
}

bool IsSuiteEntry(std::string_view bytes) {
  const std::string ownerLine = std::string(kEntryOwnerKey) + "=" + std::string(kEntryOwnerValue);
  bool inMainGroup = false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '[') {
      inMainGroup = line == "[Desktop Entry]";
    } else if (inMainGroup && line == ownerLine) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace vokar::suite
