#include "SievoStrings.h"

#include <array>

#include "SievoIds.h"

namespace vokar::netsend {

const app::CStringTable& Strings() {
  static const std::array<app::StringResource, 7> resources{{
      {IDS_ABOUTBOX, "&Informacja o Sievou..."},
      {IDS_NO_COMPUTER, "Aby wysłać  komunikat musisz podać nazwę docelowego komputera w sieci.\n"},
      {IDS_NO_CONNECTION, "Połączenie z serwerem Vokar przez NetworkDDE nie zostało nawiązane."},
      {IDS_BROWSE_FAILED, "Wystąpił nieznany błąd w trakcie przeglądania listy serwerów."},
      {IDS_SENT, "Komunikat został pomyślnie wysłany do zadanego komputera"},
      {IDS_VERSION_LINE, "Sievo, wersja 1.1.95"},
      {IDS_DESCRIPTION_LINE, "Sieciowy nadajnik komunikatów głosowych"},
  }};
  static const app::CStringTable table(resources);
  return table;
}

}  // namespace vokar::netsend
