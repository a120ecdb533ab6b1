#include "Intl.h"

#include <cstdlib>

#include "Cp1250.h"
#include "RegularFile.h"

namespace vokar::intl {
namespace {

// Profile files hold a few lines; more than this is not read.
constexpr std::size_t kMaxIniBytes = 1024 * 1024;

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Each value on its own, so a file that mixes the encodings reads right.
std::string ToCp1250(std::string_view value) { return cp1250::IncomingText(value); }

// The line the read limit cut is not the value anyone wrote (and may end
// inside a character): of a longer file only the whole lines are read.
std::string_view WholeLines(const files::FileRead& read) {
  const std::string_view text = read.bytes;
  return read.truncated ? text.substr(0, text.rfind('\n') + 1) : text;
}

}  // namespace

std::filesystem::path ConfigDir() {
  if (const char* dir = std::getenv("VOKAR_CONFIG_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::filesystem::path(xdg) / "quillmark";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::filesystem::path(home) / ".config" / "quillmark";
  return ".";
}

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
  // An editor's byte order mark would hide the first section's name.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  bool inSection = false;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    const std::string_view line = Trim(text.substr(0, newline));
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      inSection = close != std::string_view::npos && EqualsAsciiNoCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!EqualsAsciiNoCase(Trim(line.substr(0, eq)), key)) continue;
    // A value in double quotes keeps its blanks: sThousand=" " is a blank.
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return std::string(value);
  }
  return std::nullopt;
}

std::optional<std::string> ReadIniValue(const std::filesystem::path& file, std::string_view section,
                                        std::string_view key) {
  // A profile file is small; a FIFO or a device of its name is never opened.
  const files::FileRead read = files::ReadRegularFile(file, kMaxIniBytes);
  if (!read.ok()) return std::nullopt;
  return FindIniValue(WholeLines(read), section, key);
}

IntlValues ParseIntl(std::string_view iniText) {
  IntlValues values;
  // A key that is present with an empty value says that the locale has no
  // such separator (0); only a missing key keeps the default.
  auto firstChar = [&](std::string_view key, unsigned char& target) {
    if (auto v = FindIniValue(iniText, "intl", key)) {
      const std::string text = ToCp1250(*v);
      target = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    }
  };
  firstChar("sDecimal", values.decimal);
  firstChar("sThousand", values.thousand);
  firstChar("sDate", values.date);
  if (auto v = FindIniValue(iniText, "intl", "sShortDate")) values.shortDate = ToCp1250(*v).substr(0, 15);
  return values;
}

IntlValues ReadIntlFrom(const std::filesystem::path& file) {
  const files::FileRead read = files::ReadRegularFile(file, kMaxIniBytes);
  if (!read.ok()) return IntlValues{};
  return ParseIntl(WholeLines(read));
}

IntlValues ReadIntl() { return ReadIntlFrom(ConfigDir() / "intl.ini"); }

}  // namespace vokar::intl
