#include "RemoveStrings.h"

#include <map>

namespace vokar::uninstall {

std::string_view LoadString(int id) {
  static const std::map<int, std::string_view> table{
      {IDS_UNKNOWN_ERROR, "Niezidentyfikowany błąd inicjacji"},
      {IDS_FATAL_INIT, "Wystąpił systemowy błąd krytyczny w czasie inicjacj !\nSkontaktuj się z producentem."},
      {IDS_RUNNING,
       "Uwaga - program %s jest uruchomiony!\nJeśli chcesz kontynuować dalszą deinstalację,\nnależy zakończyć "
       "jego działanie. "},
      {IDS_PRODUCT, "Quillmark Vokar 1.1"},
      {IDS_CHECKING, "Sprawdzam uruchomione aplikacje ..."},
      {IDS_STARTUP, "Usuwam odwołania z menu Autostart ..."},
      {IDS_FILES, "Kasuję pliki z folderu roboczego Vokara ..."},
      {IDS_GROUP, "Usuwam grupę Vokara z paska zadań ..."},
      {IDS_SETTINGS, "Usuwam dane konfiguracyjne z rejestru ..."},
      {IDS_APP_PATHS, "Usuwam ścieżki do aplikacji ..."},
      {IDS_UNINSTALL_DATA, "Wymazuję dane deinstalatora ..."},
      {IDS_COMMENTS, "Wymazuję informacje o Remarce z OLE..."},
      // Nothing waits for a restart here: the uninstaller deletes its own file.
      {IDS_SELF, "Usuwam plik deinstalatora ..."},
      {IDS_TITLE, "Usuwanie pakietu Vokar 1.1"},
      {IDS_QUESTION, "Czy na pewno chcesz usunąć cały pakiet Vokar ?"},
      {IDS_ABORTED,
       "Usuwanie Vokara 1.1 zostało przerwane !\nMimo to możliwe jest, że nie wszystkie elementy pakietu\nbędą "
       "działać poprawnie."},
      // Everything is gone when the message shows; no restart is needed.
      {IDS_DONE, "Usuwanie Vokara 1.1 zakończyło się poprawnie."},
      {IDS_FIRST_STATUS, "Usuwanie elementow pakietu Vokar..."},
  };
  const auto found = table.find(id);
  return found == table.end() ? std::string_view() : found->second;
}

}  // namespace vokar::uninstall
