#include "AlfError.h"

namespace vokar::alf {

std::string AlfError::ToString() const {
  std::string text;
  switch (kind) {
    case ErrorKind::Manifest: text = "manifest"; break;
    case ErrorKind::Source: text = "source"; break;
    case ErrorKind::AlfFile: text = "allophone file"; break;
    case ErrorKind::Io: text = "file"; break;
  }
  if (!file.empty()) text += " " + file;
  if (kind == ErrorKind::Manifest && position > 0) {
    text += " line " + std::to_string(position);
  } else if ((kind == ErrorKind::Source || kind == ErrorKind::AlfFile) && position > 0) {
    text += " at byte " + std::to_string(position);
  }
  return text + ": " + description;
}

AlfError MakeError(ErrorKind kind, std::string file, std::size_t position, std::string description) {
  return AlfError{kind, std::move(file), position, std::move(description)};
}

}  // namespace vokar::alf
