#include "EventsPage.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>

#include "ClockIds.h"
#include "ClockStrings.h"
#include "EventEditDlg.h"
#include "EventsFile.h"
#include "EventsListBox.h"
#include "ImportantEventsDlg.h"
#include "Intl.h"
#include "MessageBox.h"
#include "Places.h"
#include "Settings.h"
#include "Widgets.h"

namespace vokar::clock {
namespace {

constexpr const char* kSection = "Events";
constexpr const char* kReadError = "Błąd odczytu z pliku.";
constexpr const char* kWriteError = "Błąd zapisu do pliku.";
constexpr const char* kOpenError = "Błąd otwarcia pliku: ";
// How long the queue waits after a failed Speak before it tries again.
constexpr std::int64_t kRetrySeconds = 10;

}  // namespace

CEventsPage::CEventsPage(IClockHost& host, QWidget* parent) : SPropertyPage(host, kSection, IDD_EVENTS_PAGE, parent) {
  important_ = std::make_unique<CImportantEventsDlg>(CImportantEventsDlg::Actions{
      [this] { Confirm(); }, [this](const EVENT_DSCR& event) { ReadEvent(event); }, [this] { RefreshEnabling(); }});

  auto* events = new QGroupBox(QStringLiteral("Komunikaty"), this);
  auto* kindLabel = new QLabel(QStringLiteral("Czę&stość:"), events);
  kind_ = new QComboBox(events);
  for (int kind = 0; kind < kRepeatKinds; ++kind) kind_->addItem(QString::fromUtf8(ClockText(IDS_REPEAT_KINDS + kind)));
  AddControl(IDC_EVENTS_KIND, kind_);
  kindLabel->setBuddy(kind_);
  list_ = new CEventsListBox(events);
  AddControl(IDC_EVENTS_LIST, list_);
  // The group's caption names the list; the frequency shown is the box above it.
  app::SetScreenReaderName(list_, events->title());
  list_->SetDateSeparator(intl::ReadIntl().date);
  list_->setMinimumHeight(150);
  add_ = new QPushButton(QStringLiteral("Dod&aj"), events);
  delete_ = new QPushButton(QStringLiteral("&Usuń"), events);
  modify_ = new QPushButton(QStringLiteral("Pop&raw"), events);
  AddControl(IDC_EVENT_ADD, add_);
  AddControl(IDC_EVENT_DELETE, delete_);
  AddControl(IDC_EVENT_MODIFY, modify_);
  const app::FileField path = AddFileField(IDC_EVENTS_PATH, IDC_EVENTS_BROWSE, QStringLiteral("Plik ko&munikatów:"),
                                           QStringLiteral("Otwórz inny plik komunikatów"), events);
  pathEdit_ = path.path;
  browse_ = path.browse;
  for (QPushButton* b : {add_, delete_, modify_}) b->setAutoDefault(false);

  // The list has the page's whole width, so that every row's text is seen
  // whole; its buttons stand in a row below it.
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {add_, delete_, modify_}) buttons->addWidget(b);
  auto* grid = new QGridLayout(events);
  grid->addWidget(kindLabel, 0, 0);
  grid->addWidget(kind_, 0, 1);
  grid->addWidget(list_, 1, 0, 1, 2);
  grid->addLayout(buttons, 2, 0, 1, 2);
  grid->addWidget(path.label, 3, 0);
  grid->addLayout(path.row, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(events, 1);
  layout->addWidget(BuildSoundGroup());

  connect(kind_, &QComboBox::currentIndexChanged, this, [this](int kind) { SelectKind(kind); });
  connect(list_, &QListWidget::currentRowChanged, this, [this] { RefreshEnabling(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
    if (!important_->shown()) Modify();
  });
  connect(add_, &QPushButton::clicked, this, [this] { Add(); });
  connect(delete_, &QPushButton::clicked, this, [this] { Delete(); });
  connect(modify_, &QPushButton::clicked, this, [this] { Modify(); });
  connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
  ShowKind(0, -1);
}

CEventsPage::~CEventsPage() = default;

int CEventsPage::CurrentKind() const { return std::max(0, kind_->currentIndex()); }

void CEventsPage::LoadSettings() {
  SPropertyPage::LoadSettings();
  const std::string path = settings().ReadString(kSection, "DocumentName", "");
  if (!path.empty()) LoadFile(path, true);
  // Very important occurrences missed while the program was not running.
  Apply(lists_.CheckMissed(CClockTime::FromTime(host_.Now())));
}

void CEventsPage::SaveSettings() {
  SPropertyPage::SaveSettings();
  settings().WriteString(kSection, "DocumentName", path_);
}

void CEventsPage::RefreshEnabling() {
  SPropertyPage::RefreshEnabling();
  const bool free = !important_->shown();
  const bool selected = list_->currentRow() >= 0;
  delete_->setEnabled(free && selected);
  modify_->setEnabled(free && selected);
  browse_->setEnabled(free);
}

void CEventsPage::ShowKind(int kind, int selectRow) {
  if (kind_->currentIndex() != kind) {
    const QSignalBlocker quiet(kind_);
    kind_->setCurrentIndex(kind);
  }
  std::vector<const EVENT_DSCR*> shown;
  for (const auto& event : lists_.list(static_cast<RepeatKind>(kind))) shown.push_back(event.get());
  list_->ShowEvents(shown, static_cast<RepeatKind>(kind));
  list_->setCurrentRow(selectRow);
  RefreshEnabling();
}

void CEventsPage::SelectKind(int kind) {
  if (!IsRepeatKind(kind)) return;
  ShowKind(kind, -1);
}

void CEventsPage::Add() {
  EVENT_DSCR event;
  event.kind = static_cast<RepeatKind>(CurrentKind());
  event.time = CClockTime::FromTime(host_.Now());
  CEventEditDlg dialog(event, [this] { return host_.Now(); }, host_.mainWindow());
  if (dialog.exec() != QDialog::Accepted) return;
  const int kind = static_cast<int>(event.kind);
  const int row = lists_.Insert(std::move(event));
  lists_.SetModified(true);
  ShowKind(kind, row);
}

void CEventsPage::Modify() {
  if (important_->shown()) return;
  const int kind = CurrentKind();
  const int row = list_->currentRow();
  const EVENT_DSCR* selected = lists_.At(static_cast<RepeatKind>(kind), row);
  if (selected == nullptr) return;
  EVENT_DSCR copy = *selected;
  CEventEditDlg dialog(copy, [this] { return host_.Now(); }, host_.mainWindow());
  if (dialog.exec() != QDialog::Accepted) return;
  lists_.Remove(static_cast<RepeatKind>(kind), row);
  const int newKind = static_cast<int>(copy.kind);
  const int newRow = lists_.Insert(std::move(copy));
  lists_.SetModified(true);
  // The old event may have been waiting for confirmation.
  important_->Refill(lists_.waiting());
  ShowKind(newKind, newRow);
}

void CEventsPage::Delete() {
  if (important_->shown()) return;
  const int kind = CurrentKind();
  const int row = list_->currentRow();
  if (!lists_.Remove(static_cast<RepeatKind>(kind), row)) return;
  lists_.SetModified(true);
  important_->Refill(lists_.waiting());
  const int left = lists_.size(static_cast<RepeatKind>(kind));
  ShowKind(kind, left == 0 ? -1 : std::min(row, left - 1));
}

void CEventsPage::Browse() {
  if (important_->shown()) return;
  // A new name may be typed: the file is made with an empty list.
  const QString chosen = AskForFile(host_.mainWindow(), false, QString::fromUtf8(ClockText(IDS_FILTER_EVENTS)),
                                    QString::fromStdString(path_), true);
  if (chosen.isEmpty()) return;
  LoadFile(WithDefaultExtension(chosen, QStringLiteral("evt")).toStdString());
}

bool CEventsPage::LoadFile(const std::string& utf8Path, bool atStartUp) {
  // A modified list is saved first; if it cannot be, nothing is loaded, so
  // that the user's changes are not thrown away.
  if (!SaveIfModified()) return false;
  EventArrays arrays;
  EventsReadError error;
  switch (LoadEventsFile(utf8Path, arrays, &error)) {
    case EventsLoad::CannotOpen:
      TellUser(host_.mainWindow(), kOpenError + utf8Path);
      return false;
    case EventsLoad::ReadError:
      if (atStartUp) {
        // Never written over: the file stays as it is for the user to look at.
        path_.clear();
        pathEdit_->clear();
      }
      TellUser(host_.mainWindow(), kReadError);
      return false;
    case EventsLoad::Loaded:
    case EventsLoad::Created:
      break;
  }
  important_->Clear();
  FromArrays(std::move(arrays), lists_);
  path_ = utf8Path;
  pathEdit_->setText(QString::fromStdString(path_));
  ShowKind(CurrentKind(), -1);
  return true;
}

bool CEventsPage::SaveIfModified() {
  if (!lists_.modified()) return true;
  return SaveFile();
}

namespace {

// A file of its own in the user's documents folder for a list that would
// otherwise be lost: "Horalo - komunikaty.evt", or the first of
// "Horalo - komunikaty (2).evt", "(3)" ... that is not there yet, so that
// nothing of the user's is written over. Empty when all are taken.
std::string KeepingFileIn(const std::filesystem::path& folder) {
  std::error_code error;
  for (int number = 1; number <= 999; ++number) {
    const std::string name =
        number == 1 ? "Horalo - komunikaty.evt" : "Horalo - komunikaty (" + std::to_string(number) + ").evt";
    const std::filesystem::path candidate = folder / name;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) return candidate.string();
  }
  return {};
}

}  // namespace

bool CEventsPage::SaveFile() {
  std::string target = path_;
  const bool nobodyToAsk = msgbox::Ending();
  if (target.empty() && !nobodyToAsk) {
    const QString chosen =
        AskForFile(host_.mainWindow(), true, QString::fromUtf8(ClockText(IDS_FILTER_EVENTS)), QString());
    if (chosen.isEmpty()) return false;
    target = WithDefaultExtension(chosen, QStringLiteral("evt")).toStdString();
  }
  if (target.empty() || !WriteStream(target)) {
    if (!nobodyToAsk) return false;
    // The program is ending with nobody to ask where (a signal, the end of
    // the session), and the list has no file or its file cannot be written:
    // it is kept in the documents folder, and that file becomes the page's,
    // so the next start shows it.
    target = KeepingFileIn(suite::DocumentsDir());
    if (target.empty() || !WriteStream(target)) return false;
    std::fprintf(stderr, "horalo: the reminders are kept in %s\n", target.c_str());
  }
  lists_.SetModified(false);
  path_ = target;
  pathEdit_->setText(QString::fromStdString(path_));
  return true;
}

bool CEventsPage::WriteStream(const std::string& utf8Path) {
  std::string reason;
  if (WriteEventsFile(utf8Path, SerializeEventsStream(lists_), &reason)) return true;
  std::fprintf(stderr, "horalo: %s: %s\n", utf8Path.c_str(), reason.c_str());
  TellUser(host_.mainWindow(), kWriteError);
  return false;
}

void CEventsPage::MinuteCheck(const std::vector<CClockTime>& minutes, const CClockTime& now) {
  Apply(lists_.CheckMinutes(minutes, now));
}

void CEventsPage::Apply(const MinuteCheckResult& result) {
  if (!result.importantPending) return;
  if (result.importantAdded) important_->Refill(lists_.waiting());
  if (lists_.waiting().empty()) return;
  if (!important_->shown()) important_->ShowOnTop();
  // The sound announces them every minute until they are confirmed; a due
  // event's own reading brings it anyway.
  if (!result.anyDue) PlayImportantSound();
}

void CEventsPage::PlayImportantSound() {
  const std::string tag = SoundTag();
  if (tag.empty()) return;
  if (!host_.Connected()) {
    soundWhenConnected_ = true;
    return;
  }
  host_.SpeakText(tag, true);
}

void CEventsPage::OnConnected() {
  if (!soundWhenConnected_) return;
  soundWhenConnected_ = false;
  if (!lists_.waiting().empty()) PlayImportantSound();
}

void CEventsPage::SpeakingTick() {
  auto& pending = lists_.pending();
  if (pending.empty()) return;
  const std::int64_t now = host_.Now();
  if (now < retryAfter_) return;
  if ((host_.QueryStatus() & 1) != 0) return;
  const int result = host_.SpeakText(SoundTag() + Prefix() + pending.front(), true);
  if (result == 0) {
    pending.pop_front();
  } else if (result < 0) {
    // Kept, and tried again a little later.
    retryAfter_ = now + kRetrySeconds;
  }
}

void CEventsPage::ShowImportant() {
  important_->Refill(lists_.waiting());
  important_->ShowOnTop();
}

void CEventsPage::HideImportant() { important_->HideDialog(); }

void CEventsPage::Confirm() {
  HideImportant();
  if (QWidget* main = host_.mainWindow()) {
    if (main->isMinimized()) main->showNormal();
    main->show();
  }
  lists_.ConfirmWaiting(host_.Now());
  important_->Clear();
  // The confirmation is kept in the file at once.
  if (path_.empty() || lists_.modified()) {
    SaveFile();
  } else {
    WriteStream(path_);
  }
}

void CEventsPage::ReadEvent(const EVENT_DSCR& event) { host_.SpeakText(SoundTag() + Prefix() + event.text, true); }

}  // namespace vokar::clock
