#include "ServerDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <climits>
#include <filesystem>

#include "AboutBox.h"
#include "AutostartBox.h"
#include "Cp1250.h"
#include "DataDirs.h"
#include "DeviceChoice.h"
#include "HelpPage.h"
#include "NamedFile.h"
#include "NamedObjects.h"
#include "ServerApp.h"
#include "ServerIds.h"
#include "ServerStrings.h"
#include "SpeedSlider.h"
#include "Widgets.h"

namespace vokar::server {
namespace {

// The file queue holds what other programs hand over; a program that floods
// the server with paths is not allowed to make it hold more than this.
constexpr std::size_t kMaxQueuedFiles = 1024;

}  // namespace

CServerDlg::CServerDlg(CServerApp& app)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      app_(app),
      job_({*this, app.db, &app.dictionary, app.messages, *this, *app.playback, app.device}) {
  setObjectName(app::DialogName(IDD_SERVER));
  setWindowTitle(Strings().Text(IDS_APP_TITLE));
  icons_[0] = MakeStateIcon(StateIcon::Idle);
  icons_[1] = MakeStateIcon(StateIcon::Playing);
  icons_[2] = MakeStateIcon(StateIcon::Paused);
  setWindowIcon(icons_[0]);
  BuildControls();
  // Shift with the right button opens the menu; the button alone reads.
  systemMenu_ = new app::CSystemMenu(this, Program(), [this] { ShowInfo(); }, app::RightButton::LeftToTheWindow);
  systemMenu_->SetOwnItems([this](QMenu& menu) { AddSystemMenuItems(menu); });
}

CServerDlg::~CServerDlg() { Destroy(); }

QWidget* CServerDlg::Control(int id) const { return controls_.Find(id); }

void CServerDlg::BuildControls() {
  auto check = [this](int id, const char* text, QWidget* parent) {
    return controls_.Add(id, new QCheckBox(QString::fromUtf8(text), parent));
  };

  read_ = controls_.Add(IDC_READ, new QPushButton(Strings().Text(IDS_READ), this));
  read_->setDefault(true);
  break_ = controls_.Add(IDC_BREAK, new QPushButton(Strings().Text(IDS_BREAK), this));
  break_->setEnabled(false);
  test_ = controls_.Add(IDC_TEST, new QPushButton(QStringLiteral("&Testuj"), this));
  info_ = controls_.Add(IDC_INFO, new QPushButton(QStringLiteral("&Info..."), this));
  help_ = controls_.Add(IDC_HELP, new QPushButton(QStringLiteral("Pomo&c..."), this));
  exit_ = controls_.Add(IDC_EXIT, new QPushButton(QStringLiteral("&Koniec"), this));
  for (QPushButton* b : {read_, break_, test_, info_, help_, exit_}) {
    b->setAutoDefault(false);
    b->setMinimumWidth(96);
  }
  read_->setAutoDefault(true);

  // Conversions.
  auto* conversions = new QGroupBox(Strings().Text(IDS_CONVERSIONS_GROUP), this);
  convertNumber_ = check(IDC_CONVERT_NUMBER, "Cz&ytaj pełne liczby", conversions);
  convertDate_ = check(IDC_CONVERT_DATE, "Z&amieniaj daty na postać słowną", conversions);
  convertCaps_ = check(IDC_CONVERT_CAPS, "&Literuj słowa złożone z wielkich liter", conversions);
  accentEveryWord_ = check(IDC_ACCENT_EVERY_WORD, "Akce&ntuj każde słowo", conversions);
  colloquial_ = check(IDC_COLLOQUIAL, "Stosuj &wymowę potoczną", conversions);
  app::StackIn(conversions, {convertNumber_, convertDate_, convertCaps_, accentEveryWord_, colloquial_});

  // The exception dictionary.
  auto* dictionary = new QGroupBox(Strings().Text(IDS_DICT_GROUP), this);
  useDict_ = check(IDC_USE_DICT, "&Skoryguj wypowiedź wg słownika:", dictionary);
  dictName_ = controls_.Add(IDC_DICT_NAME, new QLineEdit(dictionary));
  dictName_->setReadOnly(true);
  dictBrowse_ = controls_.Add(IDC_DICT_BROWSE, app::BrowseButton(QStringLiteral("Wybierz słownik"), dictionary));
  auto* dictRow = new QHBoxLayout;
  dictRow->addWidget(dictName_, 1);
  dictRow->addWidget(dictBrowse_);
  auto* dictLayout = new QVBoxLayout(dictionary);
  dictLayout->addWidget(useDict_);
  dictLayout->addLayout(dictRow);

  // Hot keys.
  auto* hotKeys = new QGroupBox(Strings().Text(IDS_HOTKEY_GROUP), this);
  BuildHotKeyGroup(hotKeys);

  // Speed.
  auto* speedGroup = new QGroupBox(Strings().Text(IDS_SPEED_GROUP), this);
  speed_ = controls_.Add(IDC_SPEED, new CSpeedSlider(speedGroup));
  speedLabel_ = controls_.Add(IDC_SPEED_LABEL, new QLabel(QStringLiteral("+30"), speedGroup));
  speedLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  speedLabel_->setMinimumWidth(speedLabel_->fontMetrics().horizontalAdvance(QStringLiteral("-50")) + 4);
  auto* plus = new QLabel(QStringLiteral(" +"), speedGroup);
  auto* minus = new QLabel(QStringLiteral(" _"), speedGroup);
  auto* percent = new QLabel(QStringLiteral("%"), speedGroup);
  auto* marks = new QVBoxLayout;
  marks->addWidget(plus);
  marks->addStretch();
  auto* value = new QHBoxLayout;
  value->setSpacing(1);
  value->addWidget(speedLabel_);
  value->addWidget(percent);
  marks->addLayout(value);
  marks->addStretch();
  marks->addWidget(minus);
  auto* speedLayout = new QHBoxLayout(speedGroup);
  speedLayout->addWidget(speed_);
  speedLayout->addLayout(marks);
  connect(speed_, &QSlider::valueChanged, this, [this] { speedLabel_->setText(SpeedText(speed_->position())); });

  // The buttons down the right side.
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {read_, break_, test_, info_}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton* b : {help_, exit_}) buttons->addWidget(b);

