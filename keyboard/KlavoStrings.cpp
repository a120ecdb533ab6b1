#include "KlavoStrings.h"

#include <vector>

#include "KeyNames.h"
#include "KlavoIds.h"

namespace vokar::keyboard {
namespace {

constexpr app::StringResource kTexts[] = {
    {IDS_ABOUT_MENU, "&Informacja o Klavou..."},
    {IDS_HOTKEY_START_STOP, "Start/Stop"},
    {IDS_HOTKEY_SWITCH_ECHO, "Echo/Czytanie słów"},
    {IDS_HOTKEY_CLEAR_BUFFER, "Czyść bufor"},
    {IDS_HOTKEY_LOAD_BUFFER, "Załaduj bufor"},
    {IDS_HOTKEY_LAST_WORD, "Ostatnie słowo"},
    {IDS_HOTKEY_LAST_SENTENCE, "Ostatnie zdanie"},
    {IDS_SWITCH_OFF, "&Wyłącz"},
    {IDS_SWITCH_ON, "&Włącz"},
    {IDS_NO_HOTKEY, "[brak]"},
    {IDS_HOTKEY_BUSY, "[zajęty]"},
    {IDS_RECONNECT_FAILED,
     "Przerwane zostało połączenie z serwerem VOKAR.EXE\nPróba wznowienia połączenia nie powiodła się\n"},
    {IDS_VERSION, "Klavo, wersja 1.1.95"},
    {IDS_DESCRIPTION, "Mówiąca klawiatura"},
    {IDS_NO_KEY_WATCHING,
     "Klavo nie słyszy klawiatury: ten pulpit nie pozwala programom śledzić klawiszy naciskanych w innych "
     "programach (sesja Wayland albo brak serwera X).\nAby Klavo wymawiał klawisze i słowa, zaloguj się do sesji "
     "X11 (Xorg)."},
    {IDS_X_PROGRAMS_ONLY,
     "Klavo słyszy tylko klawisze naciskane w programach X11 (XWayland): ten pulpit Wayland nie pozwala "
     "programom śledzić klawiszy innych programów.\nAby Klavo wymawiał klawisze we wszystkich programach, "
     "zaloguj się do sesji X11 (Xorg)."},
    {IDS_HELP_NOT_FOUND, "Nie znaleziono pliku pomocy:"},
    {IDS_NO_DESKTOP, "Klavo nie może utworzyć swojego okna na pulpicie."},
};

std::vector<app::StringResource> AllResources() {
  std::vector<app::StringResource> all(std::begin(kTexts), std::end(kTexts));
  for (int id = kFirstKeyNameString; id < kFirstKeyNameString + kKeyNameStrings; ++id) {
    all.push_back({id, KeyNameString(id)});
  }
  return all;
}

}  // namespace

const app::CStringTable& Strings() {
  static const std::vector<app::StringResource> resources = AllResources();
  static const app::CStringTable table(resources);
  return table;
}

}  // namespace vokar::keyboard
