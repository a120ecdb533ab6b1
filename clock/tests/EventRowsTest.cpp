// How events are shown in list rows, and how the command buttons' strings
// give their captions and sizes.
#include <gtest/gtest.h>

#include <string>

#include "ButtonSpec.h"
#include "EventRows.h"

namespace {

using namespace vokar::clock;

EVENT_DSCR Event(RepeatKind kind, int year, int month, int day, int weekday, int hour, int minute) {
  EVENT_DSCR e;
  e.kind = kind;
  e.time.year = year;
  e.time.month = month;
  e.time.day = day;
  e.time.weekday = weekday;
  e.time.hour = hour;
  e.time.minute = minute;
  return e;
}

TEST(EventRows, TheTimeColumnFollowsTheKind) {
  struct Case {
    EVENT_DSCR event;
    unsigned char separator;
    const char* expected;
  } cases[] = {
      {Event(RepeatKind::Hourly, 2026, 11, 8, 1, 10, 5), '/', ":05"},
      {Event(RepeatKind::Daily, 2026, 11, 8, 1, 8, 30), '/', "08:30"},
      {Event(RepeatKind::Weekly, 2026, 11, 8, 4, 8, 0), '/', "pt 08:00"},
      {Event(RepeatKind::Weekly, 2026, 11, 8, 2, 23, 59), '/', "śr 23:59"},
      {Event(RepeatKind::Monthly, 2026, 11, 31, 1, 7, 0), '/', "31-go 07:00"},
      {Event(RepeatKind::Yearly, 2026, 9, 24, 1, 18, 0), '/', "24-go paź 18:00"},
      {Event(RepeatKind::Yearly, 2026, 0, 1, 1, 0, 0), '/', "01-go sty 00:00"},
      {Event(RepeatKind::OnDate, 2026, 11, 24, 1, 18, 0), '/', "24/12/26 18:00"},
      {Event(RepeatKind::OnDate, 2100, 0, 2, 1, 9, 9), '-', "02-01-00 09:09"},
      {Event(RepeatKind::OnDate, 2005, 2, 9, 1, 9, 9), 0, "09/03/05 09:09"},
  };
  for (const auto& c : cases) EXPECT_EQ(EventTimeColumn(c.event, c.separator), c.expected);
}

TEST(EventRows, TheTextColumnShowsAtMost32BytesUpToAControlCharacter) {
  struct Case {
    std::string text;
    const char* expected;
  } cases[] = {
      {"", "\"\""},
      {"Kawa", "\"Kawa\""},
      {std::string(32, 'a'), "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\""},
      {std::string(33, 'a'), "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...\""},
      {"Pierwsza linia\r\nDruga", "\"Pierwsza linia\""},
      {"Linia\tz tabulatorem" + std::string(40, 'x'), "\"Linia...\""},
      {"Pij wod\xEA", "\"Pij wodę\""},
  };
  for (const auto& c : cases) EXPECT_EQ(EventTextColumn(c.text), c.expected) << c.text;
}

TEST(EventRows, ColumnSamples) {
  EXPECT_EQ(TimeColumnSample(RepeatKind::Hourly), ":55 ");
  EXPECT_EQ(TimeColumnSample(RepeatKind::Daily), "24:55 ");
  EXPECT_EQ(TimeColumnSample(RepeatKind::Weekly), "24:55 pt. ");
  EXPECT_EQ(TimeColumnSample(RepeatKind::Monthly), "23-go 24:55 ");
  EXPECT_EQ(TimeColumnSample(RepeatKind::Yearly), "23-go sty 24:55 ");
  EXPECT_EQ(TimeColumnSample(RepeatKind::OnDate), "23/12/95 24:55 ");
}

TEST(ButtonSpec, CaptionAndDialogUnitsFromTheString) {
  struct Case {
    const char* text;
    ButtonSpec expected;
  } cases[] = {
      {"&Godzina,        7,   50, 14", {"&Godzina", 7, 50, 14}},
      {"Komunika&ty...,  64,  50, 14", {"Komunika&ty...", 64, 50, 14}},
      {"Pomo&c...,       107, 50, 14", {"Pomo&c...", 107, 50, 14}},
      {"&Koniec,\t174,\t60,\t20", {"&Koniec", 174, 60, 20}},
      {"&Data", {"&Data", 7, 50, 14}},
      {"&Data, 30", {"&Data", 30, 50, 14}},
      {"&Data, x, 60", {"&Data", 7, 60, 14}},
      {"", {"", 7, 50, 14}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseButtonSpec(c.text), c.expected) << c.text;
}

}  // namespace
