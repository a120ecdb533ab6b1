#include "ServerDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
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
#include <QScreen>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>
#include <filesystem>

#include "Cp1250.h"
#include "DataDirs.h"
#include "DeviceChoice.h"
#include "InfoDlg.h"
#include "NamedFile.h"
#include "NamedObjects.h"
#include "ServerApp.h"
#include "ServerIds.h"
#include "ServerStrings.h"
#include "SpeedSlider.h"

namespace vokar::server {
namespace {

// The file queue holds what other programs hand over; a program that floods
// the server with paths is not allowed to make it hold more than this.
constexpr std::size_t kMaxQueuedFiles = 1024;

QString HelpFileName() { return QStringLiteral("vokar.html"); }

// "Słownik (*.exp) |*.exp| Wszystkie pliki (*.*) |*.*||" as Qt writes a filter.
QString QtFilter(const QString& platformFilter) {
  const QStringList parts = platformFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QString pattern = parts[i + 1].trimmed();
    if (description.isEmpty() || pattern.isEmpty()) continue;
    const int paren = description.indexOf(QLatin1Char('('));
    if (paren > 0) description = description.left(paren).trimmed();
    // Linux names need no dot: "*.*" is every file.
    if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    filters << description + QStringLiteral(" (") + pattern + QStringLiteral(")");
  }
  return filters.join(QStringLiteral(";;"));
}

}  // namespace

CServerDlg::CServerDlg(CServerApp& app)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      app_(app),
      job_({*this, app.db, &app.dictionary, app.messages, *this, *app.playback, app.device}) {
  setObjectName(QStringLiteral("dialog%1").arg(IDD_SERVER));
  setWindowTitle(Strings().Text(IDS_APP_TITLE));
  icons_[0] = MakeStateIcon(StateIcon::Idle);
  icons_[1] = MakeStateIcon(StateIcon::Playing);
  icons_[2] = MakeStateIcon(StateIcon::Paused);
  setWindowIcon(icons_[0]);
  BuildControls();
}

CServerDlg::~CServerDlg() { Destroy(); }

QWidget* CServerDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CServerDlg::BuildControls() {
  auto button = [this](int id, int text) {
    auto* b = new QPushButton(Strings().Text(text), this);
    controls_[id] = b;
    b->setObjectName(QStringLiteral("control%1").arg(id));
    return b;
  };
  auto check = [this](int id, const char* text, QWidget* parent) {
    auto* c = new QCheckBox(QString::fromUtf8(text), parent);
    controls_[id] = c;
    c->setObjectName(QStringLiteral("control%1").arg(id));
    return c;
  };

  read_ = button(IDC_READ, IDS_READ);
  read_->setDefault(true);
  break_ = button(IDC_BREAK, IDS_BREAK);
  break_->setEnabled(false);
  test_ = new QPushButton(QStringLiteral("&Testuj"), this);
  info_ = new QPushButton(QStringLiteral("&Info..."), this);
  help_ = new QPushButton(QStringLiteral("Pomo&c..."), this);
  exit_ = new QPushButton(QStringLiteral("&Koniec"), this);
  for (auto [id, b] : {std::pair{IDC_TEST, test_}, {IDC_INFO, info_}, {IDC_HELP, help_}, {IDC_EXIT, exit_}}) {
    controls_[id] = b;
    b->setObjectName(QStringLiteral("control%1").arg(id));
  }
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
  auto* conversionsLayout = new QVBoxLayout(conversions);
  for (QCheckBox* c : {convertNumber_, convertDate_, convertCaps_, accentEveryWord_, colloquial_})
    conversionsLayout->addWidget(c);

  // The exception dictionary.
  auto* dictionary = new QGroupBox(Strings().Text(IDS_DICT_GROUP), this);
  useDict_ = check(IDC_USE_DICT, "&Skoryguj wypowiedź wg słownika:", dictionary);
  dictName_ = new QLineEdit(dictionary);
  dictName_->setReadOnly(true);
  controls_[IDC_DICT_NAME] = dictName_;
  dictName_->setObjectName(QStringLiteral("control%1").arg(IDC_DICT_NAME));
  dictBrowse_ = new QPushButton(QStringLiteral("..."), dictionary);
  dictBrowse_->setAutoDefault(false);
  dictBrowse_->setFixedWidth(32);
  controls_[IDC_DICT_BROWSE] = dictBrowse_;
  dictBrowse_->setObjectName(QStringLiteral("control%1").arg(IDC_DICT_BROWSE));
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
  auto* slider = new CSpeedSlider(speedGroup);
  speed_ = slider;
  controls_[IDC_SPEED] = speed_;
  speed_->setObjectName(QStringLiteral("control%1").arg(IDC_SPEED));
  speedLabel_ = new QLabel(QStringLiteral("+30"), speedGroup);
  controls_[IDC_SPEED_LABEL] = speedLabel_;
  speedLabel_->setObjectName(QStringLiteral("control%1").arg(IDC_SPEED_LABEL));
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
  connect(speed_, &QSlider::valueChanged, this, [this](int position) { speedLabel_->setText(SpeedText(position)); });

  // The buttons down the right side.
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {read_, break_, test_, info_}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton* b : {help_, exit_}) buttons->addWidget(b);

  auto* left = new QVBoxLayout;
  left->addWidget(conversions);
  left->addWidget(dictionary);
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
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

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
  map.On(IDC_READ, [this] { ReadOrPauseFromClipboard(); });
  map.On(ID_READ_CLIPBOARD, [this] { ReadOrPauseFromClipboard(); });
  map.On(ID_READ_ACTIVEAPP, [this] { ReadOrPauseFromActiveApp(); });
  map.On(IDC_BREAK, [this] { BreakCommand(); });
  map.On(ID_BREAK, [this] { BreakCommand(); });
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

