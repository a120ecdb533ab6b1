#include "SpokenTime.h"

#include <string_view>

#include "ClockStrings.h"
#include "Cp1250.h"

namespace vokar::clock {
namespace {

// Literal words of the builders, written here in UTF-8 and handed out in
// code page 1250 like the words of the string table.
std::string Word(std::string_view utf8) { return cp1250::FromUtf8(utf8); }

std::string Cardinal(int n) { return ClockTextCp1250(IDS_UNITS + n); }

// The ordinal stem of 1..20 ("pierwsz", "drug", ... "dwudziest").
std::string OrdinalStem(int n) { return ClockTextCp1250(IDS_ORDINAL_BASE + n); }

// The locative ending of an hour word: "drugiej" takes "iej", the rest "ej".
std::string HourEnding(bool nominative, bool second) {
  if (nominative) return "a";
  return second ? "iej" : "ej";
}

// The masculine nominative ending of an ordinal digit: "drugi", "trzeci",
// otherwise "-y".
std::string NominativeEnding(int digit) {
  if (digit == 2) return "i";
  if (digit == 3) return "";
  return "y";
}

std::string GenitiveEnding(int digit) { return digit == 2 ? "iego" : "ego"; }

// An ordinal from 1 to 99 in one case: ending gives the ending of a stem
// from 1 to 19, tensEnding follows the tens ("dwudziest" + "y ").
std::string OrdinalInCase(int n, std::string (*ending)(int), const char* tensEnding) {
  if (n < 1 || n > 99) return {};
  if (n < 20) return OrdinalStem(n) + ending(n);
  std::string text = ClockTextCp1250(IDS_ORDINAL_TENS_BASE + n / 10) + tensEnding;
  if (n % 10 != 0) text += OrdinalStem(n % 10) + ending(n % 10);
  return text;
}

}  // namespace

std::string SpokenHour(int hour, bool nominative, const ReadingMode& mode) {
  if (hour < 0) return {};
  int h = mode.hours24 ? hour : hour % 12;
  if (h == 0) h = mode.hours24 ? 24 : 12;
  std::string text = h < 20 ? OrdinalStem(h) : OrdinalStem(20);
  text += HourEnding(nominative, h == 2);
  text += ' ';
  if (h > 20) {
    text += OrdinalStem(h - 20);
    text += HourEnding(nominative, h == 22);
    text += ' ';
  }
  return text;
}

std::string SpokenCount(int n, CountKind kind, bool nominative, bool withAnd) {
  if (n < 0 || n > 59) return {};
  std::string words;
  std::string unit;
  const bool minutes = kind == CountKind::Minutes;
  if (kind == CountKind::Seconds && n > 0 && withAnd) words = "i ";
  if (kind == CountKind::DigitalMinutes && n < 10) {
    // "zero pieńć"; only this reading uses the masculine "dwa".
    words += "zero ";
    words += n == 2 ? std::string("dwa") : Cardinal(n);
  } else if (kind != CountKind::DigitalMinutes && n == 0) {
    // No number and no noun.
  } else if (kind != CountKind::DigitalMinutes && n == 1) {
    // "minuta po pierwszej" says no number; "jedna sekunda" does.
    if (!minutes) words += Word(nominative ? "jedna " : "jedną ");
    if (minutes) {
      unit = Word(nominative ? "minuta" : "minutę");
    } else {
      unit = Word(nominative ? "sekunda" : "sekundę");
    }
  } else {
    const int units = n % 10;
    if (n <= 10) {
      words += Cardinal(n);
    } else if (n < 20) {
      words += ClockTextCp1250(IDS_TEENS + n - 11);
    } else {
      words += ClockTextCp1250(IDS_TENS + n / 10 - 2);
      if (units != 0) {
        words += ' ';
        words += Cardinal(units);
      }
    }
    words += ' ';
    if (kind != CountKind::DigitalMinutes) {
      const bool few = units >= 2 && units <= 4 && !(n >= 12 && n <= 14);
      if (minutes) {
        unit = few ? "minuty" : "minut";
      } else {
        unit = few ? "sekundy" : "sekund";
      }
    }
  }
  return words + unit + " ";
}

std::string FormatSpokenTime(int h, int m, int s, const ReadingMode& mode) {
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return {};
  constexpr bool kNominative = true;
  constexpr bool kLocative = false;
  constexpr bool kAccusative = false;
  if (mode.withoutMinutes && m == 0 && s == 0) return SpokenHour(h, kNominative, mode);
  std::string text;
  if (mode.colloquial) {
    const bool withSeconds = mode.addSeconds && s > 0;
    if (m == 0) {
      text = SpokenHour(h, kNominative, mode);
      if (mode.addSeconds) text += SpokenCount(s, CountKind::Seconds, kNominative, true);
    } else if (m <= 29) {
      text = SpokenCount(m, CountKind::Minutes, kNominative, true);
      if (mode.addSeconds) text += SpokenCount(s, CountKind::Seconds, kNominative, true);
      text += "po ";
      text += SpokenHour(h, kLocative, mode);
    } else if (m == 30) {
      if (withSeconds) {
        text = SpokenCount(s, CountKind::Seconds, kNominative, false);
        text += "po ";
      }
      text += Word("wpół do ");
      text += SpokenHour((h + 1) % 24, kLocative, mode);
    } else {
      // "za pietnaście minut dziesiąta": the minutes and seconds left to
      // the next hour.
      int left = 60 - m;
      text = "za ";
      if (withSeconds) --left;
      if (left > 0) text += SpokenCount(left, CountKind::Minutes, kAccusative, true);
      if (withSeconds) text += SpokenCount(60 - s, CountKind::Seconds, kAccusative, left > 0);
      text += SpokenHour((h + 1) % 24, kNominative, mode);
    }
    return text;
  }
  text = SpokenHour(h, kNominative, mode);
  text += SpokenCount(m, CountKind::DigitalMinutes, kNominative, true);
  if (mode.addSeconds) text += SpokenCount(s, CountKind::Seconds, kNominative, true);
  return text;
}

std::string SpokenOrdinal(int n) { return OrdinalInCase(n, NominativeEnding, "y "); }

std::string SpokenOrdinalGenitive(int n) { return OrdinalInCase(n, GenitiveEnding, "ego "); }

std::string FormatSpokenDate(int year, int month, int day, int weekday) {
  std::string text;
  if (weekday >= 0 && weekday <= 6) text += ClockTextCp1250(IDS_WEEKDAYS + weekday);
  text += ' ';
  text += SpokenOrdinal(day);
  text += ' ';
  if (month >= 0 && month <= 11) text += ClockTextCp1250(IDS_MONTHS_GENITIVE + month);
  text += ' ';
  if (year >= 1901 && year <= 2099) {
    int century = IDS_CENTURY_1900;
    if (year == 2000) {
      century = IDS_YEAR_2000;
    } else if (year > 2000) {
      century = IDS_CENTURY_2000S;
    }
    text += ClockTextCp1250(century);
    text += ' ';
    text += SpokenOrdinalGenitive(year % 100);
    text += ' ';
    text += ClockTextCp1250(IDS_YEAR_NOUN);
  }
  return text;
}

}  // namespace vokar::clock
