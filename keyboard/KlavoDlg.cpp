#include "KlavoDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <vector>

#include "AboutBox.h"
#include "Clipboard.h"
#include "Controls.h"
#include "Cp1250.h"
#include "DisplayFit.h"
#include "HelpPage.h"
#include "HotKeyTable.h"
#include "KeyTrap.h"
#include "KlavoApp.h"
#include "KlavoIds.h"
#include "KlavoStrings.h"
#include "MessageBox.h"
#include "Widgets.h"

namespace vokar::keyboard {
namespace {

constexpr const char* kGlobal = "Global";
constexpr const char* kSound = "Sound";

struct SoundBox {
  Sound sound;
  int id;
  const char* text;
  const char* setting;
};
constexpr SoundBox kSoundBoxes[] = {
    {Sound::Separator, IDC_SOUND_SEPARATOR, "&Separator", "Separator"},
    {Sound::CR, IDC_SOUND_CR, "&Nowy akapit", "CR"},
    {Sound::ClearBuffer, IDC_SOUND_CLEAR, "K&asowanie bufora", "ClearBuffer"},
    {Sound::Desynchro, IDC_SOUND_DESYNCHRO, "&Desynchronizacja", "Desynchro"},
    {Sound::Echo, IDC_SOUND_ECHO, "Ec&ho/całe słowa", "Echo"},
    {Sound::OnOff, IDC_SOUND_ONOFF, "Włączenie/w&ył.", "OnOff"},
};

// The six hot-key actions in their order.
std::vector<hotkey::HotKeyAction> HotKeyActions() {
  return {
      {"StartStop", Strings().Text(IDS_HOTKEY_START_STOP), ID_START_STOP},
      {"SwitchEcho", Strings().Text(IDS_HOTKEY_SWITCH_ECHO), ID_SWITCH_ECHO},
      {"ClearBuffer", Strings().Text(IDS_HOTKEY_CLEAR_BUFFER), ID_CLEAR_BUFFER},
      {"LoadBuffer", Strings().Text(IDS_HOTKEY_LOAD_BUFFER), ID_LOAD_BUFFER},
      {"LastWord", Strings().Text(IDS_HOTKEY_LAST_WORD), ID_LAST_WORD},
      {"LastSentence", Strings().Text(IDS_HOTKEY_LAST_SENTENCE), ID_LAST_SENTENCE},
  };
}

}  // namespace

CKlavoDlg::CKlavoDlg(CKlavoApp& app)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      app_(app),
      settings_(app.settings),
      engine_(*this),
      client_(SpeechClientProgram{kKlavoTitle, static_cast<std::uint32_t>(ID_APP_END)}),
      hotKeySettings_(app.settings.profile(), "HotKeys") {
  setObjectName(app::DialogName(IDD_KLAVO));
  setWindowTitle(QString::fromUtf8(kKlavoTitle));
  for (const StateIcon which :
       {StateIcon::WholeWordsOn, StateIcon::WholeWordsOff, StateIcon::EchoOn, StateIcon::EchoOff}) {
    icons_[which] = MakeStateIcon(which);
  }
  setWindowIcon(icons_[StateIcon::WholeWordsOn]);
  BuildControls();
  new app::CSystemMenu(this, Program(), [this] { ShowAbout(); });
}

CKlavoDlg::~CKlavoDlg() { Destroy(); }

QWidget* CKlavoDlg::Control(int id) const { return controls_.Find(id); }

void CKlavoDlg::BuildControls() {
  auto name = [this](QWidget* widget, int id) { controls_.Add(id, widget); };
  auto button = [&](int id, const QString& text) {
    auto* b = controls_.Add(id, new QPushButton(text, this));
    b->setAutoDefault(false);
    b->setMinimumWidth(104);
    return b;
  };

  // The buttons down the right side; on/off is the default one.
  startStop_ = button(IDC_START_STOP, Strings().Text(IDS_SWITCH_OFF));
  startStop_->setDefault(true);
  auto* clear = button(IDC_CLEAR_BUFFER, QStringLiteral("C&zyść bufor"));
  auto* info = button(IDC_INFO, QStringLiteral("&Info..."));
  auto* help = button(IDC_HELP, QStringLiteral("Pomo&c..."));
  auto* exit = button(IDC_EXIT, QStringLiteral("&Koniec"));
  for (const auto& [id, widget] : controls_.all()) {
    if (auto* b = qobject_cast<QPushButton*>(widget)) {
      connect(b, &QPushButton::clicked, this, [this, id = id] {
        if (bus_) bus_->commands().Dispatch(id);
      });
    }
  }
  stateLabel_ = new QLabel(this);
  stateLabel_->setAlignment(Qt::AlignCenter);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(stateLabel_);
  buttons->addSpacing(4);
  for (QPushButton* b : {startStop_, clear, info}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton* b : {help, exit}) buttons->addWidget(b);

  // The mode.
  auto* mode = new QGroupBox(QStringLiteral(" Tryb pracy "), this);
  wholeWords_ = new QRadioButton(QStringLiteral("Czy&tanie całych słów"), mode);
  echo_ = new QRadioButton(QStringLiteral("&Echo klawiatury"), mode);
  name(wholeWords_, IDC_WHOLE_WORDS);
  name(echo_, IDC_ECHO);
  auto* modes = new QButtonGroup(this);
  modes->addButton(wholeWords_);
  modes->addButton(echo_);
  wholeWords_->setChecked(true);
  connect(wholeWords_, &QRadioButton::clicked, this, [this] { SelectMode(false); });
  connect(echo_, &QRadioButton::clicked, this, [this] { SelectMode(true); });
  auto* modeLayout = new QVBoxLayout(mode);
  modeLayout->addWidget(wholeWords_);
  modeLayout->addWidget(echo_);

  // The sounds.
  auto* editing = new QGroupBox(QStringLiteral(" Dźwięki edycyjne "), this);
  auto* special = new QGroupBox(QStringLiteral(" Dźwięki specjalne "), this);
  auto* editingLayout = new QVBoxLayout(editing);
  auto* specialLayout = new QVBoxLayout(special);
  for (const SoundBox& box : kSoundBoxes) {
    const bool isEditing = box.sound == Sound::Separator || box.sound == Sound::CR;
    auto* check = new QCheckBox(QString::fromUtf8(box.text), isEditing ? editing : special);
    name(check, box.id);
    check->setChecked(true);
    sounds_[box.sound] = check;
    (isEditing ? editingLayout : specialLayout)->addWidget(check);
  }
  editingLayout->addStretch();

  // The hot keys.
  auto* hotKeys = new QGroupBox(QStringLiteral(" Klawisze sk&rótu "), this);
  hotKeyListBox_ = new QListWidget(hotKeys);
  name(hotKeyListBox_, IDC_HOTKEY_LIST);
  // The list has no label of its own: the group's caption says what it holds.
  app::SetScreenReaderName(hotKeyListBox_, hotKeys->title());
  auto* comboLabel = new QLabel(QStringLiteral("Ko&mbinacja:"), hotKeys);
  hotKeyEdit_ = new hotkey::CHotKeyEdit(hotKeys);
  name(hotKeyEdit_, IDC_HOTKEY_EDIT);
  comboLabel->setBuddy(hotKeyEdit_);
  hotKeyApply_ = new QPushButton(QStringLiteral("W&prowadź zmianę"), hotKeys);
  hotKeyApply_->setAutoDefault(false);
  name(hotKeyApply_, IDC_HOTKEY_APPLY);
  auto* hotKeyLayout = new QGridLayout(hotKeys);
  hotKeyLayout->addWidget(hotKeyListBox_, 0, 0, 1, 2);
  hotKeyLayout->addWidget(comboLabel, 1, 0);
  hotKeyLayout->addWidget(hotKeyEdit_, 1, 1);
  hotKeyLayout->addWidget(hotKeyApply_, 2, 0, 1, 2, Qt::AlignRight);
  hotKeyLayout->setColumnStretch(1, 1);
  // The list, its key and the button stay together at the top of the group.
  hotKeyLayout->setRowStretch(3, 1);

  // The tail of the typing buffer.
  auto* bufferLabel = new QLabel(QStringLiteral("Bufor: "), this);
  display_ = new QLineEdit(this);
  display_->setReadOnly(true);
  display_->setFocusPolicy(Qt::ClickFocus);
  name(display_, IDC_BUFFER);
  bufferLabel->setBuddy(display_);

  auto* left = new QVBoxLayout;
  left->addWidget(mode);
  auto* soundRow = new QHBoxLayout;
  soundRow->addWidget(editing);
  soundRow->addWidget(special);
  left->addLayout(soundRow);
  left->addStretch();
  auto* top = new QHBoxLayout;
  top->setSpacing(10);
  top->addLayout(left, 3);
  top->addWidget(hotKeys, 2);
  top->addLayout(buttons);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(bufferLabel);
  bottom->addWidget(display_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addLayout(top, 1);
  layout->addLayout(bottom);
}

bool CKlavoDlg::Initialise(std::string& error) {
  bus_ = app::CBusWindow::Create(kKlavoTitle, this, error);
  if (!bus_) return false;
  RegisterCommands();
  RegisterMessages();
  adjustSize();
  app::CentreOnScreen(this);

  // The icons and the tray.
  SetUpTray();

  // The settings into the controls; the watcher learns the mode first.
  LoadSettings();
  KeyTrapSetMode(echo() ? 1 : 0);

  // The typing buffer; without it nothing else starts.
  const int delayTime = settings_.ReadInt(kGlobal, "DelayTime", 2);
  const int ctrlBackMode = settings_.ReadInt(kGlobal, "CtrlBckMode", 0);
  if (!engine_.Init(delayTime, ctrlBackMode, app_.separators)) {
    error = "the typing buffer cannot be made";
    return false;
  }

  // The speech client; the program cannot work without it. The client has
  // told the user why; nothing more is started.
  if (!client_.Connect(bus_->handle(), this)) {
    initialised_ = true;
    startFailed_ = true;
    return true;
  }

  // The hot keys.
  hotKeyList_ = std::make_unique<hotkey::CHotKeyList>(
      this, HotKeyActions(), kFirstHotKeySlot, hotKeySettings_,
      hotkey::HotKeyStrings{Strings().Utf8(IDS_NO_HOTKEY), Strings().Utf8(IDS_HOTKEY_BUSY)});
  hotKeyList_->Initialise(hotKeyListBox_, hotKeyEdit_, hotKeyApply_);
  hotKeyListBox_->setFixedHeight(hotKeyListBox_->sizeHintForRow(0) * hotKeyListBox_->count() +
                                 2 * hotKeyListBox_->frameWidth() + 4);

  // The watcher starts; switching twice restores the saved state, tells the
  // watcher and plays the state's sound.
  on_ = !on_;
  KeyTrapStart();
  watcherStarted_ = true;
  StartStop();

  // The engine's timer; the window shown.
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(kTimerPeriodMs);
  connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
  timer_.start();
  // Keys typed into this window are not spoken; Qt tells when another
  // program's window takes over.
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) { engine_.SetOwnApplicationActive(state == Qt::ApplicationActive); });
  show();
  engine_.SetOwnApplicationActive(QGuiApplication::applicationState() == Qt::ApplicationActive);
  RefreshDisplay();
  initialised_ = true;
  QTimer::singleShot(0, this, [this] { TellWhatTheWatcherHears(); });
  return true;
}