  auto* left = new QVBoxLayout;
  left->addWidget(conversions);
  left->addWidget(dictionary);
  // Starting at login is the user's choice, made here where the user first meets the suite.
  left->addWidget(new suite::CAutostartBox(this));
  auto* middle = new QVBoxLayout;
  middle->addWidget(hotKeys, 1);
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(10, 10, 10, 10);
  top->setSpacing(10);
  top->addLayout(left, 3);
  top->addLayout(middle, 2);
  top->addWidget(speedGroup);
  top->addLayout(buttons);

  connect(read_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_READ); });
  connect(break_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_BREAK); });
  connect(test_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_TEST); });
  connect(info_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_INFO); });
  connect(help_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_HELP); });
  connect(exit_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_EXIT); });
  connect(dictBrowse_, &QPushButton::clicked, this, [this] { commands().Dispatch(IDC_DICT_BROWSE); });

  // The read button waits for text on the clipboard; it learns of it from
  // the clipboard's change notices as well as from the timer.
  if (app_.clipboard) app_.clipboard->OnChanged([this] { UpdateReadButtonEnabling(); });
}

bool CServerDlg::Initialise(std::string& error) {
  bus_ = app::CBusWindow::Create(kServerTitle, this, error);
  if (!bus_) return false;
  dde_ = std::make_unique<CDdeServer>(*this, ddeReplies_, bus_->handle(), app_.service);
  RegisterCommands();
  RegisterMessages();

  // 1. Centred on the screen.
  adjustSize();
  setFixedSize(sizeHint());
  app::CentreOnScreen(this);

  // 2. The window's settings.
  LoadWindowSettings();

  // 3. The timer.
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(kTimerPeriodMs);
  connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
  timer_.start();

  // 4. The dictionary.
  LoadDictionaryAtStart();

  // 5. The voice; without it the window closes at once.
  if (!app_.db.LoadAllophoneFile({"pl_22.alf", paths::DataDirs()}, *this, app_.messages)) ExitCommand();

  // 6, 7. Icons, the tray icon and its menu; the system menu is built when
  // it opens.
  SetUpTray();

  // 8. Hot keys, drops, and the window shown as the process was started.
  InitHotKeys();
  setAcceptDrops(true);
  if (app_.startMinimised) {
    showMinimized();
  } else {
    show();
  }

  // 9. The logo may close now.
  if (app_.logo) app_.logo->StartupOver();

  // 10. The state display.
  job_.state.stopped = true;
  RefreshReadState();
  UpdateReadButtonEnabling();

  // 11. Clients waiting for the server learn that it is ready.
  if (auto started = named::NamedEvent::CreateOrOpen(kStartedEvent, named::InitialState::NotSignaled))
    started->Set();

  // 12. The command line's file is queued as another program's would be.
  if (!app_.commandLine.file.empty()) QueueFile(std::filesystem::absolute(app_.commandLine.file).string());
  return true;
}

