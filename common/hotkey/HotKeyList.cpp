#include "HotKeyList.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>

#include "HotKeyTable.h"
#include "VirtualKeys.h"
#include "X11Session.h"

namespace vokar::hotkey {
namespace {

namespace vk = x11::vk;

// Keys as Qt names them, for platforms without X11 key codes (the offscreen
// platform of tests). Only the keys that can be chosen matter here: every
// other key clears the edit anyway.
unsigned VirtualKeyOfQtKey(int key, Qt::KeyboardModifiers modifiers) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    return keypad ? vk::kNumpad0 + static_cast<unsigned>(key - Qt::Key_0) : '0' + static_cast<unsigned>(key - Qt::Key_0);
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + static_cast<unsigned>(key - Qt::Key_A);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return vk::kF1 + static_cast<unsigned>(key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return vk::kBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vk::kTab;
    case Qt::Key_End: return vk::kEnd;
    case Qt::Key_Home: return vk::kHome;
    case Qt::Key_Left: return vk::kLeft;
    case Qt::Key_Up: return vk::kUp;
    case Qt::Key_Right: return vk::kRight;
    case Qt::Key_Down: return vk::kDown;
    case Qt::Key_Insert: return vk::kInsert;
    case Qt::Key_Delete: return vk::kDelete;
    case Qt::Key_Asterisk: return keypad ? vk::kMultiply : 0;
    case Qt::Key_Plus: return keypad ? vk::kAdd : 0;
    case Qt::Key_Minus: return keypad ? vk::kSubtract : 0;
    case Qt::Key_Slash: return keypad ? vk::kDivide : 0;
    default: return 0;
  }
}

}  // namespace

std::string ProfileHotKeySettings::Read(std::string_view name, std::string_view fallback) const {
  return profile_.GetString(section_, name, fallback);
}

void ProfileHotKeySettings::Write(std::string_view name, std::string_view text) {
  (void)profile_.WriteString(section_, name, text);
}

CHotKeyList::CHotKeyList(QObject* window, std::vector<HotKeyAction> actions, int firstSlot, HotKeySettings& settings,
                         HotKeyStrings strings)
    : window_(window),
      actions_(std::move(actions)),
      firstSlot_(firstSlot),
      settings_(settings),
      strings_(std::move(strings)) {
  if (actions_.size() > kPositions) actions_.resize(kPositions);
}

CHotKeyList::~CHotKeyList() = default;

void CHotKeyList::Initialise(QListWidget* list, CHotKeyEdit* edit, QPushButton* apply) {
  list_ = list;
  edit_ = edit;
  apply_ = apply;
  LoadAll();
  if (edit_ != nullptr) edit_->Attach(this);
  if (list_ != nullptr) {
    list_->clear();
    for (const HotKeyAction& action : actions_) list_->addItem(action.listText);
    QObject::connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    if (!actions_.empty()) list_->setCurrentRow(0);
  }
  if (apply_ != nullptr) QObject::connect(apply_, &QPushButton::clicked, this, [this] { Apply(); });
  ShowSelected();
}

void CHotKeyList::End() {
  SaveAll();
  for (HotKeyDef& def : definitions_) {
    if (def.slot >= 0) RemoveHotKey(def.slot);
  }
}

int CHotKeyList::LoadAll() {
  int placed = 0;
  for (std::size_t position = 0; position < actions_.size(); ++position) {
    const HotKeyAction& action = actions_[position];
    if (LoadOne(firstSlot_ + static_cast<int>(position), action.valueName, "", action.command)) ++placed;
  }
  return placed;
}

void CHotKeyList::SaveAll() {
  for (std::size_t position = 0; position < actions_.size(); ++position) {
    SaveOne(firstSlot_ + static_cast<int>(position), actions_[position].valueName);
  }
}

bool CHotKeyList::LoadOne(int slot, std::string_view name, std::string_view defaultText, int command) {
  const int position = slot - firstSlot_;
  if (!ValidPosition(position)) return false;
  const std::string stored = settings_.Read(name, defaultText);
  HotKeyDef def;
  def.SetCombination(ParseHotKeySetting(stored));
  def.slot = slot;
  def.window = window_;
  def.command = command;
  if (!def.combination().empty() && FindHotKey(def.ctrl, def.shift, def.alt, def.key) != 0) {
    // The combination is in use; unless only by this same slot (loaded
    // before), another action has it.
    for (int other = 0; other < kSlotCount; ++other) {
      const HotKeySlot& values = HotKeySlotAt(other);
      if (other != slot && values.key != 0 && !values.window.isNull() &&
          HotKeyCombination{values.ctrl, values.shift, values.alt, values.key} == def.combination()) {
        def.ClearCombination();
        break;
      }
    }
  }
  kept_[position].reset();
  const bool wanted = !def.combination().empty();
  const bool placed = PlaceHotKey(slot, def);
  if (!placed) {
    if (wanted && !HotKeysAvailable()) kept_[position] = stored;
    def.ClearCombination();
  }
  definitions_[position] = def;
  set_[position] = true;
  return placed;
}

