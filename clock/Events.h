// Reminder events: texts spoken at a given minute once or every hour, day,
// week, month or year. CEventLists keeps one sorted list per repeat kind, the
// queue of texts due to be spoken and the very important events waiting for
// the user's confirmation, and runs the check of one minute against them.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ClockTime.h"

namespace vokar::clock {

// How often an event repeats; stored as a 16-bit value in events files and
// used as the index of the kind combo boxes.
enum class RepeatKind : int {
  Hourly = 0,   // minute
  Daily = 1,    // hour, minute
  Weekly = 2,   // weekday, hour, minute
  Monthly = 3,  // day, hour, minute
  Yearly = 4,   // month, day, hour, minute
  OnDate = 5,   // year, month, day, hour, minute
};
inline constexpr int kRepeatKinds = 6;
inline bool IsRepeatKind(int value) { return value >= 0 && value < kRepeatKinds; }

// The longest event text the clock stores; the editor refuses longer ones
// and readers refuse files that hold one.
inline constexpr std::size_t kMaxEventText = 2048;

struct EVENT_DSCR {
  RepeatKind kind = RepeatKind::Hourly;
  CClockTime time;             // only the kind's fields are meaningful; seconds are never compared
  bool important = false;      // "Komunikat bardzo ważny": must be confirmed
  std::uint32_t confirmed = 0; // time value of the last confirmation; 0 = never
  std::string text;            // code page 1250

  friend bool operator==(const EVENT_DSCR& a, const EVENT_DSCR& b);
};

// Compares two times over the fields of the kind, coarsest first: 1 when a
// is later, -1 when earlier, 0 when they agree (and for a kind out of range).
int CompareAtKind(const CClockTime& a, const CClockTime& b, int kind);
inline int CompareAtKind(const CClockTime& a, const CClockTime& b, RepeatKind kind) {
  return CompareAtKind(a, b, static_cast<int>(kind));
}

// 28..31 by the Gregorian rule; month 0..11 (others give 31).
int DaysInMonth(int month, int year);

// The latest occurrence of an event of this kind at or before now: true when
// it is later than the confirmed time (a time value, 0 = never).
bool MissedSince(const CClockTime& eventTime, const CClockTime& now, TimeValue confirmed, RepeatKind kind);
// That occurrence itself (exposed for the tests of its calendar steps).
CClockTime LatestOccurrence(const CClockTime& eventTime, const CClockTime& now, RepeatKind kind);

// What one minute check found.
struct MinuteCheckResult {
  bool anyDue = false;            // at least one event fell due in the checked minute(s)
  bool importantPending = false;  // a very important event waits for confirmation
  bool importantAdded = false;    // the waiting list got a new event
};

class CEventLists {
 public:
  using List = std::vector<std::unique_ptr<EVENT_DSCR>>;

  // Inserts the event into its kind's list: at the front when atFront,
  // otherwise after every event that is not later at the kind's fields (so
  // equal events keep their order). Returns its index.
  int Insert(EVENT_DSCR event, bool atFront = false);
  // Puts the event at the end of its kind's list, as a file lists it.
  void Append(EVENT_DSCR event);
  // Removes the event at the index of the kind's list (and from the waiting
  // list of very important events); false when there is none.
  bool Remove(RepeatKind kind, int index);
  void Clear();

  const List& list(RepeatKind kind) const { return lists_[static_cast<int>(kind)]; }
  const EVENT_DSCR* At(RepeatKind kind, int index) const;
  int size(RepeatKind kind) const { return static_cast<int>(list(kind).size()); }
  int TotalSize() const;

  bool modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  // Texts due to be spoken, oldest first.
  std::deque<std::string>& pending() { return pending_; }
  const std::deque<std::string>& pending() const { return pending_; }

  // Very important events due or missed and not yet confirmed, newest first;
  // pointers into the lists.
  const std::vector<EVENT_DSCR*>& waiting() const { return waiting_; }
  void ClearWaiting() { waiting_.clear(); }
  // Sets the confirmation time on every waiting event and empties the list.
  void ConfirmWaiting(TimeValue now);

  // Steps of the minute check: very important occurrences missed up to now
  // join the waiting list (startUp runs only this).
  MinuteCheckResult CheckMissed(const CClockTime& now);
  // The events due in the minute of `minute` queue their texts (very
  // important ones also join the waiting list). An event already in
  // `alreadyQueued` is not queued again; it is added there when queued.
  void QueueDue(const CClockTime& minute, MinuteCheckResult& result, std::set<const EVENT_DSCR*>* alreadyQueued);

  // The whole check of one minute: missed very important occurrences, then
  // the events due in each minute from the first to now (the minutes a
  // blocked clock skipped), each event queued once.
  MinuteCheckResult CheckMinutes(const std::vector<CClockTime>& minutes, const CClockTime& now);

 private:
  bool AddWaiting(EVENT_DSCR* event);

  std::array<List, kRepeatKinds> lists_;
  std::deque<std::string> pending_;
  std::vector<EVENT_DSCR*> waiting_;
  bool modified_ = false;
};

}  // namespace vokar::clock
