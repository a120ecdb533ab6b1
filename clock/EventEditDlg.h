// CEventEditDlg, "Edycja komunikatu": edits one event. The kind decides which
// of the six time fields can be changed; on OK every field is range-checked
// (the first field out of range is named in a message and keeps the dialog
// open), the confirmation time becomes now, and a one-date event must not lie
// in the past.
#pragma once

#include <QDialog>

#include <functional>
#include <map>

#include "Controls.h"
#include "Events.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vokar::clock {

// Which of year, month, day, weekday, hour and minute a kind lets the user set.
struct EnabledFields {
  bool year, month, day, weekday, hour, minute;
  friend bool operator==(const EnabledFields&, const EnabledFields&) = default;
};
EnabledFields FieldsOfKind(int kind);

inline constexpr int kMinEventYear = 1995;
inline constexpr int kMaxEventYear = 2100;

class CEventEditDlg final : public QDialog {
 public:
  // Edits the event in place when accepted; now gives the time of the check
  // against the past (the clock's current time in the program).
  CEventEditDlg(EVENT_DSCR& event, std::function<std::int64_t()> now, QWidget* parent = nullptr);

  QWidget* Control(int id) const { return controls_.Find(id); }

  void accept() override;

 private:
  void Fill();
  void RefreshEnabling();
  // Reads a number field; shows the range message and gives the field the
  // focus when it is not a number within low..high.
  bool ReadNumber(QLineEdit* edit, int low, int high, int& value);
  void AddControl(int id, QWidget* widget) { controls_.Add(id, widget); }

  EVENT_DSCR& event_;
  std::function<std::int64_t()> now_;
  app::CControls controls_;
  QComboBox* kind_ = nullptr;
  QLineEdit* year_ = nullptr;
  QComboBox* month_ = nullptr;
  QLineEdit* day_ = nullptr;
  QComboBox* weekday_ = nullptr;
  QLineEdit* hour_ = nullptr;
  QLineEdit* minute_ = nullptr;
  QLineEdit* text_ = nullptr;
  QCheckBox* important_ = nullptr;
};

}  // namespace vokar::clock