void CServerDlg::OnShowMessage() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

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
  speedLabel_->setText(SpeedText(speed_->value()));
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
  s.WriteInt("Sound", "Tunning", -speed_->value());
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
  if (loaded) {
    dictName_->setText(QString::fromStdString(app::DisplayName(std::filesystem::path(dictPath_).filename().string())));
  } else {
    dictPath_.clear();
    dictName_->clear();
  }
  useDict_->setEnabled(!dictName_->text().isEmpty());
}

void CServerDlg::LoadDictionaryFrom(const std::string& path) {
  dictPath_ = path;
  bool loaded = false;
  try {
    loaded = app_.dictionary.Load(path);
  } catch (...) {
    loaded = false;
  }
  if (loaded) {
    dictName_->setText(QString::fromStdString(app::DisplayName(std::filesystem::path(path).filename().string())));
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
  dialog.setNameFilter(QtFilter(Strings().Text(IDS_DICT_FILTER)));
  if (!dictPath_.empty())
    dialog.setDirectory(QString::fromStdString(std::filesystem::path(dictPath_).parent_path().string()));
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    LoadDictionaryFrom(dialog.selectedFiles().front().toStdString());
  if (focus) focus->setFocus();
}

void CServerDlg::SetUpTray() {
  if (!app_.taskBarIcon) return;
  trayMenu_ = std::make_unique<QMenu>();
  QAction* read = trayMenu_->addAction(Strings().Text(IDS_READ));
  connect(read, &QAction::triggered, this, [this] { commands().Dispatch(ID_READ_CLIPBOARD); });
  QAction* stop = trayMenu_->addAction(Strings().Text(IDS_BREAK));
  connect(stop, &QAction::triggered, this, [this] { commands().Dispatch(ID_BREAK); });
  tray_ = new QSystemTrayIcon(icons_[0], this);
  tray_->setToolTip(Strings().Text(IDS_APP_TITLE).left(63));
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    // Every press of the left button opens the menu: Qt may report a press
    // as the second half of a double click even a second after the first,
    // when a popup took the first one's release.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) OnTrayClick(true);
    if (reason == QSystemTrayIcon::Context) OnTrayClick(false);
  });
  tray_->show();
}

void CServerDlg::OnTrayClick(bool leftButton) {
  if (leftButton) {
    if (!trayMenu_) return;
    const bool playing = job_.Busy() && !job_.state.stopped;
    trayMenu_->actions().front()->setText(Strings().Text(playing ? IDS_PAUSE : IDS_READ));
    // The menu opens at the pointer, aligned to its right.
    const QPoint at = QCursor::pos() - QPoint(trayMenu_->sizeHint().width(), 0);
    trayMenu_->popup(at);
  } else {
    OnShowMessage();
  }
}