void CServerDlg::RegisterCommands() {
  app::CCommandMap& map = commands();
  map.On({IDC_READ, ID_READ_CLIPBOARD}, [this] { ReadOrPauseFromClipboard(); });
  map.On(ID_READ_ACTIVEAPP, [this] { ReadOrPauseFromActiveApp(); });
  map.On({IDC_BREAK, ID_BREAK}, [this] { BreakCommand(); });
  map.On(IDC_TEST, [this] { TestSentence(); });
  map.On(IDC_INFO, [this] { ShowInfo(); });
  map.On(IDC_HELP, [this] { ShowHelp(); });
  map.On(IDC_EXIT, [this] { ExitCommand(); });
  map.On(IDC_DICT_BROWSE, [this] { ChooseDictionary(); });
  map.On(ID_EXIT_SERVER, [this] { OnExitServer(); });
  map.On(ID_READ_TEXT, [this] { OnReadText(); });
  map.On(ID_READ_NEXT_FILE, [this] { OnReadNextFile(); });
  map.On(ID_CLOSE_LOGO, [this] { app_.CloseLogo(); });
}

void CServerDlg::RegisterMessages() {
  for (const std::uint32_t message :
       {dde::WM_DDE_INITIATE, dde::WM_DDE_POKE, dde::WM_DDE_EXECUTE, dde::WM_DDE_TERMINATE}) {
    bus_->OnMessage(message, [this](desktop::Message& m) { return dde_->Handle(m); });
  }
  bus_->OnMessage(WM_SERVER_VERSION, [](desktop::Message& m) -> std::int64_t {
    return m.wParam == 0 ? kVersionHigh : m.wParam == 1 ? kVersionLow : 0;
  });
  bus_->OnMessage(WM_SERVER_OPENFILE, [this](desktop::Message& m) { return OnOpenFileMessage(m); });
  bus_->OnMessage(WM_SERVER_SHOW, [this](desktop::Message&) -> std::int64_t {
    // Brought up from the event loop: the sender is not kept waiting while
    // the window manager moves windows.
    QMetaObject::invokeMethod(this, [this] { OnShowMessage(); }, Qt::QueuedConnection);
    return 0;
  });
}

std::int64_t CServerDlg::OnOpenFileMessage(const desktop::Message& message) {
  // A path is never cut to a length the system takes: it could name another
  // file. One longer than the system takes is refused when it is read, with
  // its message; it is kept only as far as that stays so, which bounds what
  // a flood of paths can make the queue hold.
  std::string path = message.payload.substr(0, PATH_MAX + 1);
  if (path.empty()) return 0;
  QueueFile(std::move(path));
  return 0;
}

void CServerDlg::QueueFile(std::string path) {
  if (fileQueue_.size() >= kMaxQueuedFiles) return;
  fileQueue_.push_back(std::move(path));
}

void CServerDlg::OnShowMessage() { app::BringForward(this); }

