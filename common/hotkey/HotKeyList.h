// The hot-key group of a program's window: a list of the program's actions,
// a key edit that captures a new combination and a button that applies it.
// CHotKeyList keeps one HotKeyDef per action (up to 10), loads them from the
// program's settings when the window starts, places them in the registration
// table and saves and removes them when the window ends. Each program gives
// its own actions, first slot, texts and settings section.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QString>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HotKey.h"
#include "Profile.h"

class QListWidget;
class QPushButton;

namespace vokar::hotkey {

// Where a program keeps the stored forms of its hot keys: one text per value
// name. Implemented by the program (or ProfileHotKeySettings below).
class HotKeySettings {
 public:
  virtual ~HotKeySettings() = default;
  // The stored text, or fallback when there is none.
  virtual std::string Read(std::string_view name, std::string_view fallback) const = 0;
  virtual void Write(std::string_view name, std::string_view text) = 0;
};

// Values of one section of a program's profile (the section "HotKeys" of
// Software\Quillmark\<program>). Failures to write are ignored, as every
// setting written when a window ends.
class ProfileHotKeySettings final : public HotKeySettings {
 public:
  ProfileHotKeySettings(registry::Profile profile, std::string section = "HotKeys")
      : profile_(std::move(profile)), section_(std::move(section)) {}
  std::string Read(std::string_view name, std::string_view fallback) const override;
  void Write(std::string_view name, std::string_view text) override;

 private:
  registry::Profile profile_;
  std::string section_;
};

// One action of a program: its value name in the settings, its list text and
// the command its hot key delivers.
struct HotKeyAction {
  std::string valueName;
  QString listText;
  int command = 0;
};

class CHotKeyEdit;

class CHotKeyList : public QObject {
 public:
  static constexpr int kPositions = 10;

  // Actions take the positions 0, 1, ... and the slots firstSlot + position.
  // window receives the hot-key events; settings must outlive the list.
  CHotKeyList(QObject* window, std::vector<HotKeyAction> actions, int firstSlot, HotKeySettings& settings,
              HotKeyStrings strings = {});
  ~CHotKeyList() override;

  // Attaches the window's controls, loads every hot key, fills the list with
  // the action texts and selects the first row.
  void Initialise(QListWidget* list, CHotKeyEdit* edit, QPushButton* apply);
  // Saves every hot key and removes the slots of all positions.
  void End();

  // Loads every action in order; the number that could be placed.
  virtual int LoadAll();
  virtual void SaveAll();
  // Reads the value, places it in the slot and keeps it at the slot's
  // position. A combination that another slot of this program uses, or that
  // the system refuses, is cleared. True when placing succeeded.
  virtual bool LoadOne(int slot, std::string_view name, std::string_view defaultText, int command);
  // Writes the stored form of the slot's position; nothing for an unset one.
  virtual void SaveOne(int slot, std::string_view name);

  // The apply button: the selected row's hot key becomes the edit's
  // combination, placed again at once (written when the window ends).
  void Apply();

  const HotKeyDef& Definition(int position) const { return definitions_.at(position); }
  // The selected row, or -1.
  int SelectedRow() const;
  const HotKeyStrings& strings() const { return strings_; }
  const std::vector<HotKeyAction>& actions() const { return actions_; }
  QPushButton* applyButton() const { return apply_; }

  // The display name of a position's hot key (the strings' none text when
  // it has none).
  QString DisplayName(int position);

 protected:
  int firstSlot() const { return firstSlot_; }
  HotKeySettings& settings() { return settings_; }

 private:
  void ShowSelected();
  bool ValidPosition(int position) const { return position >= 0 && position < kPositions; }

  QPointer<QObject> window_;
  std::vector<HotKeyAction> actions_;
  int firstSlot_;
  HotKeySettings& settings_;
  HotKeyStrings strings_;
  std::array<HotKeyDef, kPositions> definitions_{};
  std::array<bool, kPositions> set_{};
  // Stored texts kept as they were because this session cannot register hot
  // keys at all (no X11 display): a session under Wayland must not wipe the
  // keys a user chose for X11.
  std::array<std::optional<std::string>, kPositions> kept_{};
  QPointer<QListWidget> list_;
  QPointer<CHotKeyEdit> edit_;
  QPointer<QPushButton> apply_;
};

// The read-only key edit: it suspends every hot key while it has the focus,
// captures the combination pressed in it and shows its name, "[zajęty]" when
// another action uses it. Plain Tab and Shift+Tab still move the focus.
class CHotKeyEdit : public QLineEdit {
 public:
  explicit CHotKeyEdit(QWidget* parent = nullptr);

  void Attach(CHotKeyList* list) { list_ = list; }
  const HotKeyDef& definition() const { return definition_; }

  // The key's virtual-key number from a key event (the keypad by what it
  // produced, other keys without their modifiers); 0 for a key without one.
  static unsigned VirtualKeyOf(const QKeyEvent& event);

 protected:
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Capture(unsigned key, Qt::KeyboardModifiers modifiers);

  QPointer<CHotKeyList> list_;
  HotKeyDef definition_;
};

}  // namespace vokar::hotkey
