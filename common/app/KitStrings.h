// The texts the window kit shows on its own, the same in every program: the
// items of the system menu it adds, and what it says when the help page
// cannot be opened.
#pragma once

namespace vokar::app::text {

inline constexpr const char* kMinimise = "Mi&nimalizuj";
// "Za&mknij", not "&Zamknij": a program's own items come first in the menu
// (the server's "C&zytaj" or "Pau&za"), and in a Qt menu a letter whose first
// item is disabled never reaches the second.
inline constexpr const char* kClose = "Za&mknij";
inline constexpr const char* kOk = "OK";
// The help page exists but nothing on this desktop opens it; the page's path
// follows, so that the user can open it another way.
inline constexpr const char* kNoBrowser =
    "Nie można otworzyć pomocy: na tym komputerze nie ma przeglądarki stron WWW, która by ją wyświetliła.\n"
    "Stronę pomocy można otworzyć samodzielnie:";

}  // namespace vokar::app::text
