#include "HotKeysPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ClockIds.h"
#include "ClockStrings.h"
#include "Controls.h"
#include "Widgets.h"

namespace vokar::clock {

CHotKeysPage::CHotKeysPage(QObject* window, registry::Profile profile, QWidget* parent)
    : QWidget(parent), settings_(std::move(profile), "HotKeys") {
  setObjectName(app::DialogName(IDD_HOTKEYS_PAGE));
  std::vector<hotkey::HotKeyAction> actions;
  const char* names[] = {"ReadHour", "ReadDate", "ReadAdvice"};
  const int commands[] = {ID_READ_HOUR, ID_READ_DATE, ID_READ_ADVICE};
  for (int i = 0; i < 3; ++i) {
    actions.push_back({names[i], QString::fromUtf8(ClockText(IDS_HOTKEY_READ_HOUR + i)), commands[i]});
  }
  list_ = std::make_unique<hotkey::CHotKeyList>(
      window, std::move(actions), kFirstHotKeySlot, settings_,
      hotkey::HotKeyStrings{std::string(ClockText(IDS_HOTKEY_NONE)), std::string(ClockText(IDS_HOTKEY_BUSY))});

  auto* group = new QGroupBox(QStringLiteral("Klawisze skrótu"), this);
  auto* commandLabel = new QLabel(QStringLiteral("Po&lecenie:"), group);
  commands_ = new QListWidget(group);
  commands_->setObjectName(app::ControlName(IDC_HOTKEY_LIST));
  app::SetBuddy(commandLabel, commands_);
  auto* keyLabel = new QLabel(QStringLiteral("Ko&mbinacja:"), group);
  edit_ = new hotkey::CHotKeyEdit(group);
  edit_->setObjectName(app::ControlName(IDC_HOTKEY_EDIT));
  keyLabel->setBuddy(edit_);
  apply_ = new QPushButton(QStringLiteral("Wp&rowadź zmianę"), group);
  apply_->setAutoDefault(false);
  apply_->setObjectName(app::ControlName(IDC_HOTKEY_APPLY));

  auto* grid = new QGridLayout(group);
  grid->addWidget(commandLabel, 0, 0, 1, 2);
  grid->addWidget(commands_, 1, 0, 1, 2);
  grid->addWidget(keyLabel, 2, 0);
  grid->addWidget(edit_, 2, 1);
  grid->addWidget(apply_, 3, 1, Qt::AlignRight);
  grid->setColumnStretch(1, 1);
  auto* hint = new QLabel(QStringLiteral("Wybierz polecenie, przejdź do pola kombinacji i naciśnij klawisze, "
                                         "a następnie wprowadź zmianę. Klawisze działają w każdym programie."),
                          this);
  hint->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(hint);
  layout->addStretch(1);
}

CHotKeysPage::~CHotKeysPage() { End(); }

void CHotKeysPage::Initialise() {
  list_->Initialise(commands_, edit_, apply_);
  commands_->setFixedHeight(commands_->sizeHintForRow(0) * commands_->count() + 2 * commands_->frameWidth() + 4);
}

void CHotKeysPage::End() {
  if (ended_) return;
  ended_ = true;
  list_->End();
}

QWidget* CHotKeysPage::Control(int id) const {
  switch (id) {
    case IDC_HOTKEY_LIST:
      return commands_;
    case IDC_HOTKEY_EDIT:
      return edit_;
    case IDC_HOTKEY_APPLY:
      return apply_;
    default:
      return nullptr;
  }
}

}  // namespace vokar::clock