void CServerDlg::LoadWindowSettings() {
  const app::CSettings& s = app_.settings;
  std::string defaultDict;
  {
    std::error_code error;
    const auto current = std::filesystem::current_path(error);
    defaultDict = ((error ? std::filesystem::path() : current) / "client.exp").string();
  }
  dictPath_ = s.ReadString("Dictionary", "ExpDict", defaultDict);
  useDict_->setChecked(s.ReadYesNo("Dictionary", "UseExpDict", true));
  convertNumber_->setChecked(s.ReadYesNo("Conversions", "ConvertNumber", true));
  convertDate_->setChecked(s.ReadYesNo("Conversions", "ConvertDate", true));
  convertCaps_->setChecked(s.ReadYesNo("Conversions", "ConvertCaps", true));
  accentEveryWord_->setChecked(!s.ReadYesNo("Conversions", "FluentSpeech", true));
  colloquial_->setChecked(s.ReadYesNo("Conversions", "ColloquialSpeech", true));
  convertCapsLimit_ = s.ReadInt("Conversions", "ConvertCapsLimit", 5);

  if (const auto chosen = ChooseWaveDevice(s.ReadInt("Sound", "WaveDevice", 0), app_.waveOut->DeviceCount()))
    app_.device = *chosen;
  job_.state.deviceTimeout = s.ReadClampedInt("Sound", "DeviceTimeout", 5, 0, 60);
  prosody_.intonation = s.ReadYesNo("Sound", "Intonation", true);
  prosody_.keepPitch = s.ReadYesNo("Sound", "KeepPitch", true);
  const int tunning = s.ReadInt("Sound", "Tunning", 0);
  SetSpeedSlider(tunning <= -50 ? 50 : -tunning);
  speedLabel_->setText(SpeedText(speed_->position()));
}

void CServerDlg::SaveWindowSettings() {
  const app::CSettings& s = app_.settings;
  // Failures while writing are ignored: the window is going anyway.
  s.WriteString("Dictionary", "ExpDict", dictPath_);
  s.WriteYesNo("Dictionary", "UseExpDict", useDict_->isChecked());
  s.WriteYesNo("Conversions", "ConvertNumber", convertNumber_->isChecked());
  s.WriteYesNo("Conversions", "ConvertDate", convertDate_->isChecked());
  s.WriteYesNo("Conversions", "ConvertCaps", convertCaps_->isChecked());
  s.WriteYesNo("Conversions", "FluentSpeech", !accentEveryWord_->isChecked());
  s.WriteYesNo("Conversions", "ColloquialSpeech", colloquial_->isChecked());
  s.WriteInt("Conversions", "ConvertCapsLimit", convertCapsLimit_);
  s.WriteInt("Sound", "WaveDevice", WaveDeviceSetting(app_.device));
  s.WriteInt("Sound", "DeviceTimeout", job_.state.deviceTimeout);
  s.WriteInt("Sound", "Tunning", -speed_->position());
  s.WriteYesNo("Sound", "Intonation", prosody_.intonation);
  s.WriteYesNo("Sound", "KeepPitch", prosody_.keepPitch);
}

void CServerDlg::SaveWindowSettingsOnce() {
  // Settings are written only by a window that has read them.
  if (settingsSaved_ || !bus_) return;
  settingsSaved_ = true;
  SaveWindowSettings();
  SaveHotKeys();
  // Freeing the voice writes the pause lengths the store lacks.
  if (app_.db.Loaded()) app_.db.Free(*this);
}

void CServerDlg::LoadDictionaryAtStart() {
  bool loaded = false;
  try {
    loaded = !dictPath_.empty() && app_.dictionary.Load(dictPath_);
  } catch (...) {
    loaded = false;
  }
  ShowDictionary(loaded);
}

void CServerDlg::LoadDictionaryFrom(const std::string& path) {
  dictPath_ = path;
  bool loaded = false;
  try {
    loaded = app_.dictionary.Load(path);
  } catch (...) {
    loaded = false;
  }
  ShowDictionary(loaded);
}

void CServerDlg::ShowDictionary(bool loaded) {
  if (loaded) {
    dictName_->setText(QString::fromStdString(app::DisplayName(std::filesystem::path(dictPath_).filename().string())));
  } else {
    dictPath_.clear();
    dictName_->clear();
  }
  useDict_->setEnabled(!dictName_->text().isEmpty());
}

void CServerDlg::ChooseDictionary() {
  QPointer<QWidget> focus = QApplication::focusWidget();
  app_.CloseLogo();
  QFileDialog dialog(this);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDefaultSuffix(QStringLiteral("exp"));
  dialog.setNameFilter(app::QtFileFilter(Strings().Text(IDS_DICT_FILTER)));
  if (!dictPath_.empty())
    dialog.setDirectory(QString::fromStdString(std::filesystem::path(dictPath_).parent_path().string()));
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    LoadDictionaryFrom(dialog.selectedFiles().front().toStdString());
  if (focus) focus->setFocus();
}

