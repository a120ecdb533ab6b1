// The server's command line: switches /L, /L+ and /L- (logo), /X (exit after
// reading), and one file to read. A token that starts with '/' and holds no
// other slash is a switch; the first other token is the file (a Linux path),
// and parsing stops there. A file name
// ending in "system" is no file: the server then starts minimised without a
// logo.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vokar::server {

enum class LogoSwitch { NotGiven = -1, Off = 0, On = 1 };

struct CommandLine {
  LogoSwitch logo = LogoSwitch::NotGiven;
  bool exitAfterReading = false;
  std::string file;
  bool startMinimised = false;
};

// Splits a command-line text at blanks, tabs and newlines.
std::vector<std::string> SplitCommandLine(std::string_view text);

CommandLine ParseCommandLine(const std::vector<std::string>& tokens);

}  // namespace vokar::server
