// What the clock's one-second tick does: the seconds of each minute are
// shared out between the pages (1-15 the chime, 16-30 the reminder check,
// 31-40 the advice, the other ticks speak queued reminders), and the rules of
// the chime and of the advice period. Each page's minute work is remembered
// by the minute it was done for, so a tick held up for minutes (by a message
// box) neither loses the next minute's work nor the reminders of the minutes
// it skipped, from the minute of the program's start on.
#pragma once

#include <cstdint>
#include <vector>

#include "ClockTime.h"

namespace vokar::clock {

enum class TickTarget { ClockPage, EventsPage, AdvicePage };

struct TickPlan {
  // Run the reminder check for these minutes (the current one last); empty
  // when the check is not due in this tick.
  std::vector<CClockTime> checkMinutes;
  TickTarget target = TickTarget::EventsPage;
  // True: run the target page's minute tick (chime or advice); false: the
  // events page's speaking tick.
  bool minuteTick = false;
};

class CTickScheduler {
 public:
  // The most minutes a held-up clock catches up with; a larger gap (the
  // system's clock was set, or the machine slept) checks the current minute
  // only.
  static constexpr std::int64_t kMaxCatchUpMinutes = 24 * 60;
  // The last second of a minute in which its reminders are checked.
  static constexpr int kLastCheckSecond = 30;

  // The program's start at now: the minute of the start is checked with
  // the first check, however late that comes, when its seconds of checking
  // (16-30) had not passed yet at the start.
  void Started(const CClockTime& now);

  TickPlan Plan(const CClockTime& now);

 private:
  static constexpr std::int64_t kNever = INT64_MIN;
  std::int64_t clockDone_ = kNever;
  std::int64_t adviceDone_ = kNever;
  std::int64_t checked_ = kNever;
};

// The minute of a time value counted from 1970 (floor division).
std::int64_t MinuteNumber(TimeValue value);

// The chime rule of the clock page's Frequency: 0 never, 1 at full hours,
// 2 every half hour, 3 every quarter, 4 every ten minutes, 5 every minute.
bool ChimeDue(int frequency, int minute);

// The advice period of the advice page's Frequency: 60, 15 or 5 minutes for
// 1, 2 and 3; 0 (no advice) otherwise.
int AdvicePeriod(int frequency);

// The draws of the run-time's generator: 0..kRandomDrawMax.
inline constexpr std::uint32_t kRandomDrawMax = 32767;

// One piece of advice at a random minute of each period, and only after the
// start of a period has been seen.
class CAdviceTimer {
 public:
  // The advice page's minute tick at minute m (0..59); draw is the
  // generator's next value, used when a period starts. True when a piece of
  // advice is to be read now.
  bool Tick(int minute, int period, std::uint32_t draw);

  bool armed() const { return armed_; }
  int dueMinute() const { return dueMinute_; }

  // The offset of the reading in a period of p minutes: floor(r * p / 32767)
  // kept inside 1..p-1.
  static int Offset(std::uint32_t draw, int period);

 private:
  bool armed_ = false;
  int dueMinute_ = 0;
};

}  // namespace vokar::clock
