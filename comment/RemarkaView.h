// The edit view of one comment: a plain-text editor whose text is the
// comment. It gives the text to read aloud (the selection, else the whole
// text) and leaves the speech keys Ctrl+A and Ctrl+D to the menu.
#pragma once

#include <QPlainTextEdit>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>

#include "DdeMessages.h"
#include "DesktopTypes.h"

namespace vokar::comment {

// The longest text handed to the server at once: the read command's own cap
// of 1048573 bytes, and within it what one poke to the item "text" carries
// with its NUL.
inline constexpr std::size_t kMaxTextToRead =
    std::min<std::size_t>(1048573, desktop::kMaxPayload - sizeof("text") - dde::kPokeHeaderSize - 1);

class CRemarkaView : public QPlainTextEdit {
 public:
  explicit CRemarkaView(QWidget* parent = nullptr);

  // The text to read aloud in code page 1250 with CR LF line breaks: the
  // selection, or the whole text when nothing is selected, cut to
  // kMaxTextToRead bytes; nothing when that is empty.
  std::optional<std::string> TextToRead() const;

  // The whole text as the comment file holds it.
  std::string FileText() const;

  // Every one of these characters becomes "?", as a save wrote it, in one
  // step that undo takes back; the number replaced.
  int ReplaceCharacters(const std::u32string& characters);

 protected:
  bool event(QEvent* event) override;
};

// Cuts the text to kMaxTextToRead bytes; nothing when it is empty.
std::optional<std::string> CapTextToRead(std::string cp1250Text);

}  // namespace vokar::comment
