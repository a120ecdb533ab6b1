#include "ClockTime.h"

#include <ctime>

#include "SpokenTime.h"

namespace vokar::clock {

TimeValue CurrentTimeValue() { return static_cast<TimeValue>(std::time(nullptr)); }

void CClockTime::SetNow() { SetTime(CurrentTimeValue()); }

void CClockTime::SetTime(TimeValue value) {
  std::tm broken{};
  const std::time_t t = static_cast<std::time_t>(value);
  if (localtime_r(&t, &broken) == nullptr) {
    *this = CClockTime{};
    time = 0;
    return;
  }
  time = value;
  year = broken.tm_year + 1900;
  month = broken.tm_mon;
  day = broken.tm_mday;
  weekday = (broken.tm_wday + 6) % 7;
  hour = broken.tm_hour;
  minute = broken.tm_min;
  // A leap second is shown as the last ordinary one.
  second = broken.tm_sec > 59 ? 59 : broken.tm_sec;
}

CClockTime CClockTime::Now() {
  CClockTime now;
  now.SetNow();
  return now;
}

CClockTime CClockTime::FromTime(TimeValue value) {
  CClockTime record;
  record.SetTime(value);
  return record;
}

TimeValue CClockTime::ToTimeValue() const {
  std::tm broken{};
  broken.tm_year = year - 1900;
  broken.tm_mon = month;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  broken.tm_min = minute;
  broken.tm_sec = second;
  broken.tm_isdst = -1;
  const std::time_t t = std::mktime(&broken);
  return static_cast<TimeValue>(t);
}

std::string CClockTime::SpokenTimeText(const ReadingMode& mode) const {
  return FormatSpokenTime(hour, minute, second, mode);
}

std::string CClockTime::SpokenDateText() const { return FormatSpokenDate(year, month, day, weekday); }

}  // namespace vokar::clock
