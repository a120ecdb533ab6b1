#include "RemarkaStrings.h"

#include <array>
#include <QStringList>

#include <map>

#include "RemarkaIds.h"

namespace vokar::comment {
namespace {

constexpr std::array kResources = {
    app::StringResource{IDR_COMMENT_TYPE,
                        "\nKoment\nRemarka komentarz\nKomentarz (*.ann)\n.ann\nRemarka.Komentarz\n"
                        "Quillmark Remarka Komentarz"},
    app::StringResource{IDP_OLE_INIT_FAILED,
                        "Błąd w inicjalizacji OLE 2.0.  Upewnij się, czy biblioteki używane prprzez OLE 2.0 są w "
                        "odpowiednich wersjach"},
    app::StringResource{IDS_SERVER_TITLE, "Vokar"},
    app::StringResource{IDS_ABOUT_NAME, "Remarka, wersja 1.1"},
    app::StringResource{IDS_ABOUT_DESCRIPTION, "Serwer mowy OLE 2.0"},
    app::StringResource{IDS_TEST_TEXT, "\\Alf=(desync)\\ Zgłasza się  Remarka, wszystko w porządku."},
    app::StringResource{IDS_APP_TITLE, "Remarka"},
    app::StringResource{IDS_IDLE_MESSAGE, "Gotowy"},
    app::StringResource{IDP_FAILED_TO_OPEN_DOC, "Nie można otworzyć dokumentu:\n%1\n%2"},
    app::StringResource{IDP_FAILED_TO_SAVE_DOC, "Nie można zapisać dokumentu:\n%1\n%2"},
    app::StringResource{IDP_ASK_TO_SAVE, "Zapisać zmiany w %1?"},
    app::StringResource{IDS_TEXT_TOO_LONG,
                        "Komentarz %1 ma %2 bajtów tekstu, a komentarz mieści najwyżej 1048575 bajtów.\n"
                        "Nie został zapisany: skróć tekst i zapisz go ponownie."},
    app::StringResource{IDS_CHARACTERS_LOST,
                        "Tych znaków nie da się zapisać w komentarzu (kodowanie Windows-1250):\n%1\n"
                        "W pliku zostaną zastąpione znakiem „?”. Zapisać mimo to?"},
    app::StringResource{IDS_DAMAGED_COMMENT, "Plik jest uszkodzony albo nie jest komentarzem: %1."},
    app::StringResource{IDS_HELP_NOT_FOUND, "Nie znaleziono pliku pomocy:"},
    app::StringResource{IDS_NO_DESKTOP, "Remarka nie może pracować na tym pulpicie:"},
    app::StringResource{IDS_ABOUT_CAPTION, "Informacje o programie Remarka"},
    app::StringResource{IDS_OPEN_CAPTION, "Otwórz"},
    app::StringResource{IDS_SAVE_CAPTION, "Zapisz jako"},
    app::StringResource{IDS_ALL_FILES, "Wszystkie pliki (*)"},
    app::StringResource{IDS_NOT_ANSWERING,
                        "Remarka już działa, ale nie przyjęła komentarza:\n%1\nSpróbuj ponownie za chwilę."},
    app::StringResource{IDS_FONT_CAPTION, "Czcionka"},
};

// The prompt of each command and, after '\n', its tooltip.
const std::map<int, const char*>& Prompts() {
  static const std::map<int, const char*> prompts = {
      {ID_FILE_NEW, "Tworzy nowy komentarz\nNowy"},
      {ID_FILE_OPEN, "Otwiera istniejący komentarz\nOtwórz"},
      {ID_FILE_CLOSE, "Zamyka aktywny komentarz\nZamknij"},
      {ID_FILE_SAVE, "Zapisuje aktywny komentarz\nZapisz"},
      {ID_FILE_SAVE_AS, "Zapisuje aktywny komentarz pod nową nazwą\nZapisz jako"},
      {ID_FILE_MRU_FIRST, "Otwiera ten komentarz"},
      {ID_FILE_MRU_FIRST + 1, "Otwiera ten komentarz"},
      {ID_FILE_MRU_FIRST + 2, "Otwiera ten komentarz"},
      {ID_FILE_MRU_FIRST + 3, "Otwiera ten komentarz"},
      {ID_EDIT_UNDO, "Cofa ostatnią zmianę\nCofnij"},
      {ID_EDIT_CUT, "Wycina zaznaczenie i umieszcza je w schowku\nWytnij"},
      {ID_EDIT_COPY, "Kopiuje zaznaczenie do schowka\nKopiuj"},
      {ID_EDIT_PASTE, "Wkleja zawartość schowka\nWklej"},
      {ID_VIEW_TOOLBAR, "Pokazuje lub ukrywa pasek narzędzi\nPasek narzędzi"},
      {ID_VIEW_STATUS_BAR, "Pokazuje lub ukrywa pasek stanu\nPasek stanu"},
      {ID_READ_COMMENT, "Czyta komentarz albo jego zaznaczoną część\nCzytaj"},
      {ID_PAUSE_SPEECH, "Zatrzymuje czytanie\nZatrzymaj"},
      {ID_CONTINUE_SPEECH, "Kontynuuje zatrzymane czytanie\nKontynuuj"},
      {ID_BREAK_SPEECH, "Przerywa czytanie\nPrzerwij"},
      {ID_SYNTHESIS_PARAMETERS, "Pokazuje okno serwera mowy Vokar z parametrami syntezy\nParametry syntezy"},
      {ID_TEST_SYNTHESIS, "Mówi zdanie próbne\nTestuj syntezę"},
      {ID_CHOOSE_FONT, "Zmienia czcionkę komentarza\nCzcionka"},
      {ID_WINDOW_CASCADE, "Układa okna kaskadowo\nKaskada"},
      {ID_WINDOW_TILE, "Układa okna obok siebie\nSąsiadująco"},
      {ID_WINDOW_ARRANGE, "Porządkuje ikony okien\nUporządkuj ikony"},
      {ID_APP_ABOUT, "Pokazuje informacje o programie\nInformacje"},
      {ID_APP_EXIT, "Kończy pracę programu; pyta o zapisanie komentarzy\nZakończ"},
      {ID_HELP_INDEX, "Pokazuje spis tematów pomocy\nTematy pomocy"},
      {ID_CONTEXT_HELP, "Pomoc dla przycisku, menu lub okna, które wskażesz\nPomoc kontekstowa"},
  };
  return prompts;
}

QString PromptPart(int command, int part) {
  const auto it = Prompts().find(command);
  if (it == Prompts().end()) return {};
  const QStringList parts = QString::fromUtf8(it->second).split(QLatin1Char('\n'));
  return part < parts.size() ? parts[part] : QString();
}

}  // namespace

const app::CStringTable& Strings() {
  static const app::CStringTable table(kResources);
  return table;
}

QString CommandPrompt(int command) { return PromptPart(command, 0); }
QString CommandTip(int command) { return PromptPart(command, 1); }

}  // namespace vokar::comment
