// The uninstaller's string table, by resource number, in UTF-8 (written in
// RemoveResources.strings), and the texts it shows when it cannot start.
#pragma once

#include <cstddef>
#include <string_view>

#include "RemoveResources.h"

namespace vokar::uninstall {

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