void CKlavoDlg::RegisterCommands() {
  app::CCommandMap& map = bus_->commands();
  map.On({IDC_START_STOP, ID_START_STOP}, [this] { StartStop(); });
  map.On(ID_SWITCH_ECHO, [this] { SwitchEcho(); });
  map.On({IDC_CLEAR_BUFFER, ID_CLEAR_BUFFER}, [this] { ClearBuffer(); });
  map.On(ID_LOAD_BUFFER, [this] { LoadBuffer(); });
  map.On(ID_LAST_WORD, [this] { LastWord(); });
  map.On(ID_LAST_SENTENCE, [this] { LastSentence(); });
  map.On({IDC_INFO, app::ID_ABOUT}, [this] { ShowAbout(); });
  map.On(IDC_HELP, [this] { ShowHelp(); });
  map.On(IDC_EXIT, [this] { PostQuit(); });
  map.On(ID_APP_END, [this] { done(1); });
}

void CKlavoDlg::RegisterMessages() {
  // Every message is handled from Qt's queue, never inside the bus's own
  // dispatch, since speaking runs the loop.
  bus_->OnMessage(keytrap::WM_KEY_EVENT, [this](desktop::Message& message) -> std::int64_t {
    const auto wParam = message.wParam;
    const auto lParam = message.lParam;
    QMetaObject::invokeMethod(this, [this, wParam, lParam] { engine_.OnKeyEvent(wParam, lParam); },
                              Qt::QueuedConnection);
    return 0;
  });
  bus_->OnMessage(WM_CLIENT_DISCONNECTED, [this](desktop::Message&) -> std::int64_t {
    QMetaObject::invokeMethod(this, [this] { OnServerDisconnected(); }, Qt::QueuedConnection);
    return 0;
  });
  bus_->OnMessage(WM_KLAVO_SHOW, [this](desktop::Message&) -> std::int64_t {
    QMetaObject::invokeMethod(this, [this] { BringForward(); }, Qt::QueuedConnection);
    return 1;
  });
  bus_->OnMessage(desktop::WM_CLOSE, [this](desktop::Message&) -> std::int64_t {
    PostQuit();
    return 0;
  });
}

