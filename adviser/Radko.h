// The adviser Radko: one run speaks one line of its text file through the
// speech server and remembers which line it was. Settings live under
// HKEY_CURRENT_USER\Software\Quillmark\Radko\Text File.
#pragma once

#include <string>
#include <vector>

namespace vokar::adviser {

inline constexpr const char* kRadkoTitle = "Radko";
// The quit command the speech client sends on Abort; Radko has no handler
// for it, so Abort only ends the question.
inline constexpr unsigned kRadkoQuitCommand = 33019;

struct RadkoSettings {
  std::string name;        // path of the text file (UTF-8)
  bool randomize = true;   // random line, else the one after lastRow
  int lastRow = 0;         // index of the line spoken last
  std::string initString;  // put before every line (UTF-8 as stored)
};

RadkoSettings ReadSettings();
// False when the store could not be written (told on standard error).
bool WriteSettings(const RadkoSettings& settings);

// The whole run: arguments after the program's name (the first, when there is
// one, is the text file, chosen from at random). Returns the exit status: 0
// when a line was handed to the server or there was nothing to say, 1 when
// nothing could be spoken.
int RunRadko(const std::vector<std::string>& arguments);

}  // namespace vokar::adviser
