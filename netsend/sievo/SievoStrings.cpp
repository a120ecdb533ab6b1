#include "SievoStrings.h"

#include "SievoIds.h"
#include "Widgets.h"

namespace vokar::netsend {

const app::CStringTable& Strings() {
  static const app::CStringTable table(StringResources());
  return table;
}

const app::ProgramInfo& Program() {
  static const app::ProgramInfo program = [] {
    app::ProgramInfo info;
    info.title = kTitle;
    // The program's icon (128): two computers joined through the network.
    info.icon = app::SuiteIcon(QStringLiteral("quillmark-sievo"));
    info.aboutMenuItem = Strings().Text(IDS_ABOUTBOX);
    info.about = {QStringLiteral("Informacja o Sievo"),
                  {Strings().Text(IDS_VERSION_LINE), Strings().Text(IDS_DESCRIPTION_LINE)},
                  app::NameLine::Plain,
                  {},
                  32,
                  {340, 150}};
    info.helpPage = "sievo.html";
    info.helpNotFound = "Nie znaleziono pliku pomocy:";
    return info;
  }();
  return program;
}

std::string FailureText(netdde::Failure failure, std::string_view computer) {
  using netdde::Failure;
  const std::string name = "„" + std::string(computer) + "”";
  switch (failure) {
    case Failure::None: return {};
    case Failure::NoComputer: return name + " nie jest nazwą ani adresem komputera.";
    case Failure::HostNotFound: return "Nie znaleziono komputera o nazwie " + name + ".";
    case Failure::NobodyListens:
      return "Komputer " + name +
             " nie przyjmuje komunikatów: udział VOKAR$ jest na nim wyłączony albo nie działa program vknetdde.";
    case Failure::NoAnswer: return "Komputer " + name + " nie odpowiada.";
    case Failure::NotAllowed:
      return "Ten komputer nie jest na liście komputerów, od których " + name + " przyjmuje komunikaty.";
    case Failure::OtherUser:
      return "Komputer " + name +
             " bez klucza przyjmuje komunikaty tylko od programów swojego użytkownika. Potrzebny jest wspólny "
             "klucz.";
    case Failure::KeyMissing:
      return "Komputer " + name + " wymaga klucza, a w tym programie żaden klucz nie został podany.";
    case Failure::WrongKey: return "Klucz jest błędny: komputer " + name + " go nie przyjął.";
    case Failure::AgentLacksKey:
      return "Komputer " + name + " nie zna klucza; może to nie być komputer, do którego chcesz wysłać komunikat.";
    case Failure::TooManyPeers:
      return "Komputer " + name + " obsługuje teraz zbyt wiele połączeń. Spróbuj ponownie za chwilę.";
    case Failure::NoServer: return "Na komputerze " + name + " nie odpowiada żaden serwer mowy Vokar.";
    case Failure::SettingsChanged:
      return "Ustawienia udziału VOKAR$ na komputerze " + name + " właśnie się zmieniły. Spróbuj ponownie.";
    case Failure::TooSlow: return "Komputer " + name + " przerwał połączenie, bo trwało zbyt długo.";
    case Failure::OtherVersion: return "Komputer " + name + " ma inną wersję programu vknetdde.";
    case Failure::Broken: return "Połączenie z komputerem " + name + " zostało przerwane.";
  }
  return {};
}

}  // namespace vokar::netsend
