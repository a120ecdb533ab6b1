// CImportantEventsDlg, "Horalo - Ważne komunikaty": the very important events
// that fell due or were missed and wait for the user's confirmation. It stays
// on top, and only the program shows or hides it: showing, hiding or
// minimising the main window leaves it as it is. It shows the events page's
// waiting list and does not own the events.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <vector>

#include "Controls.h"
#include "Events.h"

class QPushButton;

namespace vokar::clock {

class CEventsListBox;

class CImportantEventsDlg final : public QDialog {
 public:
  struct Actions {
    std::function<void()> confirm;                     // "Potwierdź"
    std::function<void(const EVENT_DSCR&)> read;      // "&Czytaj" and a double click
    std::function<void()> visibilityChanged;          // shown or hidden by the program
  };
  explicit CImportantEventsDlg(Actions actions);

  // Shows the events, newest first, and selects the first.
  void Refill(const std::vector<EVENT_DSCR*>& events);
  void Clear();
  int count() const;

  // The program's own wish: shown (on top, where it was) or hidden.
  void ShowOnTop();
  void HideDialog();
  bool shown() const { return shown_; }

  QWidget* Control(int id) const { return controls_.Find(id); }
  CEventsListBox* list() const { return list_; }

 protected:
  void reject() override;       // Esc and "&Anuluj": hide
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ReadSelected();
  void AddControl(int id, QWidget* widget) { controls_.Add(id, widget); }

  Actions actions_;
  bool shown_ = false;
  CEventsListBox* list_ = nullptr;
  app::CControls controls_;
};

}  // namespace vokar::clock