void CServerDlg::SetUpTray() {
  if (!app_.switches.taskBarIcon) return;
  tray_ = new app::CTrayIcon(this, Strings().Text(IDS_APP_TITLE), icons_[0]);
  QAction* read = tray_->AddItem(Strings().Text(IDS_READ), [this] { commands().Dispatch(ID_READ_CLIPBOARD); });
  tray_->AddItem(Strings().Text(IDS_BREAK), [this] { commands().Dispatch(ID_BREAK); });
  tray_->BeforeMenuOpens([this, read] {
    const bool playing = job_.Busy() && !job_.state.stopped;
    read->setText(Strings().Text(playing ? IDS_PAUSE : IDS_READ));
  });
}

QSystemTrayIcon* CServerDlg::tray() const { return tray_ != nullptr ? tray_->icon() : nullptr; }

QMenu* CServerDlg::trayMenu() const { return tray_ != nullptr ? tray_->menu() : nullptr; }

void CServerDlg::OnTrayClick(bool leftButton) {
  if (tray_ != nullptr) tray_->Click(leftButton);
}

std::unique_ptr<QMenu> CServerDlg::BuildSystemMenu() { return systemMenu_->Build(); }

void CServerDlg::AddSystemMenuItems(QMenu& menu) {
  const bool playing = job_.Busy() && !job_.state.stopped;
  QAction* read = menu.addAction(Strings().Text(playing ? IDS_PAUSE : IDS_READ));
  read->setEnabled(job_.Busy() || (app_.clipboard && app_.clipboard->HasText()));
  connect(read, &QAction::triggered, this, [this] { commands().Dispatch(ID_READ_CLIPBOARD); });
  QAction* stop = menu.addAction(Strings().Text(IDS_BREAK));
  stop->setEnabled(job_.Busy());
  connect(stop, &QAction::triggered, this, [this] { commands().Dispatch(ID_BREAK); });
}

StateIcon CServerDlg::CurrentIcon() const {
  if (!job_.state.stopped) return StateIcon::Playing;
  return job_.Busy() ? StateIcon::Paused : StateIcon::Idle;
}

void CServerDlg::RefreshReadState() {
  read_->setText(Strings().Text(job_.state.stopped ? IDS_READ : IDS_PAUSE));
  const QIcon& icon = icons_[static_cast<int>(CurrentIcon()) - static_cast<int>(StateIcon::Idle)];
  // The window's icon stands for the minimised window's painting.
  setWindowIcon(icon);
  if (tray_) tray_->SetIcon(icon);
}

void CServerDlg::UpdateReadButtonEnabling() {
  if (job_.Busy()) return;
  const bool hasText = app_.clipboard && app_.clipboard->HasText();
  if (!hasText && read_->hasFocus()) test_->setFocus();
  read_->setEnabled(hasText);
}

void CServerDlg::OnTimer() {
  if (!job_.Busy()) {
    UpdateReadButtonEnabling();
    if (!fileJob_ && !fileQueue_.empty()) PostCommand(ID_READ_NEXT_FILE);
  }
  job_.Tick();
}

void CServerDlg::EnterJob() {
  setAcceptDrops(false);
  read_->setEnabled(true);
  read_->setFocus();
  break_->setEnabled(true);
  for (QWidget* w : {static_cast<QWidget*>(test_), static_cast<QWidget*>(info_), static_cast<QWidget*>(hotKeyApply_),
                     static_cast<QWidget*>(dictBrowse_)}) {
    if (w) w->setEnabled(false);
  }
  app_.CloseLogo();
}

void CServerDlg::LeaveJob(bool aborted) {
  setAcceptDrops(true);
  for (QWidget* w : {static_cast<QWidget*>(test_), static_cast<QWidget*>(info_), static_cast<QWidget*>(hotKeyApply_),
                     static_cast<QWidget*>(dictBrowse_)}) {
    if (w) w->setEnabled(true);
  }
  if (aborted || break_->hasFocus()) read_->setFocus();
  break_->setEnabled(false);
  fileJob_ = false;
}

