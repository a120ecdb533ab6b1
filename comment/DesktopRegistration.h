// The comment type on the Linux desktop: a MIME type in the user's shared MIME
// database (files named *.ann), a desktop entry whose default action reads a
// comment aloud without a window and whose second action opens it in the
// editor, the icons, and the entry as the type's default application. Only
// the user's own data and config folders are touched.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::comment {

struct DesktopPlaces {
  std::filesystem::path dataHome;    // $XDG_DATA_HOME, else ~/.local/share
  std::filesystem::path configHome;  // $XDG_CONFIG_HOME, else ~/.config

  // Empty paths when neither the variable nor HOME is set.
  static DesktopPlaces FromEnvironment();

  std::filesystem::path MimePackage() const;
  std::filesystem::path DesktopEntry() const;
  std::filesystem::path MimeAppsList() const;
  // Every icon file the registration writes.
  std::vector<std::filesystem::path> Icons() const;
};

// The icons of the comment type under an icon folder (".../icons": the
// hicolor theme's 32 and 48 pixel sizes). The program's own icon comes with
// the suite's installation.
std::vector<std::filesystem::path> IconFiles(const std::filesystem::path& iconsRoot);

// Writes the icons that are missing or different; false (with the problems)
// when one could not be written.
bool WriteIcons(const std::filesystem::path& iconsRoot, std::vector<std::string>& problems);

// One argument of a desktop entry's Exec line: in double quotes, with the
// characters the quoting reserves escaped and '%' doubled. Nothing for text
// that no Exec line can carry (control characters, invalid UTF-8).
std::optional<std::string> QuoteExecArgument(std::string_view argument);

// The desktop entry that starts this program; nothing when its path cannot be
// written into one.
std::optional<std::string> DesktopEntryText(const std::filesystem::path& program);

// The MIME package file's text.
std::string_view MimePackageText();

struct DesktopOutcome {
  bool ok = true;
  std::vector<std::string> problems;
  bool mimeDatabaseRebuilt = false;  // update-mime-database ran on the user's database
};

// Writes what is missing or different and rebuilds the user's MIME database
// when the package changed (or was never built). The default application of
// the type is set only when the user has none.
DesktopOutcome RegisterWithDesktop(const std::filesystem::path& program, const DesktopPlaces& places);

// Removes the package (rebuilding the database), the entry, the icons and the
// mentions of the entry in the list of default applications.
DesktopOutcome RemoveFromDesktop(const DesktopPlaces& places);

// The uninstaller's part, which deletes the files itself by its record:
// rebuilds a MIME database (nothing when the tool ran and succeeded, else
// why not), and takes the entry out of the user's list of default
// applications, refreshing the desktop's cache of entries where there is one.
std::optional<std::string> RebuildMimeDatabase(const std::filesystem::path& database);
DesktopOutcome ForgetDefaultApplication(const DesktopPlaces& places);

// Edits of the text of mimeapps.list, apart for testing: the default set when
// the type has none; every mention of the entry removed.
std::string WithDefaultApplication(std::string_view list, std::string_view mimeType, std::string_view entry);
std::string WithoutApplication(std::string_view list, std::string_view entry);

}  // namespace vokar::comment
