// vkinstall: registers the installed suite for the user who runs it (see
// Installer.h). The first start of any program of the suite runs it with
// --first-start when the installation record is missing.
//   vkinstall [--quiet]                       everything but the start at login
//   vkinstall --first-start [--quiet]         application paths and the comment type
//   vkinstall --autostart | --no-autostart    Horalo, Vokar and Radko start at login, or not
//   vkinstall --menu-entries DIR PROGRAM...   the installation's own menu entries
// Exit codes: 0 done, 1 something could not be written, 2 bad command line.
#include <iostream>
#include <string>
#include <vector>

#include "DesktopEntry.h"
#include "Installer.h"
#include "Suite.h"

namespace {

using namespace vokar::install;

constexpr const char* kUsage =
    "usage: vkinstall [--quiet]                     register the suite for this user\n"
    "       vkinstall --first-start [--quiet]       only the application paths and the comment type\n"
    "       vkinstall --autostart [--quiet]         start Horalo, Vokar and Radko at login\n"
    "       vkinstall --no-autostart [--quiet]      do not start them at login\n"
    "       vkinstall --menu-entries DIR PROGRAM...\n";

int WriteMenuEntries(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    std::cerr << "vkinstall: --menu-entries needs a folder and at least one program\n" << kUsage;
    return 2;
  }
  const std::filesystem::path dir = args[0];
  int result = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const MenuItem* item = FindMenuItem(args[i]);
    if (item == nullptr) {
      std::cerr << "vkinstall: " << args[i] << " is not a program of the suite\n";
      return 2;
    }
    std::string error;
    if (!WriteEntryFile(dir / (args[i] + std::string(vokar::suite::kShortcutExtension)),
                        FormatDesktopEntry(SystemMenuEntry(*item)), error)) {
      std::cerr << "vkinstall: " << error << "\n";
      result = 1;
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--menu-entries") return WriteMenuEntries({args.begin() + 1, args.end()});
  bool quiet = false;
  enum class Task { Register, FirstStart, AutostartOn, AutostartOff } task = Task::Register;
  int tasks = 0;
  for (const auto& arg : args) {
    if (arg == "--quiet" || arg == "-q") {
      quiet = true;
    } else if (arg == "--first-start") {
      task = Task::FirstStart;
      ++tasks;
    } else if (arg == "--autostart") {
      task = Task::AutostartOn;
      ++tasks;
    } else if (arg == "--no-autostart") {
      task = Task::AutostartOff;
      ++tasks;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "vkinstall: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
  }
  if (tasks > 1) {
    std::cerr << "vkinstall: --first-start, --autostart and --no-autostart go alone\n" << kUsage;
    return 2;
  }
  const InstallPlaces places = DefaultPlaces();
  if (places.programsDir.empty()) {
    std::cerr << "vkinstall: cannot find the folder of the programs\n";
    return 1;
  }
  InstallReport report;
  switch (task) {
    case Task::Register: report = InstallForUser(places, InstallMode::Full); break;
    case Task::FirstStart: report = InstallForUser(places, InstallMode::FirstStart); break;
    case Task::AutostartOn: report = SetAutostart(places, true); break;
    case Task::AutostartOff: report = SetAutostart(places, false); break;
  }
  if (!quiet) {
    for (const auto& line : report.done) std::cout << line << "\n";
    for (const auto& line : report.skipped) std::cout << "skipped: " << line << "\n";
  }
  for (const auto& line : report.errors) std::cerr << "vkinstall: " << line << "\n";
  return report.ok() ? 0 : 1;
}