void CServerDlg::PumpPendingMessages() {
  // Waits for the next event; the 500 ms timer wakes it at the latest.
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int CServerDlg::SpeedSlider() const { return speed_->position(); }

void CServerDlg::SetSpeedSlider(int position) {
  speed_->setPosition(position);
  speedLabel_->setText(SpeedText(speed_->position()));
}

bool CServerDlg::QuitAfterReading() const { return app_.commandLine.exitAfterReading; }

void CServerDlg::PostExit() { PostCommand(ID_EXIT_SERVER); }

bool CServerDlg::FluentSpeech() const { return !accentEveryWord_->isChecked(); }
bool CServerDlg::ColloquialSpeech() const { return colloquial_->isChecked(); }
void CServerDlg::SetColloquialSpeech(bool on) { colloquial_->setChecked(on); }
bool CServerDlg::UseExpDict() const { return useDict_->isChecked() && useDict_->isEnabled(); }
bool CServerDlg::ConvertCaps() const { return convertCaps_->isChecked(); }
bool CServerDlg::ConvertNumber() const { return convertNumber_->isChecked(); }
bool CServerDlg::ConvertDate() const { return convertDate_->isChecked(); }
LocalePunctuation CServerDlg::Locale() const { return app_.locale; }
std::string CServerDlg::WorkDir() const { return app_.workDir; }

std::optional<int> CServerDlg::SoundSetting(std::string_view name) const {
  if (!app_.settings.Has("Sound", name)) return std::nullopt;
  return app_.settings.ReadInt("Sound", name, 0);
}

void CServerDlg::WriteSoundSetting(std::string_view name, int value) { app_.settings.WriteInt("Sound", name, value); }

void CServerDlg::StoreText(std::string_view text, TextOrigin origin) {
  app_.text.Store(text, kMaxPokeBytes, origin);
}

void CServerDlg::ReadOrPauseFromClipboard() {
  app_.CloseLogo();
  if (job_.Busy()) {
    job_.RequestPause();
    return;
  }
  if (!app_.clipboard) return;
  const auto text = app_.clipboard->TextCp1250(kMaxClipboardBytes);
  if (!text) return;
  if (app_.text.Store(*text, kMaxClipboardBytes) > 0) PostCommand(ID_READ_TEXT);
}

void CServerDlg::ReadOrPauseFromActiveApp() {
  if (job_.Busy()) {
    job_.RequestPause();
    return;
  }
  if (readFromActiveApp) readFromActiveApp();
}

void CServerDlg::BreakCommand() {
  if (job_.Busy()) job_.RequestBreak();
  fileQueue_.clear();
  fileJob_ = false;
}

void CServerDlg::ExitCommand() {
  job_.state.breakFlag = true;
  job_.state.stopped = false;
  PostCommand(ID_EXIT_SERVER);
}

void CServerDlg::OnExitServer() {
  fileQueue_.clear();
  fileJob_ = false;
  if (job_.Busy()) {
    // The job runs below this call: the window, the buffer and the device
    // stay until it has returned, and the dialog ends then.
    exitPending_ = true;
    job_.RequestBreak();
    return;
  }
  EndDialog();
}

void CServerDlg::EndDialog() {
  exitPending_ = true;
  done(1);
}

void CServerDlg::OnReadText() {
  if (job_.Busy()) return;
  // The job reads its own copy: no source may change the text under it.
  const std::string text(app_.text.Text());
  job_.ReadText(text, app_.text.origin());
  if (exitPending_) EndDialog();
}

void CServerDlg::TestSentence() {
  app_.CloseLogo();
  if (job_.Busy()) return;
  app_.text.Store(Strings().Cp1250(IDS_TEST_SENTENCE), kMaxFileBytes);
  PostCommand(ID_READ_TEXT);
}

void CServerDlg::ShowInfo() { app::ShowAboutBox(Program(), this); }

void CServerDlg::ShowHelp() {
  app_.CloseLogo();
  app::OpenHelpPage(Program(), app_.workDir, this, [this](const std::string& text) { ShowMessage(text); });
}

void CServerDlg::ShowMessage(const std::string& utf8Text) { app_.ShowMessage(utf8Text, MessageIcon::None); }

files::FileError CServerDlg::LoadFileIntoBuffer(const std::string& path, bool& queued) {
  queued = false;
  // A file may be UTF-8, as Linux editors write, or code page 1250: enough
  // of it is read for the buffer's worth of characters in either.
  const files::FileRead read = files::ReadRegularFile(path, kMaxFileBytes * cp1250::kMaxUtf8BytesPerCharacter);
  if (!read.ok()) return read.error;
  const std::string text =
      cp1250::IncomingText(read.bytes, read.truncated ? cp1250::TextEnd::Cut : cp1250::TextEnd::Whole);
  if (app_.text.Store(text, kMaxFileBytes) == 0) return files::FileError::None;
  PostCommand(ID_READ_TEXT);
  queued = true;
  return files::FileError::None;
}

bool CServerDlg::ReadFileIntoBuffer(const std::string& path) {
  bool queued = false;
  const files::FileError error = LoadFileIntoBuffer(path, queued);
  if (error != files::FileError::None) ShowMessage(app::FileErrorMessageFor(path, error));
  return queued;
}

void CServerDlg::OnReadNextFile() {
  if (job_.Busy() || fileJob_ || fileQueue_.empty()) return;
  // Files that cannot be read are passed over at once, up to the first that
  // can: however many of them come, the user is told in one box.
  while (!fileQueue_.empty()) {
    const std::string path = std::move(fileQueue_.front());
    fileQueue_.pop_front();
    bool queued = false;
    const files::FileError error = LoadFileIntoBuffer(path, queued);
    if (error == files::FileError::None) {
      fileJob_ = queued;
      break;
    }
    unreadable_.emplace_back(path, error);
  }
  TellUnreadableFiles();
}

void CServerDlg::TellUnreadableFiles() {
  // While the box is open, the files that fail meanwhile wait for it; they
  // are told in the next box, together.
  if (tellingUnreadable_) return;
  while (!unreadable_.empty()) {
    const auto files = std::exchange(unreadable_, {});
    std::string text;
    if (files.size() == 1) {
      text = app::FileErrorMessageFor(files.front().first, files.front().second);
    } else {
      // The first ten are named, each with its cause; the rest are counted.
      constexpr std::size_t kNamed = 10;
      text = Strings().Text(IDS_FILES_NOT_READ).arg(files.size()).toStdString();
      for (std::size_t i = 0; i < files.size() && i < kNamed; ++i)
        text += "\n" + app::FileErrorMessageFor(files[i].first, files[i].second);
      if (files.size() > kNamed)
        text += "\n" + Strings().Text(IDS_FILES_NOT_READ_MORE).arg(files.size() - kNamed).toStdString();
    }
    tellingUnreadable_ = true;
    ShowMessage(text);
    tellingUnreadable_ = false;
  }
}

void CServerDlg::reject() {
  // Esc: the break command; the window stays open.
  BreakCommand();
}

void CServerDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  ExitCommand();
  BreakCommand();
}

void CServerDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  const auto modifiers = event->modifiers();
  if (modifiers & Qt::ShiftModifier) {
    // Shift with the right button opens what was the system menu.
    systemMenu_->ShowAt(event->globalPosition().toPoint());
  } else if (!(modifiers & Qt::ControlModifier)) {
    commands().Dispatch(ID_READ_CLIPBOARD);
  }
  event->accept();
}

void CServerDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!job_.Busy() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CServerDlg::dropEvent(QDropEvent* event) {
  if (job_.Busy()) return;
  const auto urls = event->mimeData()->urls();
  if (urls.isEmpty()) return;
  event->acceptProposedAction();
  activateWindow();
  // Only the first file is read.
  const QUrl& first = urls.front();
  if (!first.isLocalFile()) return;
  const QByteArray path = QFile::encodeName(first.toLocalFile());
  ReadFileIntoBuffer(std::string(path.constData(), static_cast<std::size_t>(path.size())));
}

void CServerDlg::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  SaveWindowSettingsOnce();
  EndHotKeys();
  timer_.stop();
  delete tray_;
  tray_ = nullptr;
  dde_.reset();
  bus_.reset();
}

}  // namespace vokar::server
