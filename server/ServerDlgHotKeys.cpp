// The main window's hot-key group: the list of the three actions (220), the
// key field (222) and the apply button (221). The hot keys themselves, their
// settings and their grabs are added here, so that the rest of the window
// does not change with them.
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ServerDlg.h"
#include "ServerIds.h"
#include "ServerStrings.h"

namespace vokar::server {

void CServerDlg::BuildHotKeyGroup(QGroupBox* group) {
  hotKeyList_ = new QListWidget(group);
  hotKeyList_->setObjectName(QStringLiteral("control%1").arg(IDC_HOTKEY_LIST));
  controls_[IDC_HOTKEY_LIST] = hotKeyList_;
  auto* label = new QLabel(Strings().Text(IDS_COMBINATION), group);
  hotKeyEdit_ = new QLineEdit(group);
  hotKeyEdit_->setReadOnly(true);
  hotKeyEdit_->setObjectName(QStringLiteral("control%1").arg(IDC_HOTKEY_EDIT));
  controls_[IDC_HOTKEY_EDIT] = hotKeyEdit_;
  label->setBuddy(hotKeyEdit_);
  hotKeyApply_ = new QPushButton(Strings().Text(IDS_APPLY_HOTKEY), group);
  hotKeyApply_->setAutoDefault(false);
  hotKeyApply_->setObjectName(QStringLiteral("control%1").arg(IDC_HOTKEY_APPLY));
  controls_[IDC_HOTKEY_APPLY] = hotKeyApply_;

  auto* layout = new QGridLayout(group);
  layout->addWidget(hotKeyList_, 0, 0, 1, 2);
  layout->addWidget(label, 1, 0);
  layout->addWidget(hotKeyEdit_, 1, 1);
  layout->addWidget(hotKeyApply_, 2, 0, 1, 2, Qt::AlignRight);
  layout->setColumnStretch(1, 1);
}

void CServerDlg::InitHotKeys() {
  hotKeyList_->clear();
  for (const int text : {IDS_HOTKEY_CLIPBOARD, IDS_HOTKEY_ACTIVEAPP, IDS_HOTKEY_BREAK})
    hotKeyList_->addItem(Strings().Text(text));
  hotKeyList_->setCurrentRow(0);
  hotKeyEdit_->setText(Strings().Text(IDS_NO_HOTKEY));
  const int rows = hotKeyList_->count();
  hotKeyList_->setFixedHeight(hotKeyList_->sizeHintForRow(0) * rows + 2 * hotKeyList_->frameWidth() + 4);
}

void CServerDlg::EndHotKeys() {}

}  // namespace vokar::server
