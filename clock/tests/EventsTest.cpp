// Reminder events: the comparison at each kind's fields, month lengths, the
// latest occurrence of an event before now and whether it was missed, the
// sorted lists and the check of one minute.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "Events.h"
#include "ScopedEnvironment.h"

namespace {

using namespace vokar::clock;

// A broken-down time; only the fields given are set, as an event keeps them.
CClockTime T(int year, int month, int day, int weekday, int hour, int minute) {
  CClockTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.weekday = weekday;
  t.hour = hour;
  t.minute = minute;
  return t;
}

EVENT_DSCR Event(RepeatKind kind, CClockTime time, std::string text, bool important = false,
                 std::uint32_t confirmed = 0) {
  EVENT_DSCR event;
  event.kind = kind;
  event.time = time;
  event.text = std::move(text);
  event.important = important;
  event.confirmed = confirmed;
  return event;
}

// The events tests read confirmation times in UTC, so that the expected
// values need no time zone.
class EventsInUtc : public ::testing::Test {
 protected:
  void SetUp() override { environment_.Set("TZ", "UTC"); }
  vokar::test::ScopedEnvironment environment_;
};

TEST(Events, DaysInMonthByTheGregorianRule) {
  struct Case {
    int month, year, days;
  } cases[] = {{0, 2023, 31}, {1, 2023, 28}, {1, 2024, 29}, {1, 1900, 28}, {1, 2000, 29}, {1, 2100, 28},
               {2, 2023, 31}, {3, 2023, 30}, {4, 2023, 31}, {5, 2023, 30}, {6, 2023, 31}, {7, 2023, 31},
               {8, 2023, 30}, {9, 2023, 31}, {10, 2023, 30}, {11, 2023, 31}};
  for (const auto& c : cases) EXPECT_EQ(DaysInMonth(c.month, c.year), c.days) << c.month << "/" << c.year;
}

TEST(Events, CompareAtKindLooksOnlyAtTheKindsFields) {
  const CClockTime base = T(2024, 5, 15, 2, 10, 30);
  struct Case {
    CClockTime other;
    int expected[6];  // by kind 0..5: compare(base, other)
  } cases[] = {
      {T(2024, 5, 15, 2, 10, 30), {0, 0, 0, 0, 0, 0}},
      {T(2024, 5, 15, 2, 10, 31), {-1, -1, -1, -1, -1, -1}},
      {T(2024, 5, 15, 2, 9, 59), {-1, 1, 1, 1, 1, 1}},
      {T(2024, 5, 15, 3, 10, 30), {0, 0, -1, 0, 0, 0}},
      {T(2024, 5, 14, 1, 10, 30), {0, 0, 1, 1, 1, 1}},
      {T(2024, 4, 20, 2, 10, 30), {0, 0, 0, -1, 1, 1}},
      {T(2023, 6, 1, 2, 10, 30), {0, 0, 0, 1, -1, 1}},
      {T(2025, 5, 15, 2, 10, 30), {0, 0, 0, 0, 0, -1}},
  };
  for (const auto& c : cases) {
    for (int kind = 0; kind < 6; ++kind) {
      EXPECT_EQ(CompareAtKind(base, c.other, kind), c.expected[kind]) << "kind " << kind;
      EXPECT_EQ(CompareAtKind(c.other, base, kind), -c.expected[kind]) << "kind " << kind;
    }
  }
  EXPECT_EQ(CompareAtKind(base, T(2025, 1, 1, 1, 1, 1), 6), 0);
  EXPECT_EQ(CompareAtKind(base, T(2025, 1, 1, 1, 1, 1), -1), 0);
}

TEST(Events, InsertionKeepsEachListSortedAndEqualEventsInOrder) {
  CEventLists lists;
  EXPECT_EQ(lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 9, 0), "b")), 0);
  EXPECT_EQ(lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 8, 0), "a")), 0);
  EXPECT_EQ(lists.Insert(Event(RepeatKind::Daily, T(2023, 5, 9, 3, 9, 0), "b2")), 2);
  EXPECT_EQ(lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 23, 59), "z")), 3);
  EXPECT_EQ(lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 9, 0), "front"), true), 0);
  EXPECT_EQ(lists.Insert(Event(RepeatKind::Hourly, T(2024, 0, 1, 0, 9, 5), "other kind")), 0);
  std::string order;
  for (const auto& e : lists.list(RepeatKind::Daily)) order += e->text + ",";
  EXPECT_EQ(order, "front,a,b,b2,z,");
  EXPECT_EQ(lists.size(RepeatKind::Hourly), 1);
  EXPECT_EQ(lists.TotalSize(), 6);
  EXPECT_EQ(lists.At(RepeatKind::Daily, 5), nullptr);
  EXPECT_EQ(lists.At(RepeatKind::Daily, -1), nullptr);
  EXPECT_FALSE(lists.Remove(RepeatKind::Daily, 5));
  EXPECT_TRUE(lists.Remove(RepeatKind::Daily, 4));
  EXPECT_EQ(lists.size(RepeatKind::Daily), 4);
}

