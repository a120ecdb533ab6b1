#include "Places.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "Registry.h"
#include "Suite.h"
#include "TextLines.h"

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

std::filesystem::path DocumentsDirFromUserDirs(std::string_view text, const std::filesystem::path& home) {
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  std::filesystem::path found;
  text::CLines lines(text);
  for (std::string_view line; lines.Next(line);) {
    line = text::TrimBlanks(line);
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    // The value is written in double quotes, with \ before a quote or backslash.
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') continue;
    line = line.substr(1, line.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    if (value == "$HOME") {
      found = home;
    } else if (value.starts_with("$HOME/")) {
      if (home.empty()) continue;
      found = home / value.substr(6);
    } else if (!value.empty() && value.front() == '/') {
      found = value;
    }
    // The last line that names the folder counts, as for a shell.
  }
  return found.empty() ? found : found.lexically_normal();
}

std::filesystem::path DocumentsDir() {
  const auto home = HomeDir();
  const auto config = ConfigHome();
  std::filesystem::path documents;
  if (!config.empty()) {
    std::ifstream in(config / "user-dirs.dirs", std::ios::binary);
    if (in) {
      std::string text(64 * 1024, '\0');
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<std::size_t>(in.gcount()));
      documents = DocumentsDirFromUserDirs(text, home);
    }
  }
  std::error_code error;
  if (documents.empty() || !std::filesystem::is_directory(documents, error)) return home;
  // The suite's own folder, where the record puts it or by default, is never
  // offered for the user's files.
  const auto resolved = std::filesystem::weakly_canonical(documents, error);
  std::vector<std::filesystem::path> suiteFolders{DefaultWorkingDir()};
  if (auto record = registry::Key::Open(registry::Root::CurrentUser, kRecordKey))
    if (auto directory = record->QueryString(kDirectoryValue); directory && !directory->empty())
      suiteFolders.emplace_back(directory.value());
  for (const auto& folder : suiteFolders) {
    if (folder.empty() || !folder.is_absolute()) continue;
    const auto working = std::filesystem::weakly_canonical(folder, error);
    const auto mismatch = std::mismatch(working.begin(), working.end(), resolved.begin(), resolved.end());
    if (mismatch.first == working.end()) return home;
  }
  return documents;
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

bool IsSuiteEntryFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  std::string bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    // An entry is judged by its first 64 KiB, far beyond any of ours.
    bytes.resize(64 * 1024);
    std::size_t have = 0;
    while (have < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
      if (got <= 0) break;
      have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
  }
  ::close(fd);
  return IsSuiteEntry(bytes);
}

bool AutostartIsOn(const std::filesystem::path& startupDir) {
  if (startupDir.empty()) return false;
  for (const auto name : kStartupShortcuts)
    if (IsSuiteEntryFile(startupDir / (std::string(name) + std::string(kShortcutExtension)))) return true;
  return false;
}

}  // namespace vokar::suite