void CKlavoDlg::LoadSettings() {
  const bool echoMode = settings_.ReadYesNo(kGlobal, "Echo", false);
  echo_->setChecked(echoMode);
  wholeWords_->setChecked(!echoMode);
  on_ = settings_.ReadYesNo(kGlobal, "OnOff", true);
  for (const SoundBox& box : kSoundBoxes) sounds_[box.sound]->setChecked(settings_.ReadYesNo(kSound, box.setting, true));
  // Negative becomes 0, anything above 0 becomes 1.
  delayedTalk_ = settings_.ReadInt(kGlobal, "DelayedTalk", 1) > 0 ? 1 : 0;
  UpdateIcon();
}

void CKlavoDlg::SaveSettings() {
  settings_.WriteInt(kGlobal, "DelayedTalk", delayedTalk_);
  settings_.WriteYesNo(kGlobal, "Echo", echo());
  settings_.WriteYesNo(kGlobal, "OnOff", on_);
  for (const SoundBox& box : kSoundBoxes) settings_.WriteYesNo(kSound, box.setting, sounds_[box.sound]->isChecked());
}

void CKlavoDlg::SetUpTray() {
  if (!app_.switches.taskBarIcon) return;
  tray_ = new app::CTrayIcon(this, QString::fromUtf8(kKlavoTitle), icons_[CurrentIcon()]);
  tray_->AddItem(Strings().Text(IDS_HOTKEY_START_STOP), [this] { bus_->commands().Dispatch(ID_START_STOP); });
}

