#include "CommandLine.h"

#include <algorithm>
#include <cctype>

namespace vokar::comment {
namespace {

bool IsEmbeddingSwitch(const std::string& argument) {
  static const std::string kName = "embedding";
  if (argument.size() != kName.size() + 1 || (argument[0] != '/' && argument[0] != '-')) return false;
  return std::equal(kName.begin(), kName.end(), argument.begin() + 1,
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (!optionsEnded) {
      if (argument == "--") {
        optionsEnded = true;
        continue;
      }
      if (IsEmbeddingSwitch(argument)) {
        line.embedding = true;
        continue;
      }
      if (argument == "--register") {
        line.action = CommandLine::Action::Register;
        continue;
      }
      if (argument == "--unregister") {
        line.action = CommandLine::Action::Unregister;
        continue;
      }
      if (argument == "--write-icons") {
        line.action = CommandLine::Action::WriteIcons;
        continue;
      }
      if (argument == "--help" || argument == "-h") {
        line.action = CommandLine::Action::Help;
        continue;
      }
    }
    if (line.file.empty() && !argument.empty()) {
      line.file = argument;
    } else {
      line.ignored.push_back(argument);
    }
  }
  return line;
}

const char* UsageText() {
  return "Usage: remarka [FILE.ann]            edit comments (the file, or a new one)\n"
         "       remarka -Embedding FILE.ann   read the comment aloud without a window\n"
         "       remarka --register            register the comment type for this user\n"
         "       remarka --unregister          remove the comment type's registration\n"
         "       remarka --write-icons FOLDER  write the icons into an icon folder (for installing)\n"
         "One remarka runs per desktop: a later start hands its request to it.\n";
}

}  // namespace vokar::comment
