#include "KeyLocation.h"

#include <array>
#include <utility>

namespace vokar::registry {
namespace {

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

constexpr std::array<std::pair<std::string_view, Root>, 6> kHiveNames{{
    {"HKEY_CURRENT_USER", Root::CurrentUser},
    {"HKCU", Root::CurrentUser},
    {"HKEY_LOCAL_MACHINE", Root::LocalMachine},
    {"HKLM", Root::LocalMachine},
    {"HKEY_CLASSES_ROOT", Root::ClassesRoot},
    {"HKCR", Root::ClassesRoot},
}};

}  // namespace

std::optional<KeyLocation> ParseKeyLocation(std::string_view text) {
  while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  const auto slash = text.find('\\');
  const std::string_view hive = text.substr(0, slash);
  for (const auto& [name, root] : kHiveNames) {
    if (EqualsAsciiNoCase(hive, name)) {
      KeyLocation location;
      location.root = root;
      if (slash != std::string_view::npos) location.path = std::string(text.substr(slash + 1));
      return location;
    }
  }
  return std::nullopt;
}

std::string FormatKeyLocation(const KeyLocation& location) {
  std::string text(RootName(location.root));
  if (!location.path.empty()) text += "\\" + location.path;
  return text;
}

}  // namespace vokar::registry