void CHotKeyList::SaveOne(int slot, std::string_view name) {
  const int position = slot - firstSlot_;
  if (!ValidPosition(position) || !set_[position]) return;
  if (kept_[position]) {
    settings_.Write(name, *kept_[position]);
    return;
  }
  settings_.Write(name, FormatHotKeySetting(definitions_[position]));
}

int CHotKeyList::SelectedRow() const {
  if (list_ == nullptr) return -1;
  const int row = list_->currentRow();
  return row >= 0 && row < static_cast<int>(actions_.size()) ? row : -1;
}

QString CHotKeyList::DisplayName(int position) {
  if (!ValidPosition(position)) return QString::fromStdString(strings_.none);
  return QString::fromStdString(FormatHotKeyName(definitions_[position], strings_.none));
}

void CHotKeyList::ShowSelected() {
  if (edit_ == nullptr) return;
  const int row = SelectedRow();
  edit_->setText(row >= 0 ? DisplayName(row) : QString::fromStdString(strings_.none));
}

void CHotKeyList::Apply() {
  const int row = SelectedRow();
  if (row < 0 || edit_ == nullptr) return;
  HotKeyDef& def = definitions_[row];
  if (!set_[row]) {
    def.slot = firstSlot_ + row;
    def.window = window_;
    def.command = actions_[row].command;
    set_[row] = true;
  }
  RemoveHotKey(def.slot);
  def.SetCombination(edit_->definition().combination());
  kept_[row].reset();
  if (!PlaceHotKey(def.slot, def)) {
    // The system refused it: say so in the edit instead of showing a hot key
    // that does not work.
    def.ClearCombination();
    ShowSelected();
  }
}

CHotKeyEdit::CHotKeyEdit(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  connect(this, &QLineEdit::textChanged, this, [this] { selectAll(); });
}

unsigned CHotKeyEdit::VirtualKeyOf(const QKeyEvent& event) {
  if (const unsigned key = x11::VirtualKeyOfNativeKey(event.nativeScanCode(), event.nativeVirtualKey())) return key;
  return VirtualKeyOfQtKey(event.key(), event.modifiers());
}

bool CHotKeyEdit::event(QEvent* event) {
  // Take every key that can be a hot key before the window's shortcuts see
  // it; leave Alt without Ctrl to the mnemonics ("Wpr&owadź zmianę"), since
  // such a combination cannot be a hot key anyway.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (!modifiers.testFlag(Qt::AltModifier) || modifiers.testFlag(Qt::ControlModifier)) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void CHotKeyEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  SuspendAllHotKeys();
  selectAll();
  const int row = list_ != nullptr ? list_->SelectedRow() : -1;
  definition_ = row >= 0 ? list_->Definition(row) : HotKeyDef{};
}

void CHotKeyEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  ResumeAllHotKeys();
}

void CHotKeyEdit::Capture(unsigned key, Qt::KeyboardModifiers modifiers) {
  if (!IsCapturableKey(key)) {
    definition_.ClearCombination();
    return;
  }
  definition_.key = key;
  definition_.ctrl = modifiers.testFlag(Qt::ControlModifier) ? 1 : 0;
  definition_.shift = modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0;
  definition_.alt = modifiers.testFlag(Qt::AltModifier) ? 1 : 0;
  // Alt goes only with Ctrl: Alt combinations belong to the windows' menus.
  if (definition_.alt && !definition_.ctrl) definition_.ClearCombination();
}

void CHotKeyEdit::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat()) {
    Capture(VirtualKeyOf(*event), event->modifiers());
    QPushButton* apply = list_ != nullptr ? list_->applyButton() : nullptr;
    if (apply != nullptr) apply->setEnabled(true);
    const int row = list_ != nullptr ? list_->SelectedRow() : -1;
    const int used = FindHotKey(definition_.ctrl, definition_.shift, definition_.alt, definition_.key);
    if (row >= 0 && used != 0 && used != list_->actions()[row].command) {
      setText(QString::fromStdString(list_->strings().busy));
      if (apply != nullptr) apply->setEnabled(false);
    } else {
      setText(QString::fromStdString(
          FormatHotKeyName(definition_, list_ != nullptr ? list_->strings().none : HotKeyStrings{}.none)));
    }
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace vokar::hotkey
