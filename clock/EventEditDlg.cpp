#include "EventEditDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ClockHost.h"
#include "ClockIds.h"
#include "ClockStrings.h"
#include "Cp1250.h"

namespace vokar::clock {
namespace {

const char* const kPastMessage = "Czas komunikatu musi dotyczyć przyszłości.";

std::string RangeMessage(int low, int high) {
  return "Proszę wprowadź wertość całkowitą z zakresu od " + std::to_string(low) + " do " + std::to_string(high) +
         ".";
}

}  // namespace

EnabledFields FieldsOfKind(int kind) {
  switch (kind) {
    case 0:
      return {false, false, false, false, false, true};
    case 1:
      return {false, false, false, false, true, true};
    case 2:
      return {false, false, false, true, true, true};
    case 3:
      return {false, false, true, false, true, true};
    case 4:
      return {false, true, true, false, true, true};
    case 5:
      return {true, true, true, false, true, true};
    default:
      return {false, false, false, false, false, false};
  }
}

CEventEditDlg::CEventEditDlg(EVENT_DSCR& event, std::function<std::int64_t()> now, QWidget* parent)
    : QDialog(parent), event_(event), now_(std::move(now)) {
  setObjectName(app::DialogName(IDD_EVENT_EDIT));
  setWindowTitle(QStringLiteral("Edycja komunikatu"));

  auto label = [this](const char* text, QWidget* buddy) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setBuddy(buddy);
    return l;
  };
  auto numberEdit = [this](int id, int length) {
    auto* edit = new QLineEdit(this);
    edit->setMaxLength(length);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (length + 2) + 12);
    AddControl(id, edit);
    return edit;
  };
  kind_ = new QComboBox(this);
  for (int kind = 0; kind < kRepeatKinds; ++kind) kind_->addItem(QString::fromUtf8(ClockText(IDS_REPEAT_KINDS + kind)));
  AddControl(IDC_EDIT_KIND, kind_);
  year_ = numberEdit(IDC_EDIT_YEAR, 4);
  month_ = new QComboBox(this);
  for (int month = 0; month < 12; ++month) month_->addItem(QString::fromUtf8(ClockText(IDS_MONTHS_SHORT + month)));
  AddControl(IDC_EDIT_MONTH, month_);
  day_ = numberEdit(IDC_EDIT_DAY, 2);
  weekday_ = new QComboBox(this);
  for (int day = 0; day < 7; ++day) weekday_->addItem(QString::fromUtf8(ClockText(IDS_WEEKDAYS_SHORT + day)));
  AddControl(IDC_EDIT_WEEKDAY, weekday_);
  hour_ = numberEdit(IDC_EDIT_HOUR, 2);
  minute_ = numberEdit(IDC_EDIT_MINUTE, 2);
  text_ = new QLineEdit(this);
  // Stored texts are code page 1250, one byte a character.
  text_->setMaxLength(static_cast<int>(kMaxEventText));
  text_->setMinimumWidth(360);
  AddControl(IDC_EDIT_TEXT, text_);
  important_ = new QCheckBox(QStringLiteral("&Komunikat bardzo ważny"), this);
  AddControl(IDC_EDIT_IMPORTANT, important_);

  // Each field with its label before it; the kind and the text take the
  // whole row.
  auto* grid = new QGridLayout;
  auto place = [&](const char* text, QWidget* field, int row, int column, int span = 1) {
    grid->addWidget(label(text, field), row, column);
    grid->addWidget(field, row, column + 1, 1, span);
  };
  place("C&zęstość powtórzeń:", kind_, 0, 0, 5);
  place("&Rok:", year_, 1, 0);
  place("&miesiąc:", month_, 1, 2);
  place("&dzień:", day_, 1, 4);
  place("dz&ień tyg.:", weekday_, 2, 0);
  place("g&odzina:", hour_, 2, 2);
  place("mi&nuta:", minute_, 2, 4);
  place("&Treść:", text_, 3, 0, 5);
  grid->addWidget(important_, 4, 1, 1, 5);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
  AddControl(IDOK, buttons->button(QDialogButtonBox::Ok));
  AddControl(IDCANCEL, buttons->button(QDialogButtonBox::Cancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &CEventEditDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CEventEditDlg::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);

  connect(kind_, &QComboBox::currentIndexChanged, this, [this] { RefreshEnabling(); });
  Fill();
  text_->setFocus();
}

void CEventEditDlg::Fill() {
  const CClockTime& t = event_.time;
  kind_->setCurrentIndex(static_cast<int>(event_.kind));
  year_->setText(QString::number(t.year));
  month_->setCurrentIndex(t.month);
  day_->setText(QString::number(t.day));
  weekday_->setCurrentIndex(t.weekday);
  hour_->setText(QString::number(t.hour));
  minute_->setText(QString::number(t.minute));
  text_->setText(QString::fromStdString(cp1250::ToUtf8(event_.text)));
  important_->setChecked(event_.important);
  RefreshEnabling();
}

void CEventEditDlg::RefreshEnabling() {
  const EnabledFields fields = FieldsOfKind(kind_->currentIndex());
  year_->setEnabled(fields.year);
  month_->setEnabled(fields.month);
  day_->setEnabled(fields.day);
  weekday_->setEnabled(fields.weekday);
  hour_->setEnabled(fields.hour);
  minute_->setEnabled(fields.minute);
}

bool CEventEditDlg::ReadNumber(QLineEdit* edit, int low, int high, int& value) {
  bool ok = false;
  const int number = edit->text().trimmed().toInt(&ok);
  if (ok && number >= low && number <= high) {
    value = number;
    return true;
  }
  TellUser(this, RangeMessage(low, high), true);
  edit->setFocus();
  edit->selectAll();
  return false;
}

void CEventEditDlg::accept() {
  CClockTime t = event_.time;
  const int kind = std::max(0, kind_->currentIndex());
  // Every field is checked whatever the kind: fields the kind does not use
  // keep the values of the moment the event was made, which pass.
  if (!ReadNumber(year_, kMinEventYear, kMaxEventYear, t.year)) return;
  t.month = std::max(0, month_->currentIndex());
  // One message for the day at most: first its range, else its month.
  if (!ReadNumber(day_, 1, 31, t.day)) return;
  const EnabledFields fields = FieldsOfKind(kind);
  if (fields.month) {
    // A yearly event may fall on 29 February; a one-date event only in a
    // leap year.
    const int length = DaysInMonth(t.month, kind == 5 ? t.year : 2000);
    if (t.day > length) {
      ReadNumber(day_, 1, length, t.day);
      return;
    }
  }
  t.weekday = std::max(0, weekday_->currentIndex());
  if (!ReadNumber(hour_, 0, 23, t.hour)) return;
  if (!ReadNumber(minute_, 0, 59, t.minute)) return;
  t.second = 0;

  const std::int64_t now = now_();
  if (kind == 5 && CompareAtKind(t, CClockTime::FromTime(now), RepeatKind::OnDate) < 0) {
    TellUser(this, kPastMessage, true);
    return;
  }
  event_.kind = static_cast<RepeatKind>(kind);
  event_.time = t;
  // An edited or new very important event reports no occurrence before now.
  event_.confirmed = static_cast<std::uint32_t>(now);
  event_.text = cp1250::FromUtf8(text_->text().toStdString()).substr(0, kMaxEventText);
  event_.important = important_->isChecked();
  QDialog::accept();
}

}  // namespace vokar::clock
