// Registers the installed suite for one user:
// the application paths of the programs, the installation record with the
// working directory and its marker, the shell folders, the desktop entries
// that stand for the shortcuts (send-to, the programs group), the uninstall
// entry and the comment type (through the comment editor's own
// registration). Running it again rewrites the same things, so it is also the
// repair. Starting at login is the user's choice: the start-up entries are
// written only by SetAutostart (vkinstall --autostart, or the check box in
// the server's window), and a later registration keeps them as they are.
// Every run records what it created (WrittenRecord.h), so that the
// uninstaller takes away that and nothing else.
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
  std::filesystem::path programsDir;  // where the executables are, resolved
  std::filesystem::path iconsDir;     // the installation's hicolor/scalable/apps folder
  std::filesystem::path workingDir;
  std::filesystem::path startupDir;       // the autostart folder
  std::filesystem::path applicationsDir;  // the programs menu and the send-to actions
  std::string groupName;
};

// The places for the running vkinstall: programs beside it, icons in the
// installation's share folder, the rest from the XDG base directories.
InstallPlaces DefaultPlaces();

// The per-user entry of a program: its full path and its icon file when the
// installation has one. It names no working directory: a program started
// from the menu works in the folder the desktop gives it (the home folder),
// never in the suite's own folder, so that nothing the user saves lands there.
DesktopEntry UserEntry(const MenuItem& item, const InstallPlaces& places);

struct InstallReport {
  std::vector<std::string> done;     // what was written, one line each
  std::vector<std::string> skipped;  // programs that are not installed
  std::vector<std::string> errors;
  bool ok() const { return errors.empty(); }
};

enum class InstallMode {
  Full,        // vkinstall: everything above
  FirstStart,  // a program's first start: application paths, the comment type, the record
};

InstallReport InstallForUser(const InstallPlaces& places, InstallMode mode = InstallMode::Full);

// Writes (on) or removes (off) the start-up entries of Horalo, Vokar and
// Radko; an entry of the same name that is not the suite's stays as it is.
InstallReport SetAutostart(const InstallPlaces& places, bool on);

// Writes a file through a temporary file and a rename, so that a reader never
// sees half of it. An existing file that is not one of the suite's desktop
// entries is left alone (an error); a symbolic link is replaced, never followed.
bool WriteEntryFile(const std::filesystem::path& file, std::string_view bytes, std::string& error);

}  // namespace vokar::install
