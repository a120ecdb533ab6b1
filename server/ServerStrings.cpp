#include "ServerStrings.h"

#include "Icons.h"
#include "NamedFile.h"

namespace vokar::server {

const app::CStringTable& Strings() {
  static const app::CStringTable table{StringResources(), app::FileCauseResources()};
  return table;
}

const app::ProgramInfo& Program() {
  static const app::ProgramInfo program = [] {
    app::ProgramInfo info;
    info.title = Strings().Utf8(IDS_APP_TITLE);
    info.icon = MakeStateIcon(StateIcon::Idle);
    info.aboutMenuItem = Strings().Text(IDS_ABOUT_MENU);
    // 205 x 136 dialog units; the lines in the dialog's font at normal weight.
    info.about = {Strings().Text(IDS_ABOUT_CAPTION),
                  {Strings().Text(IDS_VERSION_LINE), Strings().Text(IDS_DESCRIPTION_LINE)},
                  app::NameLine::Plain,
                  {},
                  32,
                  {320, 200}};
    info.helpPage = "vokar.html";
    info.helpNotFound = Strings().Utf8(IDS_HELP_NOT_FOUND);
    return info;
  }();
  return program;
}

}  // namespace vokar::server
