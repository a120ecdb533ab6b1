#include "KlavoStrings.h"

#include <vector>

#include "Icons.h"
#include "KeyNames.h"
#include "KlavoIds.h"
#include "Widgets.h"

namespace vokar::keyboard {
namespace {

// The key names the echo engine speaks, 6144-6268.
std::vector<app::StringResource> KeyNames() {
  std::vector<app::StringResource> names;
  for (int id = kFirstKeyNameString; id < kFirstKeyNameString + kKeyNameStrings; ++id) {
    names.push_back({id, KeyNameString(id)});
  }
  return names;
}

}  // namespace

const app::CStringTable& Strings() {
  static const std::vector<app::StringResource> keyNames = KeyNames();
  static const app::CStringTable table{StringResources(), keyNames};
  return table;
}

const app::ProgramInfo& Program() {
  static const app::ProgramInfo program = [] {
    app::ProgramInfo info;
    info.title = kKlavoTitle;
    info.icon = MakeStateIcon(StateIcon::WholeWordsOn);
    info.aboutMenuItem = Strings().Text(IDS_ABOUT_MENU);
    info.about.caption = app::ScreenReaderName(info.aboutMenuItem);
    info.about.lines = {Strings().Text(IDS_VERSION), Strings().Text(IDS_DESCRIPTION),
                        QStringLiteral("Część pakietu syntezy mowy polskiej Vokar.")};
    info.about.picture = DrawStateIcon(StateIcon::EchoOn, 48);
    info.helpPage = "klavo.html";
    info.helpNotFound = Strings().Utf8(IDS_HELP_NOT_FOUND);
    return info;
  }();
  return program;
}

}  // namespace vokar::keyboard
