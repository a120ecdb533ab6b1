// The [intl] locale values the engine reads figures and dates with, taken from
// the user's intl.ini in the suite's config folder, never from the POSIX
// locale, so that Polish text reads the same on every machine. Also the small
// INI reader shared with other profile files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vokar::intl {

// The suite's config folder: VOKAR_CONFIG_DIR when set, else
// $XDG_CONFIG_HOME/quillmark, else ~/.config/quillmark.
std::filesystem::path ConfigDir();

// One value of an INI file: the text after "key=" in [section], both names
// compared without regard to ASCII case, surrounding blanks trimmed (a value
// in double quotes keeps its blanks, without the quotes). Nothing
// when the file, the section or the key is missing, or when the file is not
// a regular file (a FIFO or a device is never opened). Only the first MiB of
// a file is read.
std::optional<std::string> ReadIniValue(const std::filesystem::path& file, std::string_view section,
                                        std::string_view key);
// The same for the text of an INI file already in memory.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key);

// The values in code page 1250 (a file in UTF-8 is converted).
struct IntlValues {
  // The first character of each value; 0 when the key is present with an
  // empty value: the locale has no such separator.
  unsigned char decimal = ',';   // sDecimal
  unsigned char thousand = '.';  // sThousand
  unsigned char date = '/';      // sDate
  std::string shortDate;         // sShortDate, at most 15 characters
};

// Reads ConfigDir()/intl.ini; every key that is missing keeps its default.
IntlValues ReadIntl();
IntlValues ReadIntlFrom(const std::filesystem::path& file);
// The values of the text of an intl.ini already in memory.
IntlValues ParseIntl(std::string_view iniText);

}  // namespace vokar::intl
