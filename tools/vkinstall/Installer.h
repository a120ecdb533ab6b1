// Registers the installed suite for one user, as the original installer did:
// the application paths of the programs, the installation record with the
// working directory and its marker, the shell folders, the desktop entries
// that stand for the shortcuts (start-up, send-to, the programs group), the
// uninstall entry and the comment type (through the comment editor's own
// registration). Running it again rewrites the same
// things, so it is also the repair.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "DesktopEntry.h"

namespace vokar::install {

// One item of the programs group.
struct MenuItem {
  std::string_view executable;
  std::string_view name;
  std::string_view genericName;
  std::string_view comment;
  std::string_view icon;  // icon name in the hicolor theme
  bool takesFile;         // %f on the command line
};

// The six programs and the uninstaller, as they appear in the menu.
const std::vector<MenuItem>& MenuItems();
const MenuItem* FindMenuItem(std::string_view executable);

// The entry of the system-wide menu that an installation carries: the program
// by name on the PATH, the icon by name.
DesktopEntry SystemMenuEntry(const MenuItem& item);

struct InstallPlaces {
  std::filesystem::path programsDir;  // where the executables are
  std::filesystem::path iconsDir;     // the installation's hicolor/scalable/apps folder
  std::filesystem::path workingDir;
  std::filesystem::path startupDir;       // the autostart folder
  std::filesystem::path applicationsDir;  // the programs menu and the send-to actions
  std::string groupName;
};

// The places for the running vkinstall: programs beside it, icons in the
// installation's share folder, the rest from the XDG base directories.
InstallPlaces DefaultPlaces();

// The per-user entry of a program: its full path, its icon file when the
// installation has one, and the working directory.
DesktopEntry UserEntry(const MenuItem& item, const InstallPlaces& places);

struct InstallReport {
  std::vector<std::string> done;     // what was written, one line each
  std::vector<std::string> skipped;  // programs that are not installed
  std::vector<std::string> errors;
  bool ok() const { return errors.empty(); }
};

InstallReport InstallForUser(const InstallPlaces& places);

// Writes a file through a temporary file and a rename, so that a reader never
// sees half of it. An existing file that is not one of the suite's desktop
// entries is left alone (an error); a symbolic link is replaced, never followed.
bool WriteEntryFile(const std::filesystem::path& file, std::string_view bytes, std::string& error);

}  // namespace vokar::install
