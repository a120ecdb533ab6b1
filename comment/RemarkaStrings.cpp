#include "RemarkaStrings.h"

#include <QStringList>

#include <map>

#include "RemarkaIds.h"

namespace vokar::comment {
namespace {


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
  static const app::CStringTable table(StringResources());
  return table;
}

QString CommandPrompt(int command) { return PromptPart(command, 0); }
QString CommandTip(int command) { return PromptPart(command, 1); }

}  // namespace vokar::comment
