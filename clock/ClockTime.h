// CClockTime: a local time broken down into the fields the clock readings and
// the reminder events work with. Weekdays count from Monday, months from 0.
#pragma once

#include <cstdint>
#include <string>

namespace vokar::clock {

// Seconds since 1970-01-01 00:00 UTC.
using TimeValue = std::int64_t;

struct ReadingMode;

// The current time value (as time() gives it, so that a faked clock is seen).
TimeValue CurrentTimeValue();

struct CClockTime {
  TimeValue time = 0;
  int year = 1970;  // full year
  int month = 0;    // 0 = January .. 11 = December
  int day = 1;      // 1..31
  int weekday = 0;  // 0 = Monday .. 6 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;

  // Breaks down the current local time.
  void SetNow();
  // Breaks down a time value in local time. When the value cannot be
  // converted the record becomes 1 January 1970, every other field 0.
  void SetTime(TimeValue value);

  static CClockTime Now();
  static CClockTime FromTime(TimeValue value);

  // The time value of the record's date and time of day in local time (the
  // time field is not consulted); -1 when the fields give no valid time.
  TimeValue ToTimeValue() const;

  // The record's spoken time (hour, minute, second) and date, as the phrase
  // builders make them with the given reading settings (code page 1250).
  std::string SpokenTimeText(const ReadingMode& mode) const;
  std::string SpokenDateText() const;
};

}  // namespace vokar::clock
