// vokar: the speech server. One per desktop; a second start hands its file
// to the running server and ends.
#include <string>
#include <vector>

#include "Application.h"
#include "ServerApp.h"

int main(int argc, char** argv) {
  vokar::app::CApplication application(argc, argv, "Vokar");
  // Qt has taken its own options out of argv by now.
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  int code = 0;
  {
    vokar::server::CServerApp server(application);
    code = server.Run(arguments);
  }
  return code;
}
