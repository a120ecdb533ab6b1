#include "AdvicePage.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "AdviceFile.h"
#include "ClockIds.h"
#include "ClockStrings.h"
#include "RegularFile.h"
#include "Settings.h"
#include "Widgets.h"

namespace vokar::clock {
namespace {

constexpr const char* kSection = "Advice";
constexpr const char* kOpenError = "Błąd otwarcia pliku: ";
constexpr const char* kHandlingError = "Błąd obsługi pliku: ";

// The lines of an advice file as the clock reads them: text mode, pieces of
// at most 255 characters each ending at its line end.
struct AdviceLines {
  files::FileError error = files::FileError::None;
  std::string text;
  std::vector<std::string_view> lines;
};

AdviceLines ReadLines(const std::string& path) {
  AdviceLines result;
  const files::FileRead read = files::ReadRegularFile(path, adviser::kMaxFileBytes);
  result.error = read.error;
  if (!read.ok()) return result;
  result.text = adviser::TextModeCp1250(read.bytes, read.truncated ? cp1250::TextEnd::Cut : cp1250::TextEnd::Whole);
  result.lines = adviser::SplitLines(result.text);
  return result;
}

bool IsOpenFailure(files::FileError error) {
  switch (error) {
    case files::FileError::NotFound:
    case files::FileError::BadPath:
    case files::FileError::AccessDenied:
    case files::FileError::TooManyOpenFiles:
    case files::FileError::SharingViolation:
      return true;
    default:
      return false;
  }
}

}  // namespace

CAdvicePage::CAdvicePage(IClockHost& host, QWidget* parent) : SPropertyPage(host, kSection, IDD_ADVICE_PAGE, parent) {
  auto* frequency = new QGroupBox(QStringLiteral("Odczyt automatyczny"), this);
  auto* frequencyLayout = new QVBoxLayout(frequency);
  frequencyGroup_ = new QButtonGroup(this);
  const char* texts[] = {"&Brak odczytu", "&Raz na godzinę", "Raz &na kwadrans", "Raz na pięć min&ut"};
  for (int i = 0; i < 4; ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(texts[i]), frequency);
    frequency_[static_cast<std::size_t>(i)] = radio;
    AddControl(IDC_ADVICE_FREQUENCY_FIRST + i, radio);
    frequencyGroup_->addButton(radio, i);
    frequencyLayout->addWidget(radio);
  }

  auto* mode = new QGroupBox(QStringLiteral("Wybór porady"), this);
  auto* modeLayout = new QVBoxLayout(mode);
  random_ = new QRadioButton(QStringLiteral("Losow&y"), mode);
  inTurn_ = new QRadioButton(QStringLiteral("&Sekwencyjny"), mode);
  AddControl(IDC_ADVICE_RANDOM, random_);
  AddControl(IDC_ADVICE_IN_TURN, inTurn_);
  modeLayout->addWidget(random_);
  modeLayout->addWidget(inTurn_);
  modeLayout->addStretch(1);

  auto* file = new QGroupBox(QStringLiteral("Porady"), this);
  const app::FileField field = AddFileField(IDC_ADVICE_FILE, IDC_ADVICE_BROWSE, QStringLiteral("P&lik z poradami:"),
                                            QStringLiteral("Wybierz plik z poradami"), file);
  file_ = field.path;
  browse_ = field.browse;
  auto* fileLayout = new QHBoxLayout(file);
  fileLayout->addWidget(field.label);
  fileLayout->addLayout(field.row, 1);

  auto* choices = new QHBoxLayout;
  choices->addWidget(frequency, 1);
  choices->addWidget(mode, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(file);
  layout->addLayout(choices);
  layout->addWidget(BuildSoundGroup());
  layout->addStretch(1);

  connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
}

void CAdvicePage::LoadSettings() {
  SPropertyPage::LoadSettings();
  const app::CSettings& s = settings();
  storedFrequency_ = s.ReadClampedInt(kSection, "Frequency", 1, 0, 4);
  // Frequency 4 checks no button, which an exclusive group cannot show.
  frequencyGroup_->setExclusive(false);
  for (QRadioButton* radio : frequency_) radio->setChecked(false);
  frequencyGroup_->setExclusive(true);
  if (storedFrequency_ < 4) frequency_[static_cast<std::size_t>(storedFrequency_)]->setChecked(true);
  const int mode = s.ReadClampedInt(kSection, "Mode", 0, 0, 1);
  (mode == 1 ? inTurn_ : random_)->setChecked(true);
  const std::string path = s.ReadString(kSection, "DocumentName", "");
  if (!path.empty()) LoadFile(path);
}

void CAdvicePage::SaveSettings() {
  SPropertyPage::SaveSettings();
  const app::CSettings& s = settings();
  s.WriteInt(kSection, "Frequency", Frequency());
  s.WriteInt(kSection, "Mode", InTurn() ? 1 : 0);
  s.WriteString(kSection, "DocumentName", path_);
}

int CAdvicePage::Frequency() const {
  for (int i = 0; i < 4; ++i) {
    if (frequency_[static_cast<std::size_t>(i)]->isChecked()) return i;
  }
  // No button checked: the stored value 4 stays.
  return 4;
}

bool CAdvicePage::InTurn() const { return inTurn_->isChecked(); }

bool CAdvicePage::LoadFile(const std::string& utf8Path) {
  const AdviceLines read = ReadLines(utf8Path);
  if (read.error != files::FileError::None) {
    TellUser(host_.mainWindow(), (IsOpenFailure(read.error) ? kOpenError : kHandlingError) + utf8Path);
    path_.clear();
    file_->clear();
    lineCount_ = 0;
    return false;
  }
  path_ = utf8Path;
  file_->setText(QString::fromStdString(path_));
  lineCount_ = static_cast<std::int64_t>(read.lines.size());
  return true;
}

void CAdvicePage::Browse() {
  const QString chosen = AskForFile(host_.mainWindow(), false, QString::fromUtf8(ClockText(IDS_FILTER_ADVICE)),
                                    QString::fromStdString(path_));
  if (chosen.isEmpty()) return;
  LoadFile(WithDefaultExtension(chosen, QStringLiteral("txt")).toStdString());
}

std::string CAdvicePage::ReadAdvice() {
  if (path_.empty() || lineCount_ == 0) return {};
  const AdviceLines read = ReadLines(path_);
  // A file that cannot be read now says nothing (the user was told when it
  // was chosen).
  if (read.error != files::FileError::None) return {};
  const std::int64_t index =
      InTurn() ? adviser::NextLine(lastIndex_, lineCount_) : adviser::RandomLine(host_.Draw(), lineCount_);
  // The file may have become shorter since its lines were counted.
  std::string line;
  if (index < static_cast<std::int64_t>(read.lines.size())) {
    const std::string_view piece = read.lines[static_cast<std::size_t>(index)];
    // A NUL ends the text as the rest of the suite sees it.
    line = std::string(piece.substr(0, piece.find('\0')));
  }
  if (line.empty()) {
    lastIndex_ = 0;
    return {};
  }
  lastIndex_ = index;
  return SoundTag() + Prefix() + line;
}

void CAdvicePage::MinuteTick(const CClockTime& now) {
  const int period = AdvicePeriod(Frequency());
  if (period == 0) return;
  if (!timer_.Tick(now.minute, period, host_.Draw())) return;
  const std::string text = ReadAdvice();
  if (!text.empty()) host_.SpeakText(text, false);
}

}  // namespace vokar::clock
