#include "SievoDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

#include "AboutBox.h"
#include "BrowseDlg.h"
#include "Clipboard.h"
#include "Controls.h"
#include "Cp1250.h"
#include "HelpPage.h"
#include "MessageBox.h"
#include "SievoIds.h"
#include "SievoStrings.h"
#include "SystemMenu.h"

namespace vokar::netsend {

// Enter starts a new line (the dialog's default button is not pressed from
// here) and no more than kMaxMessage characters are kept: typed or pasted
// text beyond them is cut.
class CMessageEdit final : public QPlainTextEdit {
 public:
  explicit CMessageEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { Limit(); });
  }

 private:
  void Limit() {
    const QString text = toPlainText();
    if (text.size() <= kMaxMessage) return;
    QTextCursor cursor(document());
    cursor.setPosition(kMaxMessage);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    moveCursor(QTextCursor::End);
  }
};

namespace {

constexpr const char* kSection = "Global";
void ShowMessage(QWidget* owner, int id, msgbox::Icon icon = msgbox::Icon::Warning) {
  msgbox::ShowMessageBox(kTitle, Strings().Utf8(id), icon, msgbox::Buttons::Ok, msgbox::DefaultButton::First, owner);
}

}  // namespace

CSievoDlg::CSievoDlg(app::CSettings& settings, std::string workDir, NetSpeechOptions clientOptions, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      settings_(settings),
      workDir_(std::move(workDir)),
      client_(std::move(clientOptions)),
      browse_(ServerBrowseDialog) {
  setObjectName(app::DialogName(IDD_SIEVO_DIALOG));
  setWindowTitle(QString::fromUtf8(kTitle));
  setWindowIcon(Program().icon);
  BuildControls();
  new app::CSystemMenu(this, Program(), [this] { commands().Dispatch(IDM_ABOUTBOX); });
}

CSievoDlg::~CSievoDlg() { Destroy(); }

void CSievoDlg::BuildControls() {
  const auto button = [this](int id, const char* text) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(app::ControlName(id));
    b->setAutoDefault(false);
    return b;
  };

  auto* computerGroup = new QGroupBox(QString::fromUtf8(" Ko&mputer w sieci  "), this);
  computer_ = new QLineEdit(computerGroup);
  computer_->setObjectName(app::ControlName(IDC_COMPUTER));
  computer_->setMaxLength(kMaxComputerName);
  browseButton_ = button(IDC_BROWSE, "P&rzeglądaj...");
  auto* computerRow = new QHBoxLayout(computerGroup);
  computerRow->addWidget(computer_, 1);
  computerRow->addWidget(browseButton_);
  // The group's mnemonic leads to its field.
  computerGroup->setFocusProxy(computer_);

  auto* sourceGroup = new QGroupBox(QString::fromUtf8(" Źródło tekstu "), this);
  fromClipboard_ = new QRadioButton(QString::fromUtf8("Tekst ze &schowka"), sourceGroup);
  fromClipboard_->setObjectName(app::ControlName(IDC_FROM_CLIPBOARD));
  fromMessage_ = new QRadioButton(QString::fromUtf8("Po&niższy komunikat"), sourceGroup);
  fromMessage_->setObjectName(app::ControlName(IDC_FROM_MESSAGE));
  auto* sourceRow = new QHBoxLayout(sourceGroup);
  sourceRow->addWidget(fromClipboard_);
  sourceRow->addWidget(fromMessage_);
  sourceRow->addStretch();

  auto* messageLabel = new QLabel(QString::fromUtf8("Kom&unikat:"), this);
  message_ = new CMessageEdit(this);
  message_->setObjectName(app::ControlName(IDC_MESSAGE));
  messageLabel->setBuddy(message_);

  send_ = button(IDC_SEND, "&Wyślij");
  send_->setDefault(true);
  break_ = button(IDC_BREAK, "&Przerwij");
  info_ = button(IDC_INFO, "&Info...");
  help_ = button(IDC_HELP, "Pomo&c...");
  exit_ = button(IDC_EXIT, "&Koniec");

  auto* left = new QVBoxLayout;
  left->addWidget(computerGroup);
  left->addWidget(sourceGroup);
  left->addWidget(messageLabel);
  left->addWidget(message_, 1);
  auto* right = new QVBoxLayout;
  right->addSpacing(8);
  for (QPushButton* b : {send_, break_}) right->addWidget(b);
  right->addSpacing(12);
  for (QPushButton* b : {info_, help_}) right->addWidget(b);
  right->addStretch();
  right->addWidget(exit_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 10, 12, 12);
  layout->setSpacing(12);
  layout->addLayout(left, 1);
  layout->addLayout(right);
  // 300 x 194 dialog units.
  resize(QSize(480, 330).expandedTo(sizeHint()));

  setTabOrder(computer_, browseButton_);
  setTabOrder(browseButton_, fromClipboard_);
  setTabOrder(fromClipboard_, fromMessage_);
  setTabOrder(fromMessage_, message_);
  setTabOrder(message_, send_);
  setTabOrder(send_, break_);
  setTabOrder(break_, info_);
  setTabOrder(info_, help_);
  setTabOrder(help_, exit_);
}