struct OccurrenceCase {
  const char* name;
  RepeatKind kind;
  CClockTime event;
  CClockTime now;
  int year, month, day, hour, minute;  // the latest occurrence
};

TEST(Events, LatestOccurrenceStepsBackOnePeriodAcrossMonthsAndYears) {
  const OccurrenceCase cases[] = {
      {"hourly, this hour", RepeatKind::Hourly, T(2000, 0, 1, 0, 0, 15), T(2024, 9, 2, 2, 10, 20), 2024, 9, 2, 10, 15},
      {"hourly, last hour", RepeatKind::Hourly, T(2000, 0, 1, 0, 0, 15), T(2024, 9, 2, 2, 10, 10), 2024, 9, 2, 9, 15},
      {"hourly, over midnight and a leap February", RepeatKind::Hourly, T(2000, 0, 1, 0, 0, 15),
       T(2024, 2, 1, 4, 0, 10), 2024, 1, 29, 23, 15},
      {"daily, over New Year", RepeatKind::Daily, T(2000, 0, 1, 0, 9, 0), T(2025, 0, 1, 2, 8, 0), 2024, 11, 31, 9, 0},
      {"daily, now", RepeatKind::Daily, T(2000, 0, 1, 0, 9, 0), T(2025, 0, 1, 2, 9, 0), 2025, 0, 1, 9, 0},
      {"weekly Monday from Wednesday 2 October", RepeatKind::Weekly, T(2000, 0, 1, 0, 8, 0), T(2024, 9, 2, 2, 12, 0),
       2024, 8, 30, 8, 0},
      {"weekly Sunday from Tuesday 1 October", RepeatKind::Weekly, T(2000, 0, 1, 6, 8, 0), T(2024, 9, 1, 1, 12, 0),
       2024, 8, 29, 8, 0},
      {"weekly Sunday from Monday 30 December", RepeatKind::Weekly, T(2000, 0, 1, 6, 8, 0),
       T(2024, 11, 30, 0, 12, 0), 2024, 11, 29, 8, 0},
      {"weekly Monday from Wednesday 1 January", RepeatKind::Weekly, T(2000, 0, 1, 0, 8, 0), T(2025, 0, 1, 2, 12, 0),
       2024, 11, 30, 8, 0},
      {"weekly Friday on Friday, later", RepeatKind::Weekly, T(2000, 0, 1, 4, 8, 0), T(2024, 9, 4, 4, 8, 1), 2024, 9,
       4, 8, 0},
      {"monthly 31st from a 30-day month", RepeatKind::Monthly, T(2000, 0, 31, 0, 7, 0), T(2024, 8, 15, 6, 7, 0),
       2024, 7, 31, 7, 0},
      {"monthly 31st in March, February skipped", RepeatKind::Monthly, T(2000, 0, 31, 0, 7, 0),
       T(2024, 2, 10, 6, 7, 0), 2024, 0, 31, 7, 0},
      {"monthly 15th from January", RepeatKind::Monthly, T(2000, 0, 15, 0, 7, 0), T(2025, 0, 10, 4, 7, 0), 2024, 11,
       15, 7, 0},
      {"yearly over New Year", RepeatKind::Yearly, T(2000, 11, 24, 0, 18, 0), T(2025, 0, 5, 6, 9, 0), 2024, 11, 24,
       18, 0},
      {"one date in the future stays", RepeatKind::OnDate, T(2030, 5, 1, 0, 18, 0), T(2025, 0, 5, 6, 9, 0), 2030, 5,
       1, 18, 0},
  };
  for (const auto& c : cases) {
    const CClockTime o = LatestOccurrence(c.event, c.now, c.kind);
    EXPECT_EQ(o.year, c.year) << c.name;
    EXPECT_EQ(o.month, c.month) << c.name;
    EXPECT_EQ(o.day, c.day) << c.name;
    EXPECT_EQ(o.hour, c.hour) << c.name;
    EXPECT_EQ(o.minute, c.minute) << c.name;
  }
}

