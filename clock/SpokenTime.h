// The clock's phrase builders: the time and the date in Polish words, with
// the grammatical forms a clock reading needs (feminine ordinals for hours,
// "po", "za" and "wpół do" in colloquial readings, the plural forms of
// "minuta" and "sekunda", genitive ordinals for the year). Every builder
// returns a new text in code page 1250 and keeps no state.
#pragma once

#include <string>

namespace vokar::clock {

// The reading settings of the clock page.
struct ReadingMode {
  bool hours24 = true;         // 24_Hours: 13 is "trzynasta", not "pierwsza"
  bool colloquial = true;      // Colloquial: "za pietnaście minut dziesiąta"
  bool withoutMinutes = true;  // WithoutMinutes: a full hour without "zero zero"
  bool addSeconds = true;      // AddSeconds: seconds in the readings on demand
};

enum class CountKind { DigitalMinutes = 0, Seconds = 1, Minutes = 2 };

// The feminine ordinal of an hour, each word followed by a blank: nominative
// "pierwsza ", otherwise the locative "pierwszej ". In 12-hour mode the hour
// is taken modulo 12; hour 0 is 24 (24-hour) or 12. Empty for a negative hour.
std::string SpokenHour(int hour, bool nominative, const ReadingMode& mode);

// A count of 0..59 minutes or seconds with its noun, or of digital minutes
// ("zero pieńć"), followed by a blank. nominative picks "jedna"/"minuta"/
// "sekunda", else "jedną"/"minutę"/"sekundę"; withAnd puts "i " before a
// non-zero count of seconds. Empty for a count outside 0..59.
std::string SpokenCount(int n, CountKind kind, bool nominative, bool withAnd);

// The time in words; empty when hour, minute or second is out of range.
std::string FormatSpokenTime(int hour, int minute, int second, const ReadingMode& mode);

// The masculine nominative ("pierwszy", "dwudziesty trzeci") and genitive
// ("szóstego", "dziewieńdziesiątego szóstego") ordinals of 1..99; empty
// otherwise.
std::string SpokenOrdinal(int n);
std::string SpokenOrdinalGenitive(int n);

// "piątek trzeci maja tysiąc dziewieńcet dziewieńdziesiątego szóstego roku":
// weekday 0 = Monday, month 0 = January; the year is spoken for 1901..2099
// only. A weekday or month out of range leaves its word out.
std::string FormatSpokenDate(int year, int month, int day, int weekday);

}  // namespace vokar::clock
