#include "Events.h"

#include <algorithm>
#include <tuple>

namespace vokar::clock {

bool operator==(const EVENT_DSCR& a, const EVENT_DSCR& b) {
  auto fields = [](const EVENT_DSCR& e) {
    return std::tie(e.kind, e.time.year, e.time.month, e.time.weekday, e.time.day, e.time.hour, e.time.minute,
                    e.important, e.confirmed, e.text);
  };
  return fields(a) == fields(b);
}

namespace {

int Sign(int a, int b) { return a > b ? 1 : (a < b ? -1 : 0); }

int Compare(std::initializer_list<std::pair<int, int>> fields) {
  for (const auto& [a, b] : fields) {
    if (const int sign = Sign(a, b); sign != 0) return sign;
  }
  return 0;
}

// Moves the record's date one month back or on, the year wrapping.
void PreviousMonth(CClockTime& t) {
  if (--t.month < 0) {
    t.month = 11;
    --t.year;
  }
}
void NextMonth(CClockTime& t) {
  if (++t.month > 11) {
    t.month = 0;
    ++t.year;
  }
}

// Steps the date back by days (1..31); a day below 1 moves into the
// previous month.
void StepDaysBack(CClockTime& t, int days) {
  t.day -= days;
  if (t.day < 1) {
    PreviousMonth(t);
    t.day += DaysInMonth(t.month, t.year);
  }
}

}  // namespace

int CompareAtKind(const CClockTime& a, const CClockTime& b, int kind) {
  switch (kind) {
    case 5:
      return Compare({{a.year, b.year}, {a.month, b.month}, {a.day, b.day}, {a.hour, b.hour}, {a.minute, b.minute}});
    case 4:
      return Compare({{a.month, b.month}, {a.day, b.day}, {a.hour, b.hour}, {a.minute, b.minute}});
    case 3:
      return Compare({{a.day, b.day}, {a.hour, b.hour}, {a.minute, b.minute}});
    case 2:
      return Compare({{a.weekday, b.weekday}, {a.hour, b.hour}, {a.minute, b.minute}});
    case 1:
      return Compare({{a.hour, b.hour}, {a.minute, b.minute}});
    case 0:
      return Compare({{a.minute, b.minute}});
    default:
      return 0;
  }
}

int DaysInMonth(int month, int year) {
  switch (month) {
    case 1: {
      const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
      return leap ? 29 : 28;
    }
    case 3:
    case 5:
    case 8:
    case 10:
      return 30;
    default:
      return 31;
  }
}

CClockTime LatestOccurrence(const CClockTime& e, const CClockTime& now, RepeatKind kind) {
  CClockTime o = now;
  switch (kind) {
    case RepeatKind::OnDate:
      o.year = e.year;
      [[fallthrough]];
    case RepeatKind::Yearly:
      o.month = e.month;
      [[fallthrough]];
    case RepeatKind::Monthly:
      o.day = e.day;
      o.hour = e.hour;
      o.minute = e.minute;
      break;
    case RepeatKind::Weekly: {
      // The date of that weekday in the current week, which starts on Monday.
      o.weekday = e.weekday;
      const int d = now.day + e.weekday - now.weekday;
      const int length = DaysInMonth(now.month, now.year);
      if (d > length) {
        o.day = d - length;
        NextMonth(o);
      } else if (d >= 1) {
        o.day = d;
      } else {
        PreviousMonth(o);
        o.day = d + DaysInMonth(o.month, o.year);
      }
      o.hour = e.hour;
      o.minute = e.minute;
      break;
    }
    case RepeatKind::Daily:
      o.hour = e.hour;
      [[fallthrough]];
    case RepeatKind::Hourly:
      o.minute = e.minute;
      break;
  }
  o.second = 0;
  if (CompareAtKind(o, now, kind) > 0) {
    // This period's occurrence is still ahead: take the one before it.
    switch (kind) {
      case RepeatKind::Hourly:
        if (--o.hour < 0) {
          o.hour = 23;
          StepDaysBack(o, 1);
        }
        break;
      case RepeatKind::Daily:
        StepDaysBack(o, 1);
        break;
      case RepeatKind::Weekly:
        StepDaysBack(o, 7);
        break;
      case RepeatKind::Monthly:
        // Day 31 happens only in months that have it.
        do {
          PreviousMonth(o);
        } while (DaysInMonth(o.month, o.year) < o.day);
        break;
      case RepeatKind::Yearly:
        --o.year;
        break;
      case RepeatKind::OnDate:
        break;
    }
  }
  return o;
}

bool MissedSince(const CClockTime& eventTime, const CClockTime& now, TimeValue confirmed, RepeatKind kind) {
  const CClockTime o = LatestOccurrence(eventTime, now, kind);
  const CClockTime c = CClockTime::FromTime(confirmed);
  return CompareAtKind(o, c, RepeatKind::OnDate) > 0 && CompareAtKind(o, now, RepeatKind::OnDate) <= 0;
}

int CEventLists::Insert(EVENT_DSCR event, bool atFront) {
  const int kind = static_cast<int>(event.kind);
  auto& list = lists_[kind];
  auto position = list.begin();
  if (!atFront) {
    position = std::find_if(list.begin(), list.end(), [&](const std::unique_ptr<EVENT_DSCR>& e) {
      return CompareAtKind(event.time, e->time, kind) < 0;
    });
  }
  const auto inserted = list.insert(position, std::make_unique<EVENT_DSCR>(std::move(event)));
  return static_cast<int>(inserted - list.begin());
}

void CEventLists::Append(EVENT_DSCR event) {
  lists_[static_cast<int>(event.kind)].push_back(std::make_unique<EVENT_DSCR>(std::move(event)));
}

bool CEventLists::Remove(RepeatKind kind, int index) {
  auto& list = lists_[static_cast<int>(kind)];
  if (index < 0 || index >= static_cast<int>(list.size())) return false;
  EVENT_DSCR* event = list[static_cast<std::size_t>(index)].get();
  std::erase(waiting_, event);
  list.erase(list.begin() + index);
  return true;
}

void CEventLists::Clear() {
  waiting_.clear();
  for (auto& list : lists_) list.clear();
}

const EVENT_DSCR* CEventLists::At(RepeatKind kind, int index) const {
  const auto& events = list(kind);
  if (index < 0 || index >= static_cast<int>(events.size())) return nullptr;
  return events[static_cast<std::size_t>(index)].get();
}

int CEventLists::TotalSize() const {
  int total = 0;
  for (const auto& list : lists_) total += static_cast<int>(list.size());
  return total;
}

void CEventLists::ConfirmWaiting(TimeValue now) {
  for (EVENT_DSCR* event : waiting_) event->confirmed = static_cast<std::uint32_t>(now);
  waiting_.clear();
}

bool CEventLists::AddWaiting(EVENT_DSCR* event) {
  if (std::find(waiting_.begin(), waiting_.end(), event) != waiting_.end()) return false;
  waiting_.insert(waiting_.begin(), event);
  return true;
}

MinuteCheckResult CEventLists::CheckMissed(const CClockTime& now) {
  MinuteCheckResult result;
  for (int kind = 0; kind < kRepeatKinds; ++kind) {
    for (const auto& event : lists_[kind]) {
      if (!event->important) continue;
      if (!MissedSince(event->time, now, event->confirmed, static_cast<RepeatKind>(kind))) continue;
      if (AddWaiting(event.get())) result.importantAdded = true;
      result.importantPending = true;
    }
  }
  return result;
}

void CEventLists::QueueDue(const CClockTime& minute, MinuteCheckResult& result,
                           std::set<const EVENT_DSCR*>* alreadyQueued) {
  for (int kind = 0; kind < kRepeatKinds; ++kind) {
    for (const auto& event : lists_[kind]) {
      if (CompareAtKind(event->time, minute, kind) != 0) continue;
      result.anyDue = true;
      if (alreadyQueued == nullptr || alreadyQueued->insert(event.get()).second) pending_.push_back(event->text);
      if (event->important) {
        if (AddWaiting(event.get())) result.importantAdded = true;
        result.importantPending = true;
      }
    }
  }
}

MinuteCheckResult CEventLists::CheckMinutes(const std::vector<CClockTime>& minutes, const CClockTime& now) {
  MinuteCheckResult result = CheckMissed(now);
  std::set<const EVENT_DSCR*> queued;
  for (const CClockTime& minute : minutes) QueueDue(minute, result, &queued);
  return result;
}

}  // namespace vokar::clock
