// The main window's hot-key group: the list of the three actions (220), the
// key field (222) and the apply button (221), the three system-wide hot keys
// they set (read or pause from the clipboard, from the active application,
// break), and the copy of the active application's text.
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ActiveAppCapture.h"
#include "HotKeyList.h"
#include "HotKeyTable.h"
#include "ServerApp.h"
#include "ServerDlg.h"
#include "ServerIds.h"
#include "ServerStrings.h"
#include "Widgets.h"

namespace vokar::server {
namespace {

// The section "HotKeys" of the server's settings.
class CHotKeySettings final : public hotkey::HotKeySettings {
 public:
  explicit CHotKeySettings(const app::CSettings& settings) : settings_(settings) {}
  std::string Read(std::string_view name, std::string_view fallback) const override {
    return settings_.ReadString("HotKeys", name, fallback);
  }
  void Write(std::string_view name, std::string_view text) override {
    settings_.WriteString("HotKeys", name, text);  // a failure at exit is ignored
  }

 private:
  const app::CSettings& settings_;
};

std::vector<hotkey::HotKeyAction> ServerActions() {
  return {{"ReadOrPauseFromClipboard", Strings().Text(IDS_HOTKEY_CLIPBOARD), ID_READ_CLIPBOARD},
          {"ReadOrPauseFromActiveApp", Strings().Text(IDS_HOTKEY_ACTIVEAPP), ID_READ_ACTIVEAPP},
          {"Break", Strings().Text(IDS_HOTKEY_BREAK), ID_BREAK}};
}

hotkey::HotKeyStrings ServerHotKeyStrings() {
  return {Strings().Text(IDS_NO_HOTKEY).toStdString(), Strings().Text(IDS_HOTKEY_TAKEN).toStdString()};
}

}  // namespace

struct CServerDlg::HotKeys {
  HotKeys(CServerDlg& window, const app::CSettings& store)
      : settings(store),
        list(&window, ServerActions(), 0, settings, ServerHotKeyStrings()),
        // When the copy has arrived, a reading that runs is ended and the new
        // clipboard is read. When nothing arrived, nothing is read: the old
        // clipboard is not the text the user asked for.
        capture([&window](bool copied) {
          if (!copied) return;
          window.PostCommand(ID_BREAK);
          window.PostCommand(ID_READ_CLIPBOARD);
        }) {}

  CHotKeySettings settings;
  hotkey::CHotKeyList list;
  hotkey::ActiveAppCapture capture;
  hotkey::CHotKeyEdit* edit = nullptr;
};

void CServerDlg::BuildHotKeyGroup(QGroupBox* group) {
  hotKeyList_ = new QListWidget(group);
  controls_.Add(IDC_HOTKEY_LIST, hotKeyList_);
  // The list has no label of its own: the group's caption says what it holds.
  app::SetScreenReaderName(hotKeyList_, group->title());
  auto* label = new QLabel(Strings().Text(IDS_COMBINATION), group);
  auto* edit = new hotkey::CHotKeyEdit(group);
  hotKeyEdit_ = edit;
  controls_.Add(IDC_HOTKEY_EDIT, hotKeyEdit_);
  label->setBuddy(hotKeyEdit_);
  hotKeyApply_ = new QPushButton(Strings().Text(IDS_APPLY_HOTKEY), group);
  hotKeyApply_->setAutoDefault(false);
  controls_.Add(IDC_HOTKEY_APPLY, hotKeyApply_);

  auto* layout = new QGridLayout(group);
  layout->addWidget(hotKeyList_, 0, 0, 1, 2);
  layout->addWidget(label, 1, 0);
  layout->addWidget(hotKeyEdit_, 1, 1);
  layout->addWidget(hotKeyApply_, 2, 0, 1, 2, Qt::AlignRight);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(3, 1);  // the group's room left over goes below, not between
  layout->setVerticalSpacing(10);
}

void CServerDlg::InitHotKeys() {
  hotKeys_ = std::make_shared<HotKeys>(*this, app_.settings);
  hotKeys_->edit = static_cast<hotkey::CHotKeyEdit*>(hotKeyEdit_);
  // A hot key is a command of the window, as from its buttons and menus.
  hotkey::OnHotKey(this, [this](int command) {
    if (command == ID_READ_CLIPBOARD || command == ID_READ_ACTIVEAPP || command == ID_BREAK)
      commands().Dispatch(command);
  });
  readFromActiveApp = [this] { hotKeys_->capture.Start(); };
  hotKeys_->list.Initialise(hotKeyList_, hotKeys_->edit, hotKeyApply_);
  const int rows = hotKeyList_->count();
  hotKeyList_->setFixedHeight(hotKeyList_->sizeHintForRow(0) * rows + 2 * hotKeyList_->frameWidth() + 4);
}

void CServerDlg::SaveHotKeys() {
  if (hotKeys_) hotKeys_->list.SaveAll();
}

void CServerDlg::EndHotKeys() {
  if (!hotKeys_) return;
  // The copy is dropped first, then the hot keys are saved and let go.
  hotKeys_->capture.Cancel();
  hotKeys_->list.End();
  readFromActiveApp = nullptr;
}

}  // namespace vokar::server