QSystemTrayIcon* CKlavoDlg::tray() const { return tray_ != nullptr ? tray_->icon() : nullptr; }

QMenu* CKlavoDlg::trayMenu() const { return tray_ != nullptr ? tray_->menu() : nullptr; }

void CKlavoDlg::OnTrayClick(bool leftButton) {
  if (tray_ != nullptr) tray_->Click(leftButton);
}

void CKlavoDlg::BringForward() { app::BringForward(this); }

bool CKlavoDlg::echo() const { return echo_ != nullptr && echo_->isChecked(); }

void CKlavoDlg::UpdateIcon() {
  const QIcon& icon = icons_[CurrentIcon()];
  // The window's icon stands for the minimised window's painting.
  setWindowIcon(icon);
  if (stateLabel_ != nullptr) stateLabel_->setPixmap(DrawStateIcon(CurrentIcon(), 48));
  if (tray_ != nullptr) tray_->SetIcon(icon);
}

void CKlavoDlg::StartStop() {
  on_ = !on_;
  startStop_->setText(Strings().Text(on_ ? IDS_SWITCH_OFF : IDS_SWITCH_ON));
  if (SoundOn(Sound::OnOff)) engine_.SayTag(on_ ? kOnTag : kOffTag);
  if (on_) {
    KeyTrapOn();
  } else {
    KeyTrapOff();
  }
  UpdateIcon();
}

void CKlavoDlg::SwitchEcho() { SelectMode(!echo()); }

void CKlavoDlg::SelectMode(bool echoMode) {
  echo_->setChecked(echoMode);
  wholeWords_->setChecked(!echoMode);
  KeyTrapSetMode(echoMode ? 1 : 0);
  if (SoundOn(Sound::Echo)) engine_.SayTag(echoMode ? kEchoTag : kWholeWordsTag);
  UpdateIcon();
}

void CKlavoDlg::ClearBuffer() { engine_.ClearBuffer(); }

void CKlavoDlg::LoadBuffer() {
  if (!app_.clipboard) return;
  // Text of 4092 characters or more is not loaded, so a little more than
  // that tells enough.
  engine_.LoadBuffer(app_.clipboard->TextCp1250(2 * TypingBuffer::kLoadRefuse));
}

