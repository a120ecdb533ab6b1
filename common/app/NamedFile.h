// Files that a user, another program or the network names (a dropped file, a
// queued file, a wave insert, a dictionary) are read by one rule: only regular
// files are opened, never blocking, and a name longer than the system's limit
// is refused rather than cut. This is the message the user sees when such a
// file fails: the stage, the name, a newline and the cause.
#pragma once

#include <string>
#include <string_view>

#include "RegularFile.h"
#include "StringTable.h"

namespace vokar::app {

// String resources of the cause texts, by cause: 4911 not found ... 4920 end
// of file.
inline constexpr int kFileCauseFirstId = 4911;

// The cause text of an error in UTF-8; empty for None and for causes the
// programs have no text for.
std::string_view FileCauseText(files::FileError error);
// Its string resource number, or 0 when it has none.
int FileCauseId(files::FileError error);
// The cause texts as string resources 4911-4920, for a program's table.
std::span<const StringResource> FileCauseResources();

enum class FileStage { Open, Read };
// Whether an error stops the opening of a file or the reading of an open one.
FileStage StageOf(files::FileError error);

inline constexpr std::string_view kOpenErrorPrefix = "Błąd otwarcia pliku: ";
inline constexpr std::string_view kReadErrorPrefix = "Błąd przetwarzania pliku: ";

// A file name's bytes as the user should read them: UTF-8 as it stands,
// anything else taken as code page 1250.
std::string DisplayName(std::string_view nameBytes);

// "Błąd otwarcia pliku: NAME\nCAUSE" or "Błąd przetwarzania pliku: NAME\nCAUSE"
// in UTF-8.
std::string FileErrorMessage(std::string_view utf8Name, files::FileError error);
// The same for a name given as the system's bytes.
std::string FileErrorMessageFor(std::string_view nameBytes, files::FileError error);

}  // namespace vokar::app
