#include "DesktopEntry.h"

#include "Suite.h"

namespace vokar::install {

std::string EscapeValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case ' ': out += i == 0 ? "\\s" : " "; break;
      default: out += c;
    }
  }
  return out;
}

std::string QuoteExecArgument(std::string_view argument) {
  static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = argument.empty();
  for (const char c : argument)
    if (kReserved.find(c) != std::string_view::npos) quote = true;
  std::string out;
  if (quote) out += '"';
  for (const char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

namespace {

std::string JoinList(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += EscapeValue(item) + ";";
  return out;
}

}  // namespace

std::string FormatDesktopEntry(const DesktopEntry& entry) {
  std::string exec;
  for (const auto& argument : entry.command) {
    if (!exec.empty()) exec += ' ';
    exec += QuoteExecArgument(argument);
  }
  if (!entry.fieldCode.empty()) exec += " " + entry.fieldCode;

  std::string out = "[Desktop Entry]\nType=Application\nVersion=1.4\n";
  out += "Name=" + EscapeValue(entry.name) + "\n";
  if (!entry.genericName.empty()) out += "GenericName=" + EscapeValue(entry.genericName) + "\n";
  if (!entry.comment.empty()) out += "Comment=" + EscapeValue(entry.comment) + "\n";
  if (!entry.tryExec.empty()) out += "TryExec=" + EscapeValue(entry.tryExec) + "\n";
  // The command line is quoted first, then escaped as any string value.
  out += "Exec=" + EscapeValue(exec) + "\n";
  if (!entry.workingDirectory.empty()) out += "Path=" + EscapeValue(entry.workingDirectory) + "\n";
  if (!entry.icon.empty()) out += "Icon=" + EscapeValue(entry.icon) + "\n";
  out += "Terminal=false\n";
  if (!entry.categories.empty()) out += "Categories=" + JoinList(entry.categories) + "\n";
  if (!entry.mimeTypes.empty()) out += "MimeType=" + JoinList(entry.mimeTypes) + "\n";
  if (entry.noDisplay) out += "NoDisplay=true\n";
  out += std::string(suite::kEntryOwnerKey) + "=" + std::string(suite::kEntryOwnerValue) + "\n";
  return out;
}

}  // namespace vokar::install
