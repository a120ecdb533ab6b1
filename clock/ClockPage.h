// CClockPage, "Czas": how the time is read (24-hour, colloquial, full hours
// without minutes, seconds on demand), how often it is chimed, and the
// initial sound (optionally only at full hours). It composes the three
// readings of the clock: the hour and the date on demand, and the chime.
#pragma once

#include <array>

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
  // without breaking a reading).
  void MinuteTick(const CClockTime& now);

 private:
  // The initial sound: always, or only in minute 0 when so chosen.
  std::string SoundPart(const CClockTime& now) const;

  QCheckBox* soundForHours_ = nullptr;
  QCheckBox* hours24_ = nullptr;
  QCheckBox* colloquial_ = nullptr;
  QCheckBox* withoutMinutes_ = nullptr;
  QCheckBox* addSeconds_ = nullptr;
  std::array<QRadioButton*, 6> frequency_{};
};

}  // namespace vokar::clock