std::unique_ptr<QMenu> CServerDlg::BuildSystemMenu() {
  auto menu = std::make_unique<QMenu>();
  const bool playing = job_.Busy() && !job_.state.stopped;
  QAction* read = menu->addAction(Strings().Text(playing ? IDS_PAUSE : IDS_READ));
  read->setData(ID_READ_CLIPBOARD);
  read->setEnabled(job_.Busy() || (app_.clipboard && app_.clipboard->HasText()));
  QAction* stop = menu->addAction(Strings().Text(IDS_BREAK));
  stop->setData(ID_BREAK);
  stop->setEnabled(job_.Busy());
  const QString about = Strings().Text(IDS_ABOUT_MENU);
  if (!about.isEmpty()) {
    menu->addSeparator();
    menu->addAction(about)->setData(ID_ABOUT);
  }
  menu->addSeparator();
  QAction* minimise = menu->addAction(Strings().Text(IDS_MINIMIZE));
  connect(minimise, &QAction::triggered, this, [this] { showMinimized(); });
  QAction* close = menu->addAction(Strings().Text(IDS_CLOSE));
  close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(close, &QAction::triggered, this, [this] { this->close(); });
  connect(menu.get(), &QMenu::triggered, this, [this](QAction* action) {
    if (action->data().isValid()) OnSystemCommand(action->data().toInt());
  });
  return menu;
}

void CServerDlg::OnSystemCommand(int id) {
  if (id == ID_ABOUT) {
    ShowInfo();
  } else if (id == ID_READ_CLIPBOARD || id == ID_BREAK) {
    commands().Dispatch(id);
  }
}

void CServerDlg::ShowSystemMenuAt(const QPoint& globalPos) {
  openMenu_ = BuildSystemMenu();
  openMenu_->popup(globalPos);
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
  if (tray_) tray_->setIcon(icon);
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

int CServerDlg::SpeedSlider() const { return speed_->value(); }

void CServerDlg::SetSpeedSlider(int position) {
  speed_->setValue(std::clamp(position, -50, 50));
  speedLabel_->setText(SpeedText(speed_->value()));
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

void CServerDlg::ShowInfo() {
  QPointer<QWidget> focus = QApplication::focusWidget();
  CInfoDlg info(this);
  info.exec();
  if (focus) focus->setFocus();
}

void CServerDlg::ShowHelp() {
  app_.CloseLogo();
  std::vector<std::filesystem::path> candidates{std::filesystem::path(app_.workDir) / HelpFileName().toStdString()};
  for (const auto& folder : paths::DataDirs()) candidates.push_back(folder / "help" / HelpFileName().toStdString());
  std::error_code error;
  for (const auto& candidate : candidates) {
    if (std::filesystem::is_regular_file(candidate, error)) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(candidate.string())));
      return;
    }
  }
  std::string text = Strings().Utf8(IDS_HELP_NOT_FOUND);
  for (const auto& candidate : candidates) text += "\n" + app::DisplayName(candidate.string());
  ShowMessage(text);
}

void CServerDlg::ShowMessage(const std::string& utf8Text) { app_.ShowMessage(utf8Text, MessageIcon::None); }

bool CServerDlg::ReadFileIntoBuffer(const std::string& path) {
  const files::FileRead read = files::ReadRegularFile(path, kMaxFileBytes);
  if (!read.ok()) {
    ShowMessage(app::FileErrorMessageFor(path, read.error));
    return false;
  }
  if (app_.text.Store(read.bytes, kMaxFileBytes) == 0) return false;
  PostCommand(ID_READ_TEXT);
  return true;
}

void CServerDlg::OnReadNextFile() {
  if (job_.Busy() || fileJob_ || fileQueue_.empty()) return;
  const std::string path = std::move(fileQueue_.front());
  fileQueue_.pop_front();
  if (ReadFileIntoBuffer(path)) fileJob_ = true;
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
    ShowSystemMenuAt(event->globalPosition().toPoint());
  } else if (!(modifiers & Qt::ControlModifier)) {
    commands().Dispatch(ID_READ_CLIPBOARD);
  }
  event->accept();
}

void CServerDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The mouse's right button is handled when pressed; the keyboard's menu
  // key opens the system menu.
  if (event->reason() == QContextMenuEvent::Keyboard) ShowSystemMenuAt(event->globalPos());
  event->accept();
}

void CServerDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier)) {
    ShowSystemMenuAt(mapToGlobal(QPoint(width() / 4, height() / 4)));
    return;
  }
  QDialog::keyPressEvent(event);
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
  if (tray_) {
    tray_->hide();
    delete tray_;
    tray_ = nullptr;
  }
  trayMenu_.reset();
  openMenu_.reset();
  dde_.reset();
  bus_.reset();
}

}  // namespace vokar::server