bool CSievoDlg::Initialise(std::string& error) {
  bus_ = app::CBusWindow::Create(kTitle, this, error);
  if (!bus_) return false;
  clipboard_ = std::make_unique<clipboard::CClipboard>(this);

  app::CCommandMap& map = bus_->commands();
  map.On(IDC_SEND, [this] { OnSend(); });
  map.On(IDC_BREAK, [this] { OnBreak(); });
  map.On(IDC_BROWSE, [this] { OnBrowse(); });
  map.On({IDC_INFO, IDM_ABOUTBOX}, [this] { ShowInfo(); });
  map.On(IDC_HELP, [this] { ShowHelp(); });
  map.On(IDC_EXIT, [this] { done(IDC_EXIT); });
  for (auto [id, b] : std::array<std::pair<int, QPushButton*>, 6>{
           {{IDC_SEND, send_}, {IDC_BREAK, break_}, {IDC_BROWSE, browseButton_}, {IDC_INFO, info_},
            {IDC_HELP, help_}, {IDC_EXIT, exit_}}}) {
    connect(b, &QPushButton::clicked, this, [this, id = id] { commands().Dispatch(id); });
  }

  const bool clipboard = settings_.ReadYesNo(kSection, "FromClipboard", true);
  (clipboard ? fromClipboard_ : fromMessage_)->setChecked(true);
  computer_->setText(QString::fromStdString(settings_.ReadString(kSection, "ComputerName", "")));

  if (!client_.Connect(bus_->handle(), this)) {
    error = "DDE";
    return false;
  }
  return true;
}

void CSievoDlg::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (computer_ != nullptr && bus_) {
    settings_.WriteYesNo(kSection, "FromClipboard", fromClipboard_->isChecked());
    settings_.WriteString(kSection, "ComputerName", computer_->text().toStdString());
  }
  client_.Disconnect();
}

std::string CSievoDlg::ComputerName() const { return computer_->text().left(kMaxComputerName).toStdString(); }

std::string CSievoDlg::TextToSend() const {
  if (fromMessage_->isChecked()) {
    std::string text = cp1250::FromUtf8(message_->toPlainText().toStdString());
    if (text.size() > static_cast<std::size_t>(kMaxMessage)) text.resize(kMaxMessage);
    // The text ends at a NUL, as it will on the server.
    return text.substr(0, text.find('\0'));
  }
  if (!clipboard_ || !clipboard_->HasText()) return {};
  // At most 1023 bytes, so that the text and its NUL fit the 1024 of old.
  std::string text = clipboard_->TextCp1250(kMaxMessage).value_or(std::string());
  return text.substr(0, text.find('\0'));
}

std::optional<std::string> CSievoDlg::TargetComputer() {
  if (running_) return std::nullopt;
  std::string computer = ComputerName();
  if (computer.empty()) {
    ShowMessage(this, IDS_NO_COMPUTER);
    return std::nullopt;
  }
  return computer;
}

void CSievoDlg::OnSend() {
  const auto computer = TargetComputer();
  if (!computer) return;
  const std::string text = TextToSend();
  if (text.empty()) return;
  running_ = true;
  if (client_.ConnectTo(*computer)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = client_.Speak(text.c_str(), BreakFirst::Yes);
    QApplication::restoreOverrideCursor();
    if (result == kSpeakSent) ShowMessage(this, IDS_SENT, msgbox::Icon::Information);
    client_.CloseConversation();
  }
  running_ = false;
}

void CSievoDlg::OnBreak() {
  const auto computer = TargetComputer();
  if (!computer) return;
  running_ = true;
  if (client_.ConnectTo(*computer)) {
    client_.BreakSpeech();
    client_.CloseConversation();
  }
  running_ = false;
}

void CSievoDlg::OnBrowse() {
  if (running_) return;
  char buffer[kBrowseBufferSize] = {};
  running_ = true;
  const int result = browse_(this, buffer, kBrowseBufferSize);
  running_ = false;
  if (result == kBrowseChosen) {
    computer_->setText(QString::fromUtf8(buffer));
  } else if (result != kBrowseCancelled) {
    ShowMessage(this, IDS_BROWSE_FAILED);
  }
}

void CSievoDlg::ShowInfo() { app::ShowAboutBox(Program(), this); }

void CSievoDlg::ShowHelp() { app::OpenHelpPage(Program(), workDir_, this); }

void CSievoDlg::reject() {
  // Esc ends the dialog, as dialogs do; not while a conversation waits.
  if (running_) return;
  QDialog::reject();
}

void CSievoDlg::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace vokar::netsend
