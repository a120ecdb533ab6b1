// CClockPage, "Czas": how the time is read (24-hour, colloquial, full hours
// without minutes, seconds on demand), how often it is chimed, and the
// initial sound (optionally only at full hours). It composes the three
// readings of the clock: the hour and the date on demand, and the chime.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ClockTime.h"
#include "PropertyPage.h"
#include "SpokenTime.h"

class QCheckBox;
class QRadioButton;

namespace vokar::clock {

class CClockPage final : public SPropertyPage {
 public:
  explicit CClockPage(IClockHost& host, QWidget* parent = nullptr);

  void LoadSettings() override;
  void SaveSettings() override;

  ReadingMode Mode() const;
  // 0 no chime .. 5 every minute.
  int Frequency() const;

  // The readings at the time now, in code page 1250, without the reset tag.
  std::string HourText(const CClockTime& now) const;
  std::string DateText(const CClockTime& now) const;
  std::string ChimeText(const CClockTime& now) const;

  // The page's minute tick: the chime when this minute has one (spoken
  // without breaking a reading). A chime the server refuses because it is
  // reading waits for it.
  void MinuteTick(const CClockTime& now);
  // Every other tick: a chime that waits is said as soon as the server is
  // free, within its minute; once its minute has passed it is dropped
  // unsaid, since it would tell a time that is no longer so. True when the
  // chime went to the server in this tick.
  bool SayWaitingChime(const CClockTime& now);
  bool chimeWaiting() const { return waitingChime_.has_value(); }

 private:
  // The initial sound: always, or only in minute 0 when so chosen.
  std::string SoundPart(const CClockTime& now) const;

  QCheckBox* soundForHours_ = nullptr;
  QCheckBox* hours24_ = nullptr;
  QCheckBox* colloquial_ = nullptr;
  QCheckBox* withoutMinutes_ = nullptr;
  QCheckBox* addSeconds_ = nullptr;
  std::array<QRadioButton*, 6> frequency_{};

  struct WaitingChime {
    std::int64_t minute;  // MinuteNumber of the minute it tells
    std::string text;
  };
  std::optional<WaitingChime> waitingChime_;
};

}  // namespace vokar::clock
