// The clock's readings in words: the examples of a clock reading in every
// mode, the counts with their noun forms, the ordinals and the dates. The
// expected texts are written out by hand in UTF-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <sstream>
#include <string>

#include "ClockTime.h"
#include "Cp1250.h"
#include "SpokenTime.h"

namespace {

using namespace vokar;
using namespace vokar::clock;

std::string Utf8(const std::string& cp1250Text) { return cp1250::ToUtf8(cp1250Text); }

// The words of a text with single blanks, no blanks at the ends.
std::string Words(const std::string& utf8) {
  std::istringstream in(utf8);
  std::string word, joined;
  while (in >> word) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

constexpr ReadingMode kDigital12{.hours24 = false, .colloquial = false, .withoutMinutes = false, .addSeconds = false};
constexpr ReadingMode kDigital24{.hours24 = true, .colloquial = false, .withoutMinutes = false, .addSeconds = false};
constexpr ReadingMode kColloquial12{.hours24 = false, .colloquial = true, .withoutMinutes = false, .addSeconds = false};
constexpr ReadingMode kColloquial24{.hours24 = true, .colloquial = true, .withoutMinutes = false, .addSeconds = false};
constexpr ReadingMode kColloquial12Seconds{
    .hours24 = false, .colloquial = true, .withoutMinutes = false, .addSeconds = true};

struct TimeCase {
  const char* name;
  ReadingMode mode;
  int h, m, s;
  const char* words;
};

TEST(SpokenTime, ReadingsOfTheClockInEveryMode) {
  const ReadingMode fullHours24{.hours24 = true, .colloquial = false, .withoutMinutes = true, .addSeconds = true};
  const ReadingMode fullHoursColloquial{.hours24 = true, .colloquial = true, .withoutMinutes = true,
                                        .addSeconds = true};
  const TimeCase cases[] = {
      {"12-hour noon", kDigital12, 12, 0, 0, "dwunasta zero zero"},
      {"12-hour midnight", kDigital12, 0, 0, 0, "dwunasta zero zero"},
      {"24-hour midnight", kDigital24, 0, 0, 0, "dwudziesta czwarta zero zero"},
      {"masculine two of digital minutes", kDigital12, 13, 2, 0, "pierwsza zero dwa"},
      {"digital 13 in 24-hour", kDigital24, 13, 2, 0, "trzynasta zero dwa"},
      {"digital 22 minutes", kDigital24, 21, 22, 0, "dwudziesta pierwsza dwadzieścia dwie"},
      {"digital 10 minutes", kDigital24, 8, 10, 0, "ósma dziesieńć"},
      {"digital 59 minutes", kDigital24, 23, 59, 0, "dwudziesta trzecia pieńdziesiąt dziewieńć"},
      {"colloquial 14:22", kColloquial12, 14, 22, 0, "dwadzieścia dwie minuty po drugiej"},
      {"colloquial 13:05", kColloquial12, 13, 5, 0, "pieńć minut po pierwszej"},
      {"colloquial 13:01", kColloquial12, 13, 1, 0, "minuta po pierwszej"},
      {"colloquial 09:30", kColloquial12, 9, 30, 0, "wpół do dziesiątej"},
      {"colloquial 09:45", kColloquial12, 9, 45, 0, "za pietnaście minut dziesiąta"},
      {"colloquial 09:59", kColloquial12, 9, 59, 0, "za minutę dziesiąta"},
      {"colloquial 23:45 12-hour", kColloquial12, 23, 45, 0, "za pietnaście minut dwunasta"},
      {"colloquial 23:45 24-hour", kColloquial24, 23, 45, 0, "za pietnaście minut dwudziesta czwarta"},
      {"colloquial 21:29 24-hour", kColloquial24, 21, 29, 0, "dwadzieścia dziewieńć minut po dwudziestej pierwszej"},
      {"colloquial 22:31 24-hour", kColloquial24, 22, 31, 0, "za dwadzieścia dziewieńć minut dwudziesta trzecia"},
      {"colloquial 01:30 locative of two", kColloquial24, 1, 30, 0, "wpół do drugiej"},
      {"colloquial 21:30 locative of 22", kColloquial24, 21, 30, 0, "wpół do dwudziestej drugiej"},
      {"colloquial full hour", kColloquial24, 17, 0, 0, "siedemnasta"},
      {"seconds 09:45:20", kColloquial12Seconds, 9, 45, 20, "za czternaście minut i czterdzieści sekund dziesiąta"},
      {"seconds 09:59:59", kColloquial12Seconds, 9, 59, 59, "za jedną sekundę dziesiąta"},
      {"seconds 09:59:01", kColloquial12Seconds, 9, 59, 1, "za pieńdziesiąt dziewieńć sekund dziesiąta"},
      {"seconds 09:58:59", kColloquial12Seconds, 9, 58, 59, "za minutę i jedną sekundę dziesiąta"},
      {"seconds 09:30:10", kColloquial12Seconds, 9, 30, 10, "dziesieńć sekund po wpół do dziesiątej"},
      {"seconds 09:30:00", kColloquial12Seconds, 9, 30, 0, "wpół do dziesiątej"},
      {"seconds 13:01:07", kColloquial12Seconds, 13, 1, 7, "minuta i siedem sekund po pierwszej"},
      {"seconds 13:00:01", kColloquial12Seconds, 13, 0, 1, "pierwsza i jedna sekunda"},
      {"seconds 13:00:23", kColloquial12Seconds, 13, 0, 23, "pierwsza i dwadzieścia trzy sekundy"},
      {"full hour without minutes", fullHours24, 12, 0, 0, "dwunasta"},
      {"full hour with seconds reads on", fullHours24, 12, 0, 5, "dwunasta zero zero i pieńć sekund"},
      {"full hour with seconds, colloquial", fullHoursColloquial, 12, 0, 5, "dwunasta i pieńć sekund"},
      {"not a full hour", fullHours24, 12, 1, 0, "dwunasta zero jeden"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Words(Utf8(FormatSpokenTime(c.h, c.m, c.s, c.mode))), c.words) << c.name;
  }
}

TEST(SpokenTime, BlanksAfterTheReading) {
  // One blank after the phrase, and one more for each empty part.
  EXPECT_EQ(Utf8(FormatSpokenTime(12, 0, 0, kDigital12)), "dwunasta zero zero ");
  ReadingMode withSeconds = kDigital12;
  withSeconds.addSeconds = true;
  EXPECT_EQ(Utf8(FormatSpokenTime(12, 0, 0, withSeconds)), "dwunasta zero zero  ");
  EXPECT_EQ(Utf8(FormatSpokenTime(0, 0, 0, kDigital24)), "dwudziesta czwarta zero zero ");
  EXPECT_EQ(Utf8(FormatSpokenTime(13, 2, 0, kDigital12)), "pierwsza zero dwa ");
  ReadingMode fullHours = kDigital24;
  fullHours.withoutMinutes = true;
  EXPECT_EQ(Utf8(FormatSpokenTime(12, 0, 0, fullHours)), "dwunasta ");
}

TEST(SpokenTime, OutOfRangeGivesNoText) {
  struct Case {
    int h, m, s;
    bool empty;
  } cases[] = {
      {23, 59, 59, false}, {24, 0, 0, true}, {-1, 0, 0, true}, {0, 60, 0, true},
      {0, -1, 0, true},    {0, 0, 60, true}, {0, 0, -1, true}, {0, 0, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSpokenTime(c.h, c.m, c.s, kColloquial24).empty(), c.empty) << c.h << ":" << c.m << ":" << c.s;
  }
}

TEST(SpokenTime, HoursInBothCasesAndModes) {
  struct Case {
    int hour;
    bool nominative;
    ReadingMode mode;
    const char* expected;
  } cases[] = {
      {13, true, kDigital24, "trzynasta "},
      {21, true, kDigital24, "dwudziesta pierwsza "},
      {20, true, kDigital24, "dwudziesta "},
      {0, true, kDigital24, "dwudziesta czwarta "},
      {0, false, kDigital24, "dwudziestej czwartej "},
      {22, false, kDigital24, "dwudziestej drugiej "},
      {2, false, kDigital24, "drugiej "},
      {3, false, kDigital24, "trzeciej "},
      {14, false, kDigital12, "drugiej "},
      {12, true, kDigital12, "dwunasta "},
      {0, false, kDigital12, "dwunastej "},
      {23, true, kDigital12, "jedenasta "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8(SpokenHour(c.hour, c.nominative, c.mode)), c.expected) << c.hour;
  }
  EXPECT_EQ(SpokenHour(-1, true, kDigital24), "");
}

TEST(SpokenTime, CountsTakeTheNounFormOfTheirLastDigit) {
  struct Case {
    int n;
    CountKind kind;
    bool nominative;
    bool withAnd;
    const char* expected;
  } cases[] = {
      {0, CountKind::Minutes, true, false, ""},
      {1, CountKind::Minutes, true, false, "minuta"},
      {1, CountKind::Minutes, false, false, "minutę"},
      {2, CountKind::Minutes, true, false, "dwie minuty"},
      {4, CountKind::Minutes, true, false, "cztery minuty"},
      {5, CountKind::Minutes, true, false, "pieńć minut"},
      {10, CountKind::Minutes, true, false, "dziesieńć minut"},
      {11, CountKind::Minutes, true, false, "jedenaście minut"},
      {12, CountKind::Minutes, true, false, "dwanaście minut"},
      {13, CountKind::Minutes, true, false, "trzynaście minut"},
      {14, CountKind::Minutes, true, false, "czternaście minut"},
      {19, CountKind::Minutes, true, false, "dziewietnaście minut"},
      {20, CountKind::Minutes, true, false, "dwadzieścia minut"},
      {21, CountKind::Minutes, true, false, "dwadzieścia jeden minut"},
      {22, CountKind::Minutes, true, false, "dwadzieścia dwie minuty"},
      {23, CountKind::Minutes, true, false, "dwadzieścia trzy minuty"},
      {24, CountKind::Minutes, true, false, "dwadzieścia cztery minuty"},
      {25, CountKind::Minutes, true, false, "dwadzieścia pieńć minut"},
      {42, CountKind::Minutes, true, false, "czterdzieści dwie minuty"},
      {59, CountKind::Minutes, true, false, "pieńdziesiąt dziewieńć minut"},
      {60, CountKind::Minutes, true, false, ""},
      {-1, CountKind::Minutes, true, false, ""},
      {0, CountKind::Seconds, true, true, ""},
      {1, CountKind::Seconds, true, true, "i jedna sekunda"},
      {1, CountKind::Seconds, false, false, "jedną sekundę"},
      {3, CountKind::Seconds, true, false, "trzy sekundy"},
      {13, CountKind::Seconds, true, true, "i trzynaście sekund"},
      {33, CountKind::Seconds, true, false, "trzydzieści trzy sekundy"},
      {0, CountKind::DigitalMinutes, true, true, "zero zero"},
      {2, CountKind::DigitalMinutes, true, true, "zero dwa"},
      {5, CountKind::DigitalMinutes, true, true, "zero pieńć"},
      {9, CountKind::DigitalMinutes, true, true, "zero dziewieńć"},
      {10, CountKind::DigitalMinutes, true, true, "dziesieńć"},
      {32, CountKind::DigitalMinutes, true, true, "trzydzieści dwie"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Words(Utf8(SpokenCount(c.n, c.kind, c.nominative, c.withAnd))), c.expected)
        << c.n << " kind " << static_cast<int>(c.kind);
  }
}

TEST(SpokenTime, OrdinalsFromOneToNinetyNine) {
  struct Case {
    int n;
    const char* nominative;
    const char* genitive;
  } cases[] = {
      {0, "", ""},
      {1, "pierwszy", "pierwszego"},
      {2, "drugi", "drugiego"},
      {3, "trzeci", "trzeciego"},
      {8, "ósmy", "ósmego"},
      {12, "dwunasty", "dwunastego"},
      {19, "dziewietnasty", "dziewietnastego"},
      {20, "dwudziesty", "dwudziestego"},
      {22, "dwudziesty drugi", "dwudziestego drugiego"},
      {23, "dwudziesty trzeci", "dwudziestego trzeciego"},
      {31, "trzydziesty pierwszy", "trzydziestego pierwszego"},
      {96, "dziewieńdziesiąty szósty", "dziewieńdziesiątego szóstego"},
      {99, "dziewieńdziesiąty dziewiąty", "dziewieńdziesiątego dziewiątego"},
      {100, "", ""},
      {-5, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Words(Utf8(SpokenOrdinal(c.n))), c.nominative) << c.n;
    EXPECT_EQ(Words(Utf8(SpokenOrdinalGenitive(c.n))), c.genitive) << c.n;
  }
}

TEST(SpokenTime, DatesWithTheYearFrom1901To2099) {
  struct Case {
    int y, mo, d, wd;
    const char* expected;
  } cases[] = {
      {1996, 4, 3, 4, "piątek trzeci maja tysiąc dziewieńcet dziewieńdziesiątego szóstego roku"},
      {2000, 0, 1, 5, "sobota pierwszy stycznia dwutysięcznego roku"},
      {2012, 11, 22, 5, "sobota dwudziesty drugi grudnia dwa tysiące dwunastego roku"},
      {1901, 8, 30, 0, "poniedziałek trzydziesty września tysiąc dziewieńcet pierwszego roku"},
      {2099, 9, 31, 5, "sobota trzydziesty pierwszy października dwa tysiące dziewieńdziesiątego dziewiątego roku"},
      {2001, 1, 28, 2, "środa dwudziesty ósmy lutego dwa tysiące pierwszego roku"},
      {1900, 6, 4, 2, "środa czwarty lipca"},
      {2100, 6, 4, 6, "niedziela czwarty lipca"},
      {2026, 12, 8, 7, "ósmy dwa tysiące dwudziestego szóstego roku"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Words(Utf8(FormatSpokenDate(c.y, c.mo, c.d, c.wd))), c.expected) << c.y << "-" << c.mo << "-" << c.d;
  }
}

class ClockTimeInZone : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    if (tz != nullptr) saved_ = tz;
    hadTz_ = tz != nullptr;
    ::setenv("TZ", "Europe/Warsaw", 1);
    ::tzset();
  }
  void TearDown() override {
    if (hadTz_) {
      ::setenv("TZ", saved_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  std::string saved_;
  bool hadTz_ = false;
};

TEST_F(ClockTimeInZone, BreaksDownLocalTimeWithMondayFirst) {
  // 1996-05-03 10:20:30 in Warsaw (summer time, UTC+2) is 08:20:30 UTC.
  const CClockTime t = CClockTime::FromTime(831111630);
  EXPECT_EQ(t.year, 1996);
  EXPECT_EQ(t.month, 4);
  EXPECT_EQ(t.day, 3);
  EXPECT_EQ(t.weekday, 4);  // Friday
  EXPECT_EQ(t.hour, 10);
  EXPECT_EQ(t.minute, 20);
  EXPECT_EQ(t.second, 30);
  EXPECT_EQ(t.ToTimeValue(), 831111630);
  EXPECT_EQ(Utf8(t.SpokenDateText()), Utf8(FormatSpokenDate(1996, 4, 3, 4)));
  // A Sunday is the last day of the week: 2026-12-06.
  EXPECT_EQ(CClockTime::FromTime(1796554800).weekday, 6);
  // After 2038 in 64 bits: 2040-01-01 00:00 in Warsaw (UTC+1).
  const CClockTime late = CClockTime::FromTime(2208985200);
  EXPECT_EQ(late.year, 2040);
  EXPECT_EQ(late.month, 0);
  EXPECT_EQ(late.day, 1);
  EXPECT_EQ(late.hour, 0);
}

TEST_F(ClockTimeInZone, AValueThatCannotBeBrokenDownGivesTheStartOf1970) {
  const CClockTime t = CClockTime::FromTime(std::numeric_limits<TimeValue>::max());
  EXPECT_EQ(t.year, 1970);
  EXPECT_EQ(t.month, 0);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.weekday, 0);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.minute, 0);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.time, 0);
}

}  // namespace
