#include "MessageBoxSink.h"

#include "MessageBox.h"

namespace vokar::msgbox {

void MessageBoxSink::ShowMessage(std::string_view utf8Text, MessageIcon icon) {
  Icon boxIcon = Icon::None;
  switch (icon) {
    case MessageIcon::None: boxIcon = Icon::None; break;
    case MessageIcon::Stop: boxIcon = Icon::Stop; break;
    case MessageIcon::Warning: boxIcon = Icon::Warning; break;
    case MessageIcon::Information: boxIcon = Icon::Information; break;
  }
  ShowMessageBox(caption_, utf8Text, boxIcon, Buttons::Ok, DefaultButton::First, parent_);
}

}  // namespace vokar::msgbox