void CKlavoDlg::LastWord() { engine_.LastWord(); }

void CKlavoDlg::LastSentence() { engine_.LastSentence(); }

void CKlavoDlg::ShowAbout() { app::ShowAboutBox(Program(), this); }

void CKlavoDlg::ShowHelp() {
  app::OpenHelpPage(Program(), app_.workDir, this, [this](const std::string& text) { ShowMessage(text); });
}

void CKlavoDlg::PostQuit() {
  if (bus_) bus_->PostCommand(ID_APP_END);
}

void CKlavoDlg::OnServerDisconnected() {
  if (destroyed_ || !client_.IsInitialized()) return;
  if (desktop::FindWindow(client_.program().serverTitle)) {
    if (!client_.ReconnectConversation()) ShowMessage(Strings().Utf8(IDS_RECONNECT_FAILED));
  } else {
    // The server is gone: it is started again.
    client_.ConnectToServer();
  }
}

void CKlavoDlg::OnTimer() { engine_.OnTimer(); }

void CKlavoDlg::TellWhatTheWatcherHears() {
  switch (KeyTrapWatching()) {
    case KEYTRAP_X_SESSION:
      return;
    case KEYTRAP_X_PROGRAMS_ONLY:
      ShowMessage(Strings().Utf8(IDS_X_PROGRAMS_ONLY));
      return;
    default:
      ShowMessage(Strings().Utf8(IDS_NO_KEY_WATCHING));
      return;
  }
}

void CKlavoDlg::ShowMessage(const std::string& utf8Text) {
  msgbox::ShowMessageBox(kKlavoTitle, utf8Text, msgbox::Icon::Warning, msgbox::Buttons::Ok,
                          msgbox::DefaultButton::First, this);
}

int CKlavoDlg::Speak(const std::string& text, Interrupt interrupt) {
  return client_.Speak(text, interrupt == Interrupt::Yes ? BreakFirst::Yes : BreakFirst::No);
}

void CKlavoDlg::BreakSpeech() { client_.BreakSpeech(); }

bool CKlavoDlg::SoundOn(Sound sound) const {
  const auto it = sounds_.find(sound);
  return it != sounds_.end() && it->second->isChecked();
}

void CKlavoDlg::RefreshDisplay() {
  if (display_ == nullptr) return;
  QStyleOptionFrame option;
  option.initFrom(display_);
  option.rect = display_->rect();
  option.lineWidth = display_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, display_);
  const QRect textRect = display_->style()->subElementRect(QStyle::SE_LineEditContents, &option, display_);
  const QMargins margins = display_->textMargins();
  // The line edit keeps two pixels on either side of its text.
  const int width = textRect.width() - margins.left() - margins.right() - 4;
  const QFontMetrics metrics(display_->font());
  const std::string fitted = FitTail(engine_.buffer().Tail(), width, [&metrics](std::string_view text) {
    return metrics.horizontalAdvance(QString::fromStdString(cp1250::ToUtf8(text)));
  });
  display_->setText(QString::fromStdString(cp1250::ToUtf8(fitted)));
  display_->setCursorPosition(0);
}

bool CKlavoDlg::event(QEvent* event) {
  if (event->type() == hotkey::HotKeyEvent::type()) {
    const int command = static_cast<hotkey::HotKeyEvent*>(event)->command();
    if (bus_) bus_->commands().Dispatch(command);
    return true;
  }
  return QDialog::event(event);
}

void CKlavoDlg::reject() {
  // Esc does nothing: only the close box and "Koniec" end the program.
}

void CKlavoDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  PostQuit();
}

void CKlavoDlg::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  timer_.stop();
  if (initialised_) SaveSettings();
  delete tray_;
  tray_ = nullptr;
  client_.Disconnect();
  if (hotKeyList_) hotKeyList_->End();
  hotKeyList_.reset();
  if (watcherStarted_) KeyTrapStop();
  watcherStarted_ = false;
  // The typing buffer's own settings.
  if (initialised_ && engine_.buffer().ready()) {
    settings_.WriteInt(kGlobal, "DelayTime", engine_.buffer().delayTime);
    settings_.WriteInt(kGlobal, "CtrlBckMode", engine_.buffer().ctrlBackMode);
  }
  bus_.reset();
}

}  // namespace vokar::keyboard
