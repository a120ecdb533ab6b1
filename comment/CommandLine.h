// remarka's command line: the switch "Embedding" (after "/" or "-", in any
// case) that starts it to serve a comment without a window, a comment file,
// and the registration commands of this port.
#pragma once

#include <string>
#include <vector>

namespace vokar::comment {

struct CommandLine {
  enum class Action { Run, Register, Unregister, WriteIcons, Help };
  Action action = Action::Run;
  bool embedding = false;
  std::string file;                   // the first file named (the folder for WriteIcons); empty when none
  std::vector<std::string> ignored;   // further arguments, which the program does not use
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text of --help.
const char* UsageText();

}  // namespace vokar::comment