TEST_F(EventsInUtc, MissedWhenTheLatestOccurrenceCameAfterTheConfirmation) {
  // A daily event at 09:00; now 10:00 on 2024-10-02 (UTC).
  const CClockTime event = T(2000, 0, 1, 0, 9, 0);
  const CClockTime now = T(2024, 9, 2, 2, 10, 0);
  const std::int64_t dayBefore = 1727776800;    // 2024-10-01 10:00
  const std::int64_t before0900 = 1727859540;   // 2024-10-02 08:59
  const std::int64_t at0900 = 1727859600;       // 2024-10-02 09:00
  const std::int64_t after0900 = 1727861400;    // 2024-10-02 09:30
  EXPECT_TRUE(MissedSince(event, now, 0, RepeatKind::Daily));
  EXPECT_TRUE(MissedSince(event, now, dayBefore, RepeatKind::Daily));
  EXPECT_TRUE(MissedSince(event, now, before0900, RepeatKind::Daily));
  EXPECT_FALSE(MissedSince(event, now, at0900, RepeatKind::Daily));
  EXPECT_FALSE(MissedSince(event, now, after0900, RepeatKind::Daily));
  // A one-date event still ahead is not missed; one behind is.
  EXPECT_FALSE(MissedSince(T(2024, 9, 2, 2, 10, 1), now, 0, RepeatKind::OnDate));
  EXPECT_TRUE(MissedSince(T(2024, 9, 2, 2, 10, 0), now, 0, RepeatKind::OnDate));
  // Confirmation times past 2038 are compared as such: 2040-01-01 00:00.
  const std::uint32_t in2040 = 2208988800u;
  EXPECT_FALSE(MissedSince(event, T(2039, 11, 31, 5, 23, 0), in2040, RepeatKind::Daily));
  EXPECT_TRUE(MissedSince(event, T(2040, 0, 1, 6, 9, 0), in2040, RepeatKind::Daily));
}

