#include "Schedule.h"

#include <algorithm>

namespace vokar::clock {

std::int64_t MinuteNumber(TimeValue value) {
  std::int64_t minute = value / 60;
  if (value % 60 < 0) --minute;
  return minute;
}

void CTickScheduler::Started(const CClockTime& now) {
  const std::int64_t minute = MinuteNumber(now.time);
  checked_ = now.second <= kLastCheckSecond ? minute - 1 : minute;
}

TickPlan CTickScheduler::Plan(const CClockTime& now) {
  TickPlan plan;
  const std::int64_t minute = MinuteNumber(now.time);
  const int s = now.second;
  if (s >= 1 && s <= 15) {
    plan.target = TickTarget::ClockPage;
  } else if (s >= 16 && s <= kLastCheckSecond) {
    if (checked_ != minute) {
      // The minutes since the last check, which a held-up tick skipped, come
      // first; the current minute last.
      const std::int64_t gap = checked_ == kNever ? 0 : minute - checked_;
      if (gap > 1 && gap <= kMaxCatchUpMinutes) {
        for (std::int64_t m = checked_ + 1; m < minute; ++m) {
          plan.checkMinutes.push_back(CClockTime::FromTime(m * 60));
        }
      }
      CClockTime current = now;
      current.second = 0;
      plan.checkMinutes.push_back(current);
      checked_ = minute;
    }
    plan.target = TickTarget::EventsPage;
  } else if (s >= 31 && s <= 40) {
    plan.target = TickTarget::AdvicePage;
  } else {
    plan.target = TickTarget::EventsPage;
  }
  if (plan.target == TickTarget::ClockPage && clockDone_ != minute) {
    clockDone_ = minute;
    plan.minuteTick = true;
  } else if (plan.target == TickTarget::AdvicePage && adviceDone_ != minute) {
    adviceDone_ = minute;
    plan.minuteTick = true;
  }
  return plan;
}

bool ChimeDue(int frequency, int minute) {
  switch (frequency) {
    case 1:
      return minute == 0;
    case 2:
      return minute % 30 == 0;
    case 3:
      return minute % 15 == 0;
    case 4:
      return minute % 10 == 0;
    case 5:
      return true;
    default:
      return false;
  }
}

int AdvicePeriod(int frequency) {
  switch (frequency) {
    case 1:
      return 60;
    case 2:
      return 15;
    case 3:
      return 5;
    default:
      return 0;
  }
}

int CAdviceTimer::Offset(std::uint32_t draw, int period) {
  const std::int64_t offset = static_cast<std::int64_t>(draw) * period / kRandomDrawMax;
  return static_cast<int>(std::clamp<std::int64_t>(offset, 1, std::max(1, period - 1)));
}

bool CAdviceTimer::Tick(int minute, int period, std::uint32_t draw) {
  if (period <= 0) return false;
  if (minute % period == 0) {
    armed_ = true;
    dueMinute_ = minute + Offset(draw, period);
    return false;
  }
  if (armed_ && minute >= dueMinute_) {
    armed_ = false;
    return true;
  }
  return false;
}

}  // namespace vokar::clock
