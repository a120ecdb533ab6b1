#include "PropertyPage.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

#include "ClockIds.h"
#include "ClockStrings.h"
#include "Cp1250.h"
#include "DataDirs.h"
#include "MessageBox.h"
#include "Settings.h"
#include "Widgets.h"

namespace vokar::clock {

void TellUser(QWidget* owner, std::string_view utf8Text, bool exclamation) {
  msgbox::ShowMessageBox(ClockText(IDS_TITLE), utf8Text, exclamation ? msgbox::Icon::Warning : msgbox::Icon::None,
                         msgbox::Buttons::Ok, msgbox::DefaultButton::First, owner);
}

QString AskForFile(QWidget* owner, bool save, const QString& tableFilter, const QString& start, bool newAllowed) {
  QFileDialog dialog(owner, save ? QStringLiteral("Zapisz jako") : QStringLiteral("Otwórz"), start,
                     app::QtFileFilter(tableFilter));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save || newAllowed ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Szukaj w:"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("&Nazwa pliku:"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Pliki typu:"));
  dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("&Zapisz") : QStringLiteral("&Otwórz"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Anuluj"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

QString WithDefaultExtension(const QString& name, const QString& extension) {
  if (name.isEmpty()) return name;
  if (!QFileInfo(name).suffix().isEmpty()) return name;
  return name + QLatin1Char('.') + extension;
}

SPropertyPage::SPropertyPage(IClockHost& host, std::string section, int dialogId, QWidget* parent)
    : QWidget(parent), host_(host), section_(std::move(section)) {
  setObjectName(app::DialogName(dialogId));
}

app::FileField SPropertyPage::AddFileField(int pathId, int browseId, const QString& caption, const QString& what,
                                           QWidget* parent) {
  const app::FileField field = app::MakeFileField(caption, what, parent);
  AddControl(pathId, field.path);
  AddControl(browseId, field.browse);
  return field;
}

QGroupBox* SPropertyPage::BuildSoundGroup() {
  auto* group = new QGroupBox(QStringLiteral("Dźwięk i tekst wstępny"), this);
  initSound_ = new QCheckBox(QStringLiteral("Odt&wórz dźwięk: "), group);
  AddControl(IDC_INIT_SOUND, initSound_);
  initSoundName_ = new QLineEdit(group);
  AddControl(IDC_INIT_SOUND_NAME, initSoundName_);
  browse_ = app::BrowseButton(QStringLiteral("Wybierz plik dźwiękowy"), group);
  AddControl(IDC_INIT_SOUND_BROWSE, browse_);
  auto* prefixLabel = new QLabel(QStringLiteral("Pre&fiks:"), group);
  prefix_ = new QLineEdit(group);
  AddControl(IDC_PREFIX, prefix_);
  prefixLabel->setBuddy(prefix_);

  auto* layout = new QGridLayout(group);
  layout->addWidget(initSound_, 0, 0);
  layout->addWidget(initSoundName_, 0, 1);
  layout->addWidget(browse_, 0, 2);
  layout->addWidget(prefixLabel, 1, 0);
  layout->addWidget(prefix_, 1, 1, 1, 2);
  layout->setColumnStretch(1, 1);

  connect(initSound_, &QCheckBox::toggled, this, [this] { RefreshEnabling(); });
  connect(browse_, &QPushButton::clicked, this, [this] { BrowseSound(); });
  return group;
}

void SPropertyPage::BrowseSound() {
  // The sounds made for the suite are offered first.
  QString start = initSoundName_->text();
  if (start.isEmpty()) {
    for (const auto& folder : paths::DataDirs()) {
      if (std::filesystem::is_directory(folder / "sounds")) {
        start = QString::fromStdString((folder / "sounds").string());
        break;
      }
    }
  }
  const QString chosen = AskForFile(host_.mainWindow(), false, QString::fromUtf8(ClockText(IDS_FILTER_SOUND)), start);
  if (chosen.isEmpty()) return;
  initSoundName_->setText(WithDefaultExtension(chosen, QStringLiteral("wav")));
}

void SPropertyPage::RefreshEnabling() {
  if (initSound_ != nullptr) initSoundName_->setEnabled(initSound_->isChecked());
  if (initSound_ != nullptr) browse_->setEnabled(initSound_->isChecked());
}

void SPropertyPage::LoadSettings() {
  if (initSound_ == nullptr) return;
  initSound_->setChecked(settings().ReadYesNo(section_, "InitSound", true));
  initSoundName_->setText(QString::fromStdString(settings().ReadString(section_, "InitSoundName", "")));
  prefix_->setText(QString::fromStdString(settings().ReadString(section_, "Prefix", "")));
  RefreshEnabling();
}

void SPropertyPage::SaveSettings() {
  if (initSound_ == nullptr) return;
  settings().WriteYesNo(section_, "InitSound", initSound_->isChecked());
  settings().WriteString(section_, "InitSoundName", initSoundName_->text().toStdString());
  settings().WriteString(section_, "Prefix", prefix_->text().toStdString());
}

std::string SPropertyPage::SoundTag() const {
  if (initSound_ == nullptr || !initSound_->isChecked()) return {};
  const std::string name = cp1250::FromUtf8(initSoundName_->text().toStdString());
  if (name.empty()) return {};
  return "\\Wav=\"" + name + "\"\\";
}

std::string SPropertyPage::Prefix() const {
  if (prefix_ == nullptr) return {};
  return cp1250::FromUtf8(prefix_->text().toStdString());
}

}  // namespace vokar::clock
