#include "InfoDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Icons.h"
#include "ServerStrings.h"

namespace vokar::server {

CInfoDlg::CInfoDlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("dialog%1").arg(100));
  setWindowTitle(Strings().Text(IDS_ABOUT_CAPTION));
  auto* icon = new QLabel(this);
  icon->setPixmap(MakeStateIcon(StateIcon::Idle).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  auto* version = new QLabel(Strings().Text(IDS_VERSION_LINE), this);
  auto* description = new QLabel(Strings().Text(IDS_DESCRIPTION_LINE), this);
  for (QLabel* line : {version, description}) {
    QFont font = line->font();
    font.setWeight(QFont::Normal);
    line->setFont(font);
  }
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
  // 205 x 136 dialog units.
  setFixedSize(QSize(320, 200).expandedTo(sizeHint()));
}

}  // namespace vokar::server
