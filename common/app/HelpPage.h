// "Pomo&c...": the program's help page, an HTML file, opened in the user's
// browser. The page is looked for in the program's work folder first, then in
// help/ of the suite's data folders (the build's staged data, an
// installation's share/vokar). The user is told in a box when it is in none
// of them (with the places looked in) and when nothing on the desktop can
// show it (with the page's path, to open it another way): xdg-open is missing
// or ends in failure, or no other launcher the toolkit knows is there.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Program.h"

class QWidget;

namespace vokar::app {

// The places looked in, in order; workDir may be empty (no work folder).
std::vector<std::filesystem::path> HelpPlaces(const std::string& page, const std::string& workDir);

enum class HelpOutcome {
  Opening,    // handed to the launcher; if it fails later, the user is told then
  NotFound,   // in none of the places: told
  NoBrowser,  // nothing can show it: told
};

// How the program shows the kit's messages; by default a message box with the
// program's caption and a warning icon, over owner while it lives.
using TellUser = std::function<void(const std::string& utf8Text)>;

HelpOutcome OpenHelpPage(const ProgramInfo& program, const std::string& workDir, QWidget* owner,
                         TellUser tell = {});

// The texts the user is told.
std::string HelpNotFoundText(const ProgramInfo& program, const std::vector<std::filesystem::path>& places);
std::string NoBrowserText(const std::filesystem::path& page);

}  // namespace vokar::app
