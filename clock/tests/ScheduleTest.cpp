// The one-second schedule: which page's minute work each tick does, the
// reminder check with the minutes a held-up clock skipped, the chime rule and
// the advice period.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "Schedule.h"
#include "ScopedEnvironment.h"

namespace {

using namespace vokar::clock;

class ScheduleInUtc : public ::testing::Test {
 protected:
  void SetUp() override { environment_.Set("TZ", "UTC"); }
  vokar::test::ScopedEnvironment environment_;
};

// 2026-12-08 10:00:00 UTC.
constexpr TimeValue k1000 = 1796724000;
TimeValue At(int hour, int minute, int second) { return k1000 + (hour - 10) * 3600 + minute * 60 + second; }

struct Seen {
  std::vector<std::string> clockTicks, adviceTicks, checks;
  int speakingTicks = 0;
};

std::string Hm(const CClockTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

void Tick(CTickScheduler& scheduler, TimeValue from, TimeValue to, Seen& seen) {
  for (TimeValue t = from; t <= to; ++t) {
    const CClockTime now = CClockTime::FromTime(t);
    const TickPlan plan = scheduler.Plan(now);
    for (const auto& minute : plan.checkMinutes) seen.checks.push_back(Hm(minute) + "@" + Hm(now));
    if (plan.minuteTick && plan.target == TickTarget::ClockPage) seen.clockTicks.push_back(Hm(now));
    if (plan.minuteTick && plan.target == TickTarget::AdvicePage) seen.adviceTicks.push_back(Hm(now));
    if (!plan.minuteTick) ++seen.speakingTicks;
  }
}

TEST_F(ScheduleInUtc, EachPageWorksOnceAMinuteInItsOwnSeconds) {
  CTickScheduler scheduler;
  Seen seen;
  Tick(scheduler, At(10, 59, 50), At(11, 1, 45), seen);
  EXPECT_EQ(seen.clockTicks, (std::vector<std::string>{"11:00:01", "11:01:01"}));
  EXPECT_EQ(seen.adviceTicks, (std::vector<std::string>{"11:00:31", "11:01:31"}));
  EXPECT_EQ(seen.checks, (std::vector<std::string>{"11:00:00@11:00:16", "11:01:00@11:01:16"}));
  // 116 ticks, four of them minute work: the rest may speak reminders.
  EXPECT_EQ(seen.speakingTicks, 116 - 4);
}

TEST_F(ScheduleInUtc, StartedLateInAWindowTheWorkStillComesThatMinute) {
  CTickScheduler scheduler;
  Seen seen;
  Tick(scheduler, At(10, 0, 15), At(10, 0, 31), seen);
  EXPECT_EQ(seen.clockTicks, (std::vector<std::string>{"10:00:15"}));
  EXPECT_EQ(seen.checks, (std::vector<std::string>{"10:00:00@10:00:16"}));
  EXPECT_EQ(seen.adviceTicks, (std::vector<std::string>{"10:00:31"}));
  // No tick in 1..15 of a minute: no chime in that minute.
  Seen later;
  Tick(scheduler, At(10, 1, 16), At(10, 1, 16), later);
  EXPECT_TRUE(later.clockTicks.empty());
}

TEST_F(ScheduleInUtc, ATickHeldUpOverTheHourStillChimesAndChecksTheSkippedMinutes) {
  CTickScheduler scheduler;
  Seen seen;
  // Normal ticks to 10:59:20, then a message box holds the clock until
  // 11:00:05 and again from 11:00:20 to 11:03:10.
  Tick(scheduler, At(10, 58, 50), At(10, 59, 20), seen);
  Tick(scheduler, At(11, 0, 6), At(11, 0, 19), seen);
  Tick(scheduler, At(11, 3, 11), At(11, 3, 20), seen);
  EXPECT_EQ(seen.clockTicks, (std::vector<std::string>{"10:59:01", "11:00:06", "11:03:11"}));
  EXPECT_EQ(seen.checks, (std::vector<std::string>{"10:59:00@10:59:16", "11:00:00@11:00:16", "11:01:00@11:03:16",
                                                   "11:02:00@11:03:16", "11:03:00@11:03:16"}));
}

TEST_F(ScheduleInUtc, AClockHeldUpBeforeItsFirstCheckChecksTheMinuteOfItsStart) {
  // Started at 10:00:05; nothing ticks until 10:02:20.
  CTickScheduler scheduler;
  scheduler.Started(CClockTime::FromTime(At(10, 0, 5)));
  Seen seen;
  Tick(scheduler, At(10, 2, 20), At(10, 2, 21), seen);
  EXPECT_EQ(seen.checks, (std::vector<std::string>{"10:00:00@10:02:20", "10:01:00@10:02:20", "10:02:00@10:02:20"}));

  // Started at 10:00:30, the last second of checking: the same minute comes.
  CTickScheduler lastSecond;
  lastSecond.Started(CClockTime::FromTime(At(10, 0, 30)));
  Seen late;
  Tick(lastSecond, At(10, 1, 16), At(10, 1, 16), late);
  EXPECT_EQ(late.checks, (std::vector<std::string>{"10:00:00@10:01:16", "10:01:00@10:01:16"}));

  // Started at 10:00:31, after the checking of its minute: that minute is
  // never checked, as a clock that ticked on time would not have either.
  CTickScheduler after;
  after.Started(CClockTime::FromTime(At(10, 0, 31)));
  Seen none;
  Tick(after, At(10, 1, 16), At(10, 1, 16), none);
  EXPECT_EQ(none.checks, (std::vector<std::string>{"10:01:00@10:01:16"}));

  // A clock on time checks each minute once, the first one included.
  CTickScheduler onTime;
  onTime.Started(CClockTime::FromTime(At(10, 0, 5)));
  Seen each;
  Tick(onTime, At(10, 0, 6), At(10, 1, 20), each);
  EXPECT_EQ(each.checks, (std::vector<std::string>{"10:00:00@10:00:16", "10:01:00@10:01:16"}));
}

TEST_F(ScheduleInUtc, CatchingUpStopsAtADay) {
  for (const auto& [gapMinutes, expectedChecks] :
       {std::pair{CTickScheduler::kMaxCatchUpMinutes, CTickScheduler::kMaxCatchUpMinutes},
        std::pair{CTickScheduler::kMaxCatchUpMinutes + 1, std::int64_t{1}}, std::pair{std::int64_t{-5}, std::int64_t{1}}}) {
    CTickScheduler scheduler;
    const TimeValue first = At(10, 0, 20);
    ASSERT_EQ(scheduler.Plan(CClockTime::FromTime(first)).checkMinutes.size(), 1u);
    const auto plan = scheduler.Plan(CClockTime::FromTime(first + gapMinutes * 60));
    EXPECT_EQ(static_cast<std::int64_t>(plan.checkMinutes.size()), expectedChecks) << gapMinutes;
  }
}

TEST(Schedule, ChimeFrequencies) {
  struct Case {
    int frequency;
    std::vector<int> minutes;
  } cases[] = {
      {0, {}},
      {1, {0}},
      {2, {0, 30}},
      {3, {0, 15, 30, 45}},
      {4, {0, 10, 20, 30, 40, 50}},
      {6, {}},
      {-1, {}},
  };
  for (const auto& c : cases) {
    std::vector<int> chimed;
    for (int m = 0; m < 60; ++m) {
      if (ChimeDue(c.frequency, m)) chimed.push_back(m);
    }
    EXPECT_EQ(chimed, c.minutes) << c.frequency;
  }
  for (int m = 0; m < 60; ++m) EXPECT_TRUE(ChimeDue(5, m)) << m;
}

TEST(Schedule, AdvicePeriodAndOffset) {
  EXPECT_EQ(AdvicePeriod(0), 0);
  EXPECT_EQ(AdvicePeriod(1), 60);
  EXPECT_EQ(AdvicePeriod(2), 15);
  EXPECT_EQ(AdvicePeriod(3), 5);
  EXPECT_EQ(AdvicePeriod(4), 0);
  struct Case {
    std::uint32_t draw;
    int period, offset;
  } cases[] = {
      {0, 60, 1},     {546, 60, 1},    {1092, 60, 1},  {1093, 60, 2}, {16384, 60, 30},
      {32766, 60, 59}, {32767, 60, 59}, {32767, 5, 4}, {0, 5, 1},     {13107, 5, 2},
  };
  for (const auto& c : cases) EXPECT_EQ(CAdviceTimer::Offset(c.draw, c.period), c.offset) << c.draw;
}

TEST(Schedule, AdviceComesOncePerPeriodAndOnlyAfterSeeingItsStart) {
  CAdviceTimer timer;
  std::vector<int> read;
  // Started at 10:20 with hourly advice: nothing until 11:00 has been seen;
  // the draw at 11:00 gives minute 30.
  for (int m = 20; m < 60; ++m) {
    if (timer.Tick(m, 60, 16384)) read.push_back(m);
  }
  EXPECT_TRUE(read.empty());
  for (int m = 0; m < 60; ++m) {
    if (timer.Tick(m, 60, 16384)) read.push_back(100 + m);
  }
  EXPECT_EQ(read, (std::vector<int>{130}));
  // Every five minutes, a draw of 0 reads at the first minute after each start.
  read.clear();
  CAdviceTimer fast;
  for (int m = 0; m < 20; ++m) {
    if (fast.Tick(m, 5, 0)) read.push_back(m);
  }
  EXPECT_EQ(read, (std::vector<int>{1, 6, 11, 16}));
  EXPECT_FALSE(fast.Tick(20, 0, 0));
}

}  // namespace
