#include "CommandLine.h"

#include <cctype>

namespace vokar::server {
namespace {

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Linux paths hold slashes, so a switch is a token that starts with '/' and
// holds no other: "/L-" and "/x" are switches, "/home/ala/list.txt" and
// "notes/list.txt" are file names.
bool IsSwitch(std::string_view token) {
  return !token.empty() && token.front() == '/' && token.find('/', 1) == std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    const std::size_t start = at;
    while (at < text.size() && !IsBlank(text[at])) ++at;
    if (at > start) tokens.emplace_back(text.substr(start, at - start));
  }
  return tokens;
}

CommandLine ParseCommandLine(const std::vector<std::string>& tokens) {
  CommandLine line;
  for (const std::string& token : tokens) {
    if (IsSwitch(token)) {
      const std::string name = Upper(std::string_view(token).substr(1));
      if (name == "L" || name == "L+") {
        line.logo = LogoSwitch::On;
      } else if (name == "L-") {
        line.logo = LogoSwitch::Off;
      } else if (name == "X") {
        line.exitAfterReading = true;
      }
      continue;
    }
    line.file = token;
    break;
  }
  if (line.file.size() > 5 && Upper(std::string_view(line.file).substr(line.file.size() - 6)) == "SYSTEM") {
    line.file.clear();
    line.logo = LogoSwitch::Off;
    line.startMinimised = true;
  }
  if (line.file.empty()) line.exitAfterReading = false;
  return line;
}

}  // namespace vokar::server
