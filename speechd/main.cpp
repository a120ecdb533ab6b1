// sd_vokar: the speech-dispatcher output module that reads with the Vokar
// engine. speech-dispatcher starts it with the path of its configuration file
// (modules/vokar.conf, which need not exist) and talks to it on standard
// input and output; standard error is the module's log.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "ModuleConfig.h"
#include "OutputModule.h"
#include "PlatformFileAccess.h"
#include "ServerSettings.h"
#include "WaveOutFactory.h"

int main(int argc, char** argv) {
  using namespace vokar;
  // A server that has gone is seen as a failed write, not as a signal.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc > 2 || (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h"))) {
    std::cerr << "usage: sd_vokar [CONFIG]\n"
                 "The Vokar output module of speech-dispatcher: speech-dispatcher starts it and\n"
                 "talks to it on standard input and output. Try it with\n"
                 "  spd-say -o vokar -l pl \"Dzień dobry, 12.03.1996 r.\"\n";
    return argc > 2 ? 2 : 0;
  }
  if (::isatty(STDIN_FILENO))
    std::cerr << "sd_vokar: speech-dispatcher starts this module; it now reads its requests from the terminal\n";
  files::InstallPlatformFileAccess();
  speechd::ModuleConfig config = argc == 2 ? speechd::LoadModuleConfig(argv[1]) : speechd::ModuleConfig{};
  speechd::ServerSettings settings = speechd::ReadServerSettings(config.serverSettings);
  speechd::OutputModule module(STDIN_FILENO, STDOUT_FILENO, std::move(config), std::move(settings),
                               waveout::CreateWaveOut());
  return module.Run();
}
