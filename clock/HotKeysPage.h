// CHotKeysPage, "Klawisze skrótu": the hot keys of the clock's three readings
// (hour, date, advice) in registration slots 20-22, with the suite's hot-key
// list, key edit and apply button. The values are kept in the section
// HotKeys; the window that receives the hot keys is the main window.
#pragma once

#include <QWidget>

#include <memory>

#include "HotKeyList.h"

class QListWidget;
class QPushButton;

namespace vokar::clock {

class CHotKeysPage final : public QWidget {
 public:
  // window receives the hot-key events; profile is the clock's settings.
  CHotKeysPage(QObject* window, registry::Profile profile, QWidget* parent = nullptr);
  ~CHotKeysPage() override;

  // Reads, parses and registers the three values and fills the list.
  void Initialise();
  // Writes the three values and removes their slots.
  void End();

  hotkey::CHotKeyList& hotKeys() { return *list_; }
  QWidget* Control(int id) const;

 private:
  hotkey::ProfileHotKeySettings settings_;
  std::unique_ptr<hotkey::CHotKeyList> list_;
  QListWidget* commands_ = nullptr;
  hotkey::CHotKeyEdit* edit_ = nullptr;
  QPushButton* apply_ = nullptr;
  bool ended_ = false;
};

}  // namespace vokar::clock
