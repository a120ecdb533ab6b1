// The event edit dialog: which fields each kind lets the user set, both sides
// of every range check with the message it shows, one message for the day at
// most, and the refusal of a one-date event in the past.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "ClockIds.h"
#include "ClockTestSupport.h"
#include "EventEditDlg.h"

namespace {

using namespace vokar;
using namespace vokar::clock;
using namespace vokar::clock::test;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// 2026-12-08 10:20:30 UTC, a Tuesday.
const std::int64_t kNow = 1796725230;

EVENT_DSCR NewEvent(RepeatKind kind) {
  EVENT_DSCR event;
  event.kind = kind;
  event.time = CClockTime::FromTime(kNow);
  return event;
}

QLineEdit* Edit(CEventEditDlg& dialog, int id) { return static_cast<QLineEdit*>(dialog.Control(id)); }
QComboBox* Combo(CEventEditDlg& dialog, int id) { return static_cast<QComboBox*>(dialog.Control(id)); }

TEST(EventEdit, TheKindDecidesWhichFieldsCanBeSet) {
  ClockWorld world;
  // Rok, miesiąc, dzień, dzień tyg., godzina, minuta for kinds 0..5.
  const bool table[6][6] = {{0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 1, 1}, {0, 0, 0, 1, 1, 1},
                            {0, 0, 1, 0, 1, 1}, {0, 1, 1, 0, 1, 1}, {1, 1, 1, 0, 1, 1}};
  EVENT_DSCR event = NewEvent(RepeatKind::Hourly);
  CEventEditDlg dialog(event, [] { return kNow; });
  const int fields[] = {IDC_EDIT_YEAR, IDC_EDIT_MONTH, IDC_EDIT_DAY, IDC_EDIT_WEEKDAY, IDC_EDIT_HOUR, IDC_EDIT_MINUTE};
  for (int kind = 0; kind < 6; ++kind) {
    Combo(dialog, IDC_EDIT_KIND)->setCurrentIndex(kind);
    for (int f = 0; f < 6; ++f) {
      EXPECT_EQ(dialog.Control(fields[f])->isEnabled(), table[kind][f]) << "kind " << kind << " field " << fields[f];
    }
    const EnabledFields enabled = FieldsOfKind(kind);
    EXPECT_EQ(enabled, (EnabledFields{table[kind][0], table[kind][1], table[kind][2], table[kind][3],
                                      table[kind][4], table[kind][5]}));
  }
  // The dialog opens on the event's own values.
  EXPECT_EQ(Edit(dialog, IDC_EDIT_YEAR)->text(), QStringLiteral("2026"));
  EXPECT_EQ(Combo(dialog, IDC_EDIT_MONTH)->currentText(), QStringLiteral("gru"));
  EXPECT_EQ(Combo(dialog, IDC_EDIT_WEEKDAY)->currentText(), QStringLiteral("wt"));
  EXPECT_EQ(Edit(dialog, IDC_EDIT_DAY)->text(), QStringLiteral("8"));
  EXPECT_EQ(Edit(dialog, IDC_EDIT_HOUR)->text(), QStringLiteral("10"));
  EXPECT_EQ(Edit(dialog, IDC_EDIT_MINUTE)->text(), QStringLiteral("20"));
}

struct RangeCase {
  const char* name;
  RepeatKind kind;
  int field;
  const char* value;
  int month;            // -1: as it is
  const char* message;  // nullptr: accepted
};

TEST(EventEdit, RangesAreCheckedOnBothSidesOneMessageAtATime) {
  const char* year = "Proszę wprowadź wertość całkowitą z zakresu od 1995 do 2100.";
  const char* day = "Proszę wprowadź wertość całkowitą z zakresu od 1 do 31.";
  const char* hour = "Proszę wprowadź wertość całkowitą z zakresu od 0 do 23.";
  const char* minute = "Proszę wprowadź wertość całkowitą z zakresu od 0 do 59.";
  const RangeCase cases[] = {
      // Every field is checked whatever the kind: a yearly event with a year.
      {"year 1994", RepeatKind::Yearly, IDC_EDIT_YEAR, "1994", -1, year},
      {"year 1995", RepeatKind::Yearly, IDC_EDIT_YEAR, "1995", -1, nullptr},
      {"year 2100", RepeatKind::Yearly, IDC_EDIT_YEAR, "2100", -1, nullptr},
      {"year 2101", RepeatKind::Hourly, IDC_EDIT_YEAR, "2101", -1, year},
      {"no year", RepeatKind::Yearly, IDC_EDIT_YEAR, "", -1, year},
      {"day 0", RepeatKind::Monthly, IDC_EDIT_DAY, "0", -1, day},
      {"day 1", RepeatKind::Monthly, IDC_EDIT_DAY, "1", -1, nullptr},
      {"day 31", RepeatKind::Monthly, IDC_EDIT_DAY, "31", -1, nullptr},
      {"day 32", RepeatKind::Monthly, IDC_EDIT_DAY, "32", -1, day},
      {"hour 23", RepeatKind::Daily, IDC_EDIT_HOUR, "23", -1, nullptr},
      {"hour 24", RepeatKind::Daily, IDC_EDIT_HOUR, "24", -1, hour},
      {"minute 0", RepeatKind::Hourly, IDC_EDIT_MINUTE, "0", -1, nullptr},
      {"minute 59", RepeatKind::Hourly, IDC_EDIT_MINUTE, "59", -1, nullptr},
      {"minute 60", RepeatKind::Hourly, IDC_EDIT_MINUTE, "60", -1, minute},
      // The day of a month: 29 February every year for a yearly event ...
      {"yearly 29 February", RepeatKind::Yearly, IDC_EDIT_DAY, "29", 1, nullptr},
      {"yearly 30 February", RepeatKind::Yearly, IDC_EDIT_DAY, "30", 1,
       "Proszę wprowadź wertość całkowitą z zakresu od 1 do 29."},
      {"yearly 31 April", RepeatKind::Yearly, IDC_EDIT_DAY, "31", 3,
       "Proszę wprowadź wertość całkowitą z zakresu od 1 do 30."},
      // ... and only in a leap year for one date (the year is 2026).
      {"one date 29 February 2026", RepeatKind::OnDate, IDC_EDIT_DAY, "29", 1,
       "Proszę wprowadź wertość całkowitą z zakresu od 1 do 28."},
      {"one date 32 February", RepeatKind::OnDate, IDC_EDIT_DAY, "32", 1, day},
      {"monthly 31 in any month", RepeatKind::Monthly, IDC_EDIT_DAY, "31", 1, nullptr},
  };
  for (const auto& c : cases) {
    ClockWorld world;
    EVENT_DSCR event = NewEvent(c.kind);
    if (c.kind == RepeatKind::OnDate) event.time.year = 2026, event.time.month = 11, event.time.day = 31;
    CEventEditDlg dialog(event, [] { return kNow; });
    if (c.month >= 0) Combo(dialog, IDC_EDIT_MONTH)->setCurrentIndex(c.month);
    if (c.kind == RepeatKind::OnDate && c.month >= 0) Edit(dialog, IDC_EDIT_YEAR)->setText(QStringLiteral("2026"));
    Edit(dialog, c.field)->setText(QString::fromUtf8(c.value));
    dialog.accept();
    const auto messages = world.LoggedMessages();
    if (c.message == nullptr) {
      EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.name;
      EXPECT_TRUE(messages.empty()) << c.name << ": " << (messages.empty() ? "" : messages[0].text);
    } else {
      EXPECT_NE(dialog.result(), QDialog::Accepted) << c.name;
      ASSERT_EQ(messages.size(), 1u) << c.name;
      EXPECT_EQ(messages[0].text, c.message) << c.name;
      EXPECT_EQ(messages[0].caption, "Horalo");
      EXPECT_EQ(messages[0].icon, "warning");
    }
  }
}

TEST(EventEdit, AOneDateEventMayNotLieInThePast) {
  const struct {
    const char* name;
    int hour, minute;
    bool accepted;
  } cases[] = {{"this minute", 10, 20, true}, {"a minute ago", 10, 19, false}, {"next minute", 10, 21, true},
               {"an hour ago", 9, 59, false}};
  for (const auto& c : cases) {
    ClockWorld world;
    EVENT_DSCR event = NewEvent(RepeatKind::OnDate);
    CEventEditDlg dialog(event, [] { return kNow; });
    Edit(dialog, IDC_EDIT_HOUR)->setText(QString::number(c.hour));
    Edit(dialog, IDC_EDIT_MINUTE)->setText(QString::number(c.minute));
    static_cast<QLineEdit*>(dialog.Control(IDC_EDIT_TEXT))->setText(QStringLiteral("Wizyta u lekarza"));
    static_cast<QCheckBox*>(dialog.Control(IDC_EDIT_IMPORTANT))->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.name;
    if (c.accepted) {
      EXPECT_TRUE(world.Messages().empty()) << c.name;
      EXPECT_EQ(event.time.hour, c.hour);
      EXPECT_EQ(event.time.minute, c.minute);
      EXPECT_TRUE(event.important);
      EXPECT_EQ(event.text, "Wizyta u lekarza");
      // Occurrences before the edit are not reported.
      EXPECT_EQ(event.confirmed, static_cast<std::uint32_t>(kNow));
    } else {
      EXPECT_EQ(world.Messages(), std::vector<std::string>{"Czas komunikatu musi dotyczyć przyszłości."}) << c.name;
      // The event is left as it was.
      EXPECT_EQ(event.time.minute, 20);
      EXPECT_FALSE(event.important);
    }
  }
}

TEST(EventEdit, TextsAreKeptInCodePage1250AndNoLongerThan2048Bytes) {
  ClockWorld world;
  EVENT_DSCR event = NewEvent(RepeatKind::Daily);
  event.text = "Pij wod\xEA";
  CEventEditDlg dialog(event, [] { return kNow; });
  auto* text = static_cast<QLineEdit*>(dialog.Control(IDC_EDIT_TEXT));
  EXPECT_EQ(text->text(), QStringLiteral("Pij wodę"));
  text->setText(QString(3000, QLatin1Char('x')));
  EXPECT_EQ(text->text().size(), 2048);
  text->setText(QStringLiteral("Zażółć gęślą jaźń"));
  dialog.accept();
  EXPECT_EQ(event.text, "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1");
}

}  // namespace
