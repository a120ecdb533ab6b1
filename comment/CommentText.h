// The text of a comment as the editor holds it (UTF-8, one '\n' per line
// break) and as the file and the speech server take it (code page 1250, CR LF
// per line break). Characters the code page has no byte for are reported, so
// the editor can warn before it replaces them.
#pragma once

#include <string>
#include <string_view>

namespace vokar::comment {

struct FileText {
  std::string cp1250;          // CR LF line breaks; '?' for each character the code page lacks
  std::u32string unheld;       // those characters, each once, in the order they first appear
  bool lossless() const { return unheld.empty(); }
};

// Line breaks are '\n', "\r\n", a lone '\r', and the Unicode line and
// paragraph separators that a text editor may hold; each becomes CR LF.
FileText ToFileText(std::string_view utf8Text);

// CR LF, a lone CR and a lone LF each become one '\n'; every byte becomes its
// character, so nothing of the file is dropped.
std::string ToEditorText(std::string_view cp1250Text);

}  // namespace vokar::comment
