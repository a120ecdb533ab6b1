// remarka: the editor and reader of spoken comments. One runs per desktop; a
// later start hands its comment to the running one and ends.
#include <cstdio>
#include <string>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "RemarkaApp.h"

int main(int argc, char** argv) {
  using namespace vokar::comment;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const CommandLine line = ParseCommandLine(arguments);
  // The registration commands need no desktop session.
  switch (line.action) {
    case CommandLine::Action::Help: std::fputs(UsageText(), stdout); return 0;
    case CommandLine::Action::Register: return RunRegistration(false);
    case CommandLine::Action::Unregister: return RunRegistration(true);
    case CommandLine::Action::WriteIcons: return RunWriteIcons(line.file);
    case CommandLine::Action::Run: break;
  }
  vokar::app::CApplication application(argc, argv, "Remarka");
  int code = 0;
  {
    CRemarkaApp remarka(application);
    code = remarka.Run(ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc)));
  }
  return code;
}
