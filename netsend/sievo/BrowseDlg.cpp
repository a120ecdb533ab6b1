#include "BrowseDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

#include "ServiceName.h"
#include "ShareBrowser.h"
#include "Widgets.h"
#include "Wire.h"

namespace vokar::netsend {
namespace {

constexpr int kComputerRole = Qt::UserRole + 1;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CBrowseDlg::CBrowseDlg(QWidget* parent, int maxName)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("browseDialog"));
  setWindowTitle(QStringLiteral("Przeglądanie komputerów w sieci"));
  auto* heading = new QLabel(QStringLiteral("&Komputery udostępniające Vokar:"), this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("computers"));
  app::SetBuddy(heading, list_);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  auto* nameLabel = new QLabel(QStringLiteral("&Nazwa komputera:"), this);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("name"));
  name_->setMaxLength(maxName);
  nameLabel->setBuddy(name_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
  ok_->setEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(list_, 1);
  layout->addWidget(status_);
  layout->addSpacing(6);
  layout->addWidget(nameLabel);
  layout->addWidget(name_);
  layout->addWidget(buttons);
  resize(420, 340);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(name_, &QLineEdit::textChanged, this,
          [this](const QString& text) { ok_->setEnabled(!text.trimmed().isEmpty()); });
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr) name_->setText(item->data(kComputerRole).toString());
  });
  connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    name_->setText(item->data(kComputerRole).toString());
    accept();
  });

  browser_ = std::make_unique<dnssd::CShareBrowser>([this] { Refresh(); });
  Refresh();
}

CBrowseDlg::~CBrowseDlg() = default;

QString CBrowseDlg::chosen() const { return name_->text().trimmed(); }

void CBrowseDlg::Refresh() {
  const QString current = list_->currentItem() != nullptr ? list_->currentItem()->data(kComputerRole).toString()
                                                          : QString();
  list_->clear();
  for (const auto& host : browser_->hosts()) {
    const QString computer = Q(netdde::FormatComputer({host.address, host.port}, netdde::kDefaultPort));
    auto* item = new QListWidgetItem(Q(host.name) + QStringLiteral("  (") + computer + QStringLiteral(")"), list_);
    item->setData(kComputerRole, computer);
    item->setToolTip(Q(host.host));
    if (computer == current) list_->setCurrentItem(item);
  }
  switch (browser_->state()) {
    case dnssd::CShareBrowser::State::Searching:
      status_->setText(QStringLiteral("Szukanie komputerów w sieci..."));
      break;
    case dnssd::CShareBrowser::State::Complete:
      status_->setText(browser_->hosts().empty()
                           ? QStringLiteral("Żaden komputer w sieci nie udostępnia Vokara. Wpisz nazwę komputera.")
                           : QStringLiteral("Wybierz komputer z listy albo wpisz jego nazwę."));
      break;
    case dnssd::CShareBrowser::State::NoDaemon:
      // The library's own words (in English) go into the tooltip.
      status_->setText(QString::fromUtf8("Komputerów nie można wyszukać: usługa avahi-daemon nie działa. "
                                         "Wpisz nazwę komputera."));
      status_->setToolTip(Q(browser_->error()));
      break;
  }
}

int ServerBrowseDialog(QWidget* owner, char* buffer, int size) {
  if (buffer == nullptr || size < 2) return kBrowseFailed;
  CBrowseDlg dialog(owner, size - 1);
  if (dialog.exec() != QDialog::Accepted) return kBrowseCancelled;
  const QByteArray name = dialog.chosen().toUtf8();
  if (name.isEmpty() || name.size() > size - 1) return kBrowseFailed;
  std::memcpy(buffer, name.constData(), static_cast<std::size_t>(name.size()));
  buffer[name.size()] = '\0';
  return kBrowseChosen;
}

}  // namespace vokar::netsend