TEST_F(EventsInUtc, MinuteCheckQueuesDueTextsInOrderAndCollectsImportantOnes) {
  CEventLists lists;
  lists.Insert(Event(RepeatKind::Hourly, T(2024, 0, 1, 0, 0, 15), "co godzinę"));
  lists.Insert(Event(RepeatKind::Weekly, T(2024, 0, 1, 4, 8, 0), "piątek"));
  lists.Insert(Event(RepeatKind::Monthly, T(2024, 0, 31, 0, 8, 15), "trzydziesty pierwszy"));
  lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 8, 15), "pierwszy"));
  lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 8, 15), "drugi"));
  lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 9, 0), "ważny", true, 1727776800));

  // Friday 2024-10-04 08:15 (day 4 of a 31-day month).
  auto result = lists.CheckMinutes({T(2024, 9, 4, 4, 8, 15)}, T(2024, 9, 4, 4, 8, 15));
  EXPECT_TRUE(result.anyDue);
  EXPECT_EQ(std::vector<std::string>(lists.pending().begin(), lists.pending().end()),
            (std::vector<std::string>{"co godzinę", "pierwszy", "drugi"}));
  // The important daily 09:00 last happened on 3 October, after its
  // confirmation on 1 October: it waits.
  EXPECT_TRUE(result.importantPending);
  EXPECT_TRUE(result.importantAdded);
  ASSERT_EQ(lists.waiting().size(), 1u);
  EXPECT_EQ(lists.waiting()[0]->text, "ważny");
  lists.pending().clear();

  // The same minute again adds nothing new to the waiting list.
  result = lists.CheckMinutes({T(2024, 9, 4, 4, 8, 15)}, T(2024, 9, 4, 4, 8, 15));
  EXPECT_TRUE(result.importantPending);
  EXPECT_FALSE(result.importantAdded);
  EXPECT_EQ(lists.waiting().size(), 1u);
  lists.pending().clear();

  // Friday 08:00 is the weekly one; hh:15 again the hourly one; day 31 only
  // on the 31st; a 30-day month never.
  lists.CheckMinutes({T(2024, 9, 4, 4, 8, 0)}, T(2024, 9, 4, 4, 8, 0));
  lists.CheckMinutes({T(2024, 9, 4, 4, 13, 15)}, T(2024, 9, 4, 4, 13, 15));
  lists.CheckMinutes({T(2024, 9, 31, 3, 8, 15)}, T(2024, 9, 31, 3, 8, 15));
  lists.CheckMinutes({T(2024, 10, 30, 5, 8, 15)}, T(2024, 10, 30, 5, 8, 15));
  EXPECT_EQ(std::vector<std::string>(lists.pending().begin(), lists.pending().end()),
            (std::vector<std::string>{"piątek", "co godzinę", "co godzinę", "pierwszy", "drugi",
                                      "trzydziesty pierwszy", "co godzinę", "pierwszy", "drugi"}));

  // Confirming sets the time on the waiting events and empties the list.
  lists.ConfirmWaiting(1728032400);  // 2024-10-04 09:00
  EXPECT_TRUE(lists.waiting().empty());
  EXPECT_EQ(lists.At(RepeatKind::Daily, 2)->confirmed, 1728032400u);
  result = lists.CheckMissed(T(2024, 9, 4, 4, 9, 30));
  EXPECT_FALSE(result.importantPending);
}

TEST_F(EventsInUtc, SkippedMinutesAreCheckedAndEachEventQueuedOnce) {
  CEventLists lists;
  lists.Insert(Event(RepeatKind::Hourly, T(2024, 0, 1, 0, 0, 15), "co godzinę"));
  lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 8, 17), "o 8:17"));
  lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 8, 20), "o 8:20"));
  std::vector<CClockTime> minutes;
  for (int m = 14; m <= 19; ++m) minutes.push_back(T(2024, 9, 4, 4, 8, m));
  // The hourly one of 9:15 too, once, though two of its minutes passed.
  for (int m = 14; m <= 16; ++m) minutes.push_back(T(2024, 9, 4, 4, 9, m));
  const auto result = lists.CheckMinutes(minutes, minutes.back());
  EXPECT_TRUE(result.anyDue);
  EXPECT_EQ(std::vector<std::string>(lists.pending().begin(), lists.pending().end()),
            (std::vector<std::string>{"co godzinę", "o 8:17"}));
}

TEST_F(EventsInUtc, RemovingAnEventTakesItOffTheWaitingList) {
  CEventLists lists;
  lists.Insert(Event(RepeatKind::Daily, T(2024, 0, 1, 0, 9, 0), "ważny", true));
  lists.CheckMissed(T(2024, 9, 4, 4, 10, 0));
  ASSERT_EQ(lists.waiting().size(), 1u);
  EXPECT_TRUE(lists.Remove(RepeatKind::Daily, 0));
  EXPECT_TRUE(lists.waiting().empty());
}

}  // namespace
