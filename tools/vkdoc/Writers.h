// The two outputs of one guide: the help page a program opens in the browser
// (a whole HTML document) and the manual page `man` shows (roff with the man
// macros, pure ASCII, every other character written as its code point, so that
// groff reads it the same whatever the locale).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Markdown.h"

namespace vokar::doc {

struct WriteError {
  int line = 0;
  std::string message;
};

// Says whether a guide of this name ("vokar" for "vokar.md") stands beside
// the one being written; links to other guides are checked with it.
using GuideExists = std::function<bool(std::string_view name)>;

// What both outputs ask of a guide: every link can be followed (see
// CheckGuideLinks) and the page starts with its # title.
bool CheckPageToWrite(const Document& document, const GuideExists& guideExists, WriteError& error);

struct HtmlOptions {
  std::string language = "pl";  // the lang of the page
  GuideExists guideExists;      // unset: every guide is taken to exist
};

// The help page: headings carry the forge's anchors as ids, a link to
// "name.md" becomes "name.html". Fails on a link a help page cannot follow.
bool WriteHtml(const Document& document, const HtmlOptions& options, std::string& out, WriteError& error);

struct ManOptions {
  std::string language = "pl";  // "pl" or "en": the names of the NAME and DESCRIPTION sections
  int section = 1;
  std::string date;             // the page's date, YYYY-MM-DD
  std::string source;           // e.g. "Vokar 1.1.95.3"
  std::string manual;           // the title of the manual, e.g. "Podręcznik pakietu Vokar"
  std::string origin;           // the source file named in the page's first comment
  std::string name;             // when set, the command the title must name
  GuideExists guideExists;
};

// The manual page. The title must read "# name — summary": the name is the
// command, the summary goes into the NAME section that whatis reads.
bool WriteMan(const Document& document, const ManOptions& options, std::string& out, WriteError& error);

}  // namespace vokar::doc
