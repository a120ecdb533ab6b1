// What the speech client tells the user, word for word the same in every
// program that carries it (UTF-8; printf patterns where a value goes in).
#pragma once

namespace vokar::speechclient {

inline constexpr const char* kNotRegisteredAsClient = "'%s' nie został zarejestrowany jako klient DDE.";
inline constexpr const char* kNoDdeConnection = "Połączenie z serwerem DDE nie zostało nawiązane.";
inline constexpr const char* kWrongVersion = "Serwer: '%s' ma nieodpowiednią wersję.\nWersja pożądana= %d.%d (minor= %d.%d).\n";
inline constexpr const char* kServerNotFound = "Nie znaleziono serwera mowy VOKAR.EXE\n";
inline constexpr const char* kCannotStartServer = "Nie udała się próba uruchomienia serwera mowy:\n  %s\n";
inline constexpr const char* kTransactionTimeout = "Przekroczono czas transakcji DDE.\n";
inline constexpr const char* kInvalidParameter = "Błędny parametr w transakcji DDE.\n";
inline constexpr const char* kNoConversation = "Brak połączenia z serwerem mowy.\n";
inline constexpr const char* kServerDied = "Serwer mowy zerwał połączenie DDE.\nWznowienie połączenia nie powiodło się.\n";
inline constexpr const char* kOtherDdeError = "Błąd obsługi transakcji DDE= %x.\n";
inline constexpr const char* kReconnectFailed =
    "Przerwane zostało połączenie z serwerem VOKAR.EXE\nPróba wznowienia połączenia nie powiodła się.\n";

}  // namespace vokar::speechclient
