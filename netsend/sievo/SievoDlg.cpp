#include "SievoDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include <array>
#include <filesystem>

#include "BrowseDlg.h"
#include "Clipboard.h"
#include "Cp1250.h"
#include "DataDirs.h"
#include "MessageBox.h"
#include "NamedFile.h"
#include "SievoIds.h"
#include "SievoStrings.h"

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
constexpr const char* kHelpFile = "sievo.html";

// The program's icon (128): two computers joined through the network.
QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x17, 0x80, 0x8a));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(6, 12, 15, 11), 1.5, 1.5);
    p.drawRoundedRect(QRectF(27, 25, 15, 11), 1.5, 1.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2.5));
    QPainterPath link;
    link.moveTo(13.5, 23);
    link.lineTo(13.5, 31);
    link.lineTo(26.5, 31);
    link.moveTo(34.5, 25);
    link.lineTo(34.5, 17);
    link.lineTo(21.5, 17);
    p.drawPath(link);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 24), 3, 3);
    icon.addPixmap(pixmap);
  }
  return icon;
}

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
  setObjectName(QStringLiteral("dialog%1").arg(IDD_SIEVO_DIALOG));
  setWindowTitle(QString::fromUtf8(kTitle));
  setWindowIcon(ProgramIcon());
  BuildControls();
}

CSievoDlg::~CSievoDlg() { Destroy(); }

void CSievoDlg::BuildControls() {
  const auto button = [this](int id, const char* text) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(QStringLiteral("control%1").arg(id));
    b->setAutoDefault(false);
    return b;
  };

  auto* computerGroup = new QGroupBox(QString::fromUtf8(" Ko&mputer w sieci  "), this);
  computer_ = new QLineEdit(computerGroup);
  computer_->setObjectName(QStringLiteral("control%1").arg(IDC_COMPUTER));
  computer_->setMaxLength(kMaxComputerName);
  browseButton_ = button(IDC_BROWSE, "P&rzeglądaj...");
  auto* computerRow = new QHBoxLayout(computerGroup);
  computerRow->addWidget(computer_, 1);
  computerRow->addWidget(browseButton_);
  // The group's mnemonic leads to its field.
  computerGroup->setFocusProxy(computer_);

  auto* sourceGroup = new QGroupBox(QString::fromUtf8(" Źródło tekstu "), this);
  fromClipboard_ = new QRadioButton(QString::fromUtf8("Tekst ze &schowka"), sourceGroup);
  fromClipboard_->setObjectName(QStringLiteral("control%1").arg(IDC_FROM_CLIPBOARD));
  fromMessage_ = new QRadioButton(QString::fromUtf8("Po&niższy komunikat"), sourceGroup);
  fromMessage_->setObjectName(QStringLiteral("control%1").arg(IDC_FROM_MESSAGE));
  auto* sourceRow = new QHBoxLayout(sourceGroup);
  sourceRow->addWidget(fromClipboard_);
  sourceRow->addWidget(fromMessage_);
  sourceRow->addStretch();

  auto* messageLabel = new QLabel(QString::fromUtf8("Kom&unikat:"), this);
  message_ = new CMessageEdit(this);
  message_->setObjectName(QStringLiteral("control%1").arg(IDC_MESSAGE));
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
  map.On(IDC_INFO, [this] { ShowInfo(); });
  map.On(IDM_ABOUTBOX, [this] { ShowInfo(); });
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

void CSievoDlg::OnSend() {
  if (running_) return;
  const std::string computer = ComputerName();
  if (computer.empty()) {
    ShowMessage(this, IDS_NO_COMPUTER);
    return;
  }
  const std::string text = TextToSend();
  if (text.empty()) return;
  running_ = true;
  if (client_.ConnectTo(computer)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = client_.Speak(text.c_str(), BreakFirst::Yes);
    QApplication::restoreOverrideCursor();
    if (result == kSpeakSent) ShowMessage(this, IDS_SENT, msgbox::Icon::Information);
    client_.CloseConversation();
  }
  running_ = false;
}

void CSievoDlg::OnBreak() {
  if (running_) return;
  const std::string computer = ComputerName();
  if (computer.empty()) {
    ShowMessage(this, IDS_NO_COMPUTER);
    return;
  }
  running_ = true;
  if (client_.ConnectTo(computer)) {
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

void CSievoDlg::ShowInfo() {
  QPointer<QWidget> focus = QApplication::focusWidget();
  CSievoInfoDlg info(this);
  info.exec();
  if (focus) focus->setFocus();
}

void CSievoDlg::ShowHelp() {
  std::vector<std::filesystem::path> candidates{std::filesystem::path(workDir_) / kHelpFile};
  for (const auto& folder : paths::DataDirs()) candidates.push_back(folder / "help" / kHelpFile);
  std::error_code error;
  for (const auto& candidate : candidates) {
    if (std::filesystem::is_regular_file(candidate, error)) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(candidate.string())));
      return;
    }
  }
  std::string text = "Nie znaleziono pliku pomocy:";
  for (const auto& candidate : candidates) text += "\n" + app::DisplayName(candidate.string());
  msgbox::ShowMessageBox(kTitle, text, msgbox::Icon::Warning, msgbox::Buttons::Ok, msgbox::DefaultButton::First,
                         this);
}

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

void CSievoDlg::ShowSystemMenuAt(const QPoint& where) {
  QMenu menu(this);
  menu.addSeparator();
  QAction* about = menu.addAction(Strings().Text(IDS_ABOUTBOX));
  menu.addSeparator();
  QAction* close = menu.addAction(QStringLiteral("&Zamknij"));
  QAction* chosen = menu.exec(where);
  if (chosen == about) commands().Dispatch(IDM_ABOUTBOX);
  if (chosen == close) commands().Dispatch(IDC_EXIT);
}

void CSievoDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The window manager owns the frame's menu on Linux: the right button on
  // the window's background, the menu key or Shift+F10 open the items the
  // system menu held.
  ShowSystemMenuAt(event->globalPos());
  event->accept();
}

void CSievoDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier)) {
    ShowSystemMenuAt(mapToGlobal(QPoint(width() / 4, height() / 4)));
    return;
  }
  QDialog::keyPressEvent(event);
}

CSievoInfoDlg::CSievoInfoDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QStringLiteral("Informacja o Sievo"));
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  auto* version = new QLabel(Strings().Text(IDS_VERSION_LINE), this);
  auto* description = new QLabel(Strings().Text(IDS_DESCRIPTION_LINE), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* lines = new QVBoxLayout;
  lines->addWidget(version);
  lines->addWidget(description);
  lines->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(16);
  top->addLayout(lines, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 14);
  layout->addLayout(top);
  layout->addSpacing(18);
  layout->addLayout(buttons);
  setFixedSize(QSize(340, 150).expandedTo(sizeHint()));
}

}  // namespace vokar::netsend
