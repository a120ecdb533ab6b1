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

}  // namespace vokar::netsend
