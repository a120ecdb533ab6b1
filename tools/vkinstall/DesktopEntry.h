// Desktop entries (the XDG .desktop files) that stand for the suite's
// shortcuts and menu items: the fields the suite uses, written with the
// format's escapes, and the quoting of a command line in the Exec key.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vokar::install {

struct DesktopEntry {
  std::string name;
  std::string genericName;
  std::string comment;
  // The program and its arguments, each quoted when needed; fieldCode ("%f"
  // or empty) follows them unquoted.
  std::vector<std::string> command;
  std::string fieldCode;
  std::string tryExec;
  std::string workingDirectory;  // Path=, empty for none
  std::string icon;
  std::vector<std::string> categories;
  std::vector<std::string> mimeTypes;
  bool noDisplay = false;
};

// A string value with the format's escapes: \\ for a backslash, \s for a
// leading blank, \n \t \r for those characters.
std::string EscapeValue(std::string_view text);

// One argument of an Exec command line: quoted when it holds a blank or a
// character the format reserves, with ", `, $ and \ escaped inside the quotes;
// a per cent sign doubled, since a single one starts a field code.
std::string QuoteExecArgument(std::string_view argument);

// The whole file: the [Desktop Entry] group with the suite's owner key.
std::string FormatDesktopEntry(const DesktopEntry& entry);

}  // namespace vokar::install
