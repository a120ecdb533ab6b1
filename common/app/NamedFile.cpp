#include "NamedFile.h"

#include <vector>

#include "Cp1250.h"

namespace vokar::app {

using files::FileError;

std::string_view FileCauseText(FileError error) {
  switch (error) {
    case FileError::NotFound: return "Plik nie został znaleziony";
    case FileError::BadPath: return "Błędna ścieżka dostępu";
    case FileError::TooManyOpenFiles: return "Zbyt wiele otwartych plików";
    case FileError::AccessDenied: return "Zabroniony dostęp do pliku";
    case FileError::InvalidHandle: return "Użycie błędnego handlera pliku";
    case FileError::BadSeek: return "Błąd ustawienia wskaźnika pliku";
    case FileError::HardwareError: return "Błąd sprzętowy";
    case FileError::SharingViolation: return "Naruszenie obszaru współdzielonego";
    case FileError::LockViolation: return "Próba zablokowania obszaru już zablokowanego";
    case FileError::EndOfFile: return "Osiągnięto koniec pliku";
    case FileError::None:
    case FileError::Other: return {};
  }
  return {};
}

int FileCauseId(FileError error) {
  switch (error) {
    case FileError::NotFound: return kFileCauseFirstId;
    case FileError::BadPath: return kFileCauseFirstId + 1;
    case FileError::TooManyOpenFiles: return kFileCauseFirstId + 2;
    case FileError::AccessDenied: return kFileCauseFirstId + 3;
    case FileError::InvalidHandle: return kFileCauseFirstId + 4;
    case FileError::BadSeek: return kFileCauseFirstId + 5;
    case FileError::HardwareError: return kFileCauseFirstId + 6;
    case FileError::SharingViolation: return kFileCauseFirstId + 7;
    case FileError::LockViolation: return kFileCauseFirstId + 8;
    case FileError::EndOfFile: return kFileCauseFirstId + 9;
    case FileError::None:
    case FileError::Other: return 0;
  }
  return 0;
}

std::span<const StringResource> FileCauseResources() {
  static const auto resources = [] {
    std::vector<StringResource> all;
    for (int cause = static_cast<int>(FileError::NotFound); cause <= static_cast<int>(FileError::EndOfFile); ++cause) {
      const auto error = static_cast<FileError>(cause);
      all.push_back({FileCauseId(error), FileCauseText(error)});
    }
    return all;
  }();
  return resources;
}

FileStage StageOf(FileError error) {
  switch (error) {
    case FileError::InvalidHandle:
    case FileError::BadSeek:
    case FileError::HardwareError:
    case FileError::LockViolation:
    case FileError::EndOfFile:
      return FileStage::Read;
    default:
      return FileStage::Open;
  }
}

std::string FileErrorMessage(std::string_view utf8Name, FileError error) {
  std::string message(StageOf(error) == FileStage::Open ? kOpenErrorPrefix : kReadErrorPrefix);
  message += utf8Name;
  message += '\n';
  message += FileCauseText(error);
  return message;
}

std::string DisplayName(std::string_view nameBytes) {
  bool ascii = true;
  for (const char c : nameBytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii || cp1250::LooksLikeUtf8(nameBytes)) return std::string(nameBytes);
  return cp1250::ToUtf8(nameBytes);
}

std::string FileErrorMessageFor(std::string_view nameBytes, FileError error) {
  return FileErrorMessage(DisplayName(nameBytes), error);
}

}  // namespace vokar::app
