// The sender's texts: its string table and the messages of its network
// speech client, in UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "NetDdeClient.h"
#include "StringTable.h"

namespace vokar::netsend {

inline constexpr const char* kTitle = "Sievo";

const app::CStringTable& Strings();

// The client's messages (printf patterns where they take a value).
inline constexpr const char* kNotRegisteredAsClient = "'%s' nie został zarejestrowany jako klient DDE.";
inline constexpr const char* kSendImpossible = "Przesłanie komunikatu nie jest możliwe.";
inline constexpr const char* kCheckComputer = "Sprawdź, czy na komputerze, do którego chcesz";
inline constexpr const char* kCheckVersion = "wysłać komunikat jest zainstalowany Vokar 1.1 \nw wersji sieciowej.\n";
inline constexpr const char* kInvalidParameter = "Błędny parametr w transakcji NetworkDDE.\n";
inline constexpr const char* kNoConversation = "Brak połączenia z serwerem mowy Vokar przez NetworkDDE.\n";
inline constexpr const char* kServerDied = "Serwer mowy Vokar zerwał połączenie sieciowe NetworkDDE.\n";
inline constexpr const char* kOtherError = "Błąd obsługi transakcji NetworkDDE= %x.\n";

// Why no conversation with the computer (as the user typed it) came about,
// in a sentence for the message that says it failed; empty for None.
std::string FailureText(netdde::Failure failure, std::string_view computer);

}  // namespace vokar::netsend
