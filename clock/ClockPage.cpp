#include "ClockPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ClockIds.h"
#include "Schedule.h"
#include "Settings.h"
#include "Widgets.h"

namespace vokar::clock {
namespace {

constexpr const char* kSection = "Clock";

}  // namespace

CClockPage::CClockPage(IClockHost& host, QWidget* parent) : SPropertyPage(host, kSection, IDD_CLOCK_PAGE, parent) {
  auto check = [this](int id, const char* text, QWidget* group) {
    auto* box = new QCheckBox(QString::fromUtf8(text), group);
    AddControl(id, box);
    return box;
  };
  auto* reading = new QGroupBox(QStringLiteral("Odczyt czasu"), this);
  soundForHours_ = check(IDC_SOUND_FOR_HOURS, "&Stosuj dźwięk początkowy tylko dla pełnych godzin", reading);
  hours24_ = check(IDC_24_HOURS, "Tryb &24 godzinny", reading);
  colloquial_ = check(IDC_COLLOQUIAL, "Forma potocz&na", reading);
  withoutMinutes_ = check(IDC_WITHOUT_MINUTES, "Pełne godziny bez min&ut", reading);
  addSeconds_ = check(IDC_ADD_SECONDS, "Doda&j sekundy do odczytu czasu na żądanie", reading);
  app::StackIn(reading, {hours24_, colloquial_, withoutMinutes_, addSeconds_, soundForHours_});

  auto* chime = new QGroupBox(QStringLiteral("Odczyt automatyczny"), this);
  auto* chimeLayout = new QVBoxLayout(chime);
  auto* buttons = new QButtonGroup(this);
  const char* texts[] = {"&Brak odczytu", "&Co godzinę", "Co pół godzin&y", "Co kwad&rans", "Co dzi&esięć minut",
                         "Co &minutę"};
  for (int i = 0; i < 6; ++i) {
    frequency_[static_cast<std::size_t>(i)] = new QRadioButton(QString::fromUtf8(texts[i]), chime);
    AddControl(IDC_CHIME_FIRST + i, frequency_[static_cast<std::size_t>(i)]);
    buttons->addButton(frequency_[static_cast<std::size_t>(i)], i);
    chimeLayout->addWidget(frequency_[static_cast<std::size_t>(i)]);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(reading);
  layout->addWidget(chime);
  layout->addWidget(BuildSoundGroup());
  layout->addStretch(1);
}

void CClockPage::LoadSettings() {
  SPropertyPage::LoadSettings();
  const app::CSettings& s = settings();
  soundForHours_->setChecked(s.ReadYesNo(kSection, "InitSoundForHours", true));
  hours24_->setChecked(s.ReadYesNo(kSection, "24_Hours", true));
  colloquial_->setChecked(s.ReadYesNo(kSection, "Colloquial", true));
  withoutMinutes_->setChecked(s.ReadYesNo(kSection, "WithoutMinutes", true));
  addSeconds_->setChecked(s.ReadYesNo(kSection, "AddSeconds", true));
  const int frequency = s.ReadClampedInt(kSection, "Frequency", 1, 0, 5);
  frequency_[static_cast<std::size_t>(frequency)]->setChecked(true);
}

void CClockPage::SaveSettings() {
  SPropertyPage::SaveSettings();
  const app::CSettings& s = settings();
  s.WriteYesNo(kSection, "InitSoundForHours", soundForHours_->isChecked());
  s.WriteYesNo(kSection, "24_Hours", hours24_->isChecked());
  s.WriteYesNo(kSection, "Colloquial", colloquial_->isChecked());
  s.WriteYesNo(kSection, "WithoutMinutes", withoutMinutes_->isChecked());
  s.WriteYesNo(kSection, "AddSeconds", addSeconds_->isChecked());
  s.WriteInt(kSection, "Frequency", Frequency());
}

ReadingMode CClockPage::Mode() const {
  return ReadingMode{.hours24 = hours24_->isChecked(),
                     .colloquial = colloquial_->isChecked(),
                     .withoutMinutes = withoutMinutes_->isChecked(),
                     .addSeconds = addSeconds_->isChecked()};
}

int CClockPage::Frequency() const {
  for (int i = 0; i < 6; ++i) {
    if (frequency_[static_cast<std::size_t>(i)]->isChecked()) return i;
  }
  return 0;
}

std::string CClockPage::SoundPart(const CClockTime& now) const {
  if (soundForHours_->isChecked() && now.minute != 0) return {};
  return SoundTag();
}

std::string CClockPage::HourText(const CClockTime& now) const {
  const std::string phrase = FormatSpokenTime(now.hour, now.minute, now.second, Mode());
  if (phrase.empty()) return {};
  return SoundPart(now) + Prefix() + phrase;
}

std::string CClockPage::DateText(const CClockTime& now) const {
  return SoundPart(now) + FormatSpokenDate(now.year, now.month, now.day, now.weekday);
}

std::string CClockPage::ChimeText(const CClockTime& now) const {
  // Seconds are never spoken in a chime: the phrase is of the minute.
  const std::string phrase = FormatSpokenTime(now.hour, now.minute, 0, Mode());
  if (phrase.empty()) return {};
  return SoundPart(now) + Prefix() + phrase;
}

void CClockPage::MinuteTick(const CClockTime& now) {
  waitingChime_.reset();
  if (!ChimeDue(Frequency(), now.minute)) return;
  std::string text = ChimeText(now);
  // Refused while the server reads: said when it is free. An error has been
  // told to the user; it is not tried again.
  if (host_.SpeakText(text, false) == kSpeakRefused) {
    waitingChime_ = WaitingChime{MinuteNumber(now.time), std::move(text)};
  }
}

bool CClockPage::SayWaitingChime(const CClockTime& now) {
  if (!waitingChime_) return false;
  if (MinuteNumber(now.time) != waitingChime_->minute) {
    waitingChime_.reset();
    return false;
  }
  if ((host_.QueryStatus() & 1) != 0) return false;
  if (host_.SpeakText(waitingChime_->text, false) == kSpeakRefused) return false;
  waitingChime_.reset();
  return true;
}

}  // namespace vokar::clock
