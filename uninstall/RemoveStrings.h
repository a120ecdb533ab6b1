// The uninstaller's string table, by resource number, in UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

namespace vokar::uninstall {

inline constexpr int IDS_UNKNOWN_ERROR = 200;
inline constexpr int IDS_FATAL_INIT = 201;
inline constexpr int IDS_RUNNING = 59166;
inline constexpr int IDS_PRODUCT = 59168;
inline constexpr int IDS_CHECKING = 59171;
inline constexpr int IDS_STARTUP = 59172;
inline constexpr int IDS_FILES = 59173;
inline constexpr int IDS_GROUP = 59174;
inline constexpr int IDS_SETTINGS = 59175;
inline constexpr int IDS_APP_PATHS = 59176;
inline constexpr int IDS_UNINSTALL_DATA = 59177;
inline constexpr int IDS_COMMENTS = 59178;
inline constexpr int IDS_SELF = 59179;
inline constexpr int IDS_TITLE = 59180;
inline constexpr int IDS_QUESTION = 59181;
inline constexpr int IDS_ABORTED = 59182;
inline constexpr int IDS_DONE = 59183;
inline constexpr int IDS_FIRST_STATUS = 59184;

// Code of the first question's "no": the program ends with exit code 2 and
// no message.
inline constexpr int kDeclined = 202;

// The text of a string; empty for a number the table does not hold.
std::string_view LoadString(int id);

// Shown when the program cannot start at all (no display to show anything on).
inline constexpr std::string_view kFatalText =
    "Błąd krytyczny deinstalacji, usunięcie pakietu nie może być przeprowadzona!\nSkontaktuj się z producentem.";
inline constexpr std::string_view kFatalTitle = "Usuwanie Vokara 1.1";

// Lines added to the final message on this system, where the uninstaller
// deletes its own file at once instead of at the next restart.
inline constexpr std::string_view kPackageNote = "Pliki programów usuwa z systemu polecenie: apt remove vokar";
inline constexpr std::string_view kSelfNotDeleted = "Nie udało się usunąć pliku deinstalatora:";
inline constexpr std::string_view kSelfNotRecorded =
    "Ten deinstalator nie jest plikiem zarejestrowanej instalacji, więc jej deinstalator pozostaje:";

// What stayed, in the last message: files the suite did not make, and places
// reached only through a symbolic link; at most kLeftLinesShown of each.
inline constexpr std::string_view kLeftNotOurs = "Pozostawiono pliki, których nie utworzył pakiet:";
inline constexpr std::string_view kLeftBehindLink = "Pozostawiono, bo prowadzi do nich dowiązanie symboliczne:";
inline constexpr std::string_view kLeftMore = "i %d innych";
inline constexpr std::size_t kLeftLinesShown = 10;

}  // namespace vokar::uninstall
