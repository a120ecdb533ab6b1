#include "ServerStrings.h"

#include <array>

#include "NamedFile.h"

namespace vokar::server {
namespace {

constexpr std::array kResources = {
    app::StringResource{IDS_APP_TITLE, "Vokar"},
    app::StringResource{IDS_ABOUT_MENU, "&Informacja o Vokaru..."},
    app::StringResource{IDS_DICT_FILTER, "Słownik (*.exp) |*.exp| Wszystkie pliki (*.*) |*.*||"},
    app::StringResource{IDS_VERSION_LINE, "Vokar, wersja 1.1.95"},
    app::StringResource{IDS_DESCRIPTION_LINE, "Moduł do syntezy mowy"},
    app::StringResource{IDS_POKE_ITEM, "text"},
    app::StringResource{IDS_CMD_READ, "read"},
    app::StringResource{IDS_CMD_PAUSE, "pause"},
    app::StringResource{IDS_CMD_BREAK, "break"},
    app::StringResource{IDS_CMD_STATUS, "status"},
    app::StringResource{IDS_HOTKEY_CLIPBOARD, "Czytaj/Pauza ze schowka"},
    app::StringResource{IDS_HOTKEY_ACTIVEAPP, "Czytaj/Pauza z aplikacji"},
    app::StringResource{IDS_HOTKEY_BREAK, "Przerwij"},
    app::StringResource{IDS_READ, "C&zytaj"},
    app::StringResource{IDS_PAUSE, "Pau&za"},
    app::StringResource{IDS_BREAK, "&Przerwij"},
    app::StringResource{IDS_NO_HOTKEY, "[brak]"},
    app::StringResource{IDS_HOTKEY_TAKEN, "[zajęty]"},
    app::StringResource{IDS_TEST_SENTENCE,
                        "W Szczebrzeszynie chrząszcz brzmi w trzcinie i Szczebrzeszyn z tego słynie."},
    app::StringResource{IDS_LOGO_BITMAP, "logo95.bmp"},
    app::StringResource{IDS_LOGO_SOUND, "logo.wav"},
    app::StringResource{IDS_NO_WAVE_DEVICE, "Brak urządzenia do odtwarzania dźwięku"},
    app::StringResource{app::kFileCauseFirstId + 0, "Plik nie został znaleziony"},
    app::StringResource{app::kFileCauseFirstId + 1, "Błędna ścieżka dostępu"},
    app::StringResource{app::kFileCauseFirstId + 2, "Zbyt wiele otwartych plików"},
    app::StringResource{app::kFileCauseFirstId + 3, "Zabroniony dostęp do pliku"},
    app::StringResource{app::kFileCauseFirstId + 4, "Użycie błędnego handlera pliku"},
    app::StringResource{app::kFileCauseFirstId + 5, "Błąd ustawienia wskaźnika pliku"},
    app::StringResource{app::kFileCauseFirstId + 6, "Błąd sprzętowy"},
    app::StringResource{app::kFileCauseFirstId + 7, "Naruszenie obszaru współdzielonego"},
    app::StringResource{app::kFileCauseFirstId + 8, "Próba zablokowania obszaru już zablokowanego"},
    app::StringResource{app::kFileCauseFirstId + 9, "Osiągnięto koniec pliku"},
    app::StringResource{IDS_OPEN_FILE_ERROR, "Błąd otwarcia pliku: "},
    app::StringResource{IDS_READ_FILE_ERROR, "Błąd przetwarzania pliku: "},
    app::StringResource{IDS_NO_WINDOW_OF_RUNNING_SERVER,
                        "Vokar jest już uruchomiony, ale jego okno nie pojawiło się w ciągu 10 sekund."},
    app::StringResource{IDS_FILE_NOT_HANDED_OVER, "Plik nie został przekazany do czytania:"},
    app::StringResource{IDS_NO_DESKTOP, "Vokar nie może użyć folderu pulpitu:"},
    app::StringResource{IDS_ABOUT_CAPTION, "Informacja o Vokar"},
    app::StringResource{IDS_SPEED_GROUP, "Prę&dkość"},
    app::StringResource{IDS_HOTKEY_GROUP, " Klawisze sk&rótu "},
    app::StringResource{IDS_DICT_GROUP, "Słownik skrótów i wyjątków"},
    app::StringResource{IDS_CONVERSIONS_GROUP, "Konwersje"},
    app::StringResource{IDS_COMBINATION, "Ko&mbinacja:"},
    app::StringResource{IDS_APPLY_HOTKEY, "Wpr&owadź zmianę"},
    app::StringResource{IDS_MINIMIZE, "Mi&nimalizuj"},
    app::StringResource{IDS_RESTORE, "&Przywróć"},
    app::StringResource{IDS_CLOSE, "&Zamknij"},
    app::StringResource{IDS_HELP_NOT_FOUND, "Nie znaleziono pomocy Vokara:"},
    // The queued files that could not be read, told together; %1 is how many.
    app::StringResource{IDS_FILES_NOT_READ, "Nie można odczytać %1 plików z kolejki:"},
    app::StringResource{IDS_FILES_NOT_READ_MORE, "(i jeszcze %1)"},
};

}  // namespace

const app::CStringTable& Strings() {
  static const app::CStringTable table(kResources);
  return table;
}

}  // namespace vokar::server
