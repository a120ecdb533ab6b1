#include "AboutBox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "KitStrings.h"
#include "Widgets.h"

namespace vokar::app {

CAboutDlg::CAboutDlg(const ProgramInfo& program, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("dialog%1").arg(IDD_ABOUT));
  const AboutBox& about = program.about;
  setWindowTitle(about.caption);
  SetScreenReaderName(this, about.caption);

  auto* picture = new QLabel(this);
  picture->setPixmap(about.picture.isNull() ? program.icon.pixmap(about.iconSize, about.iconSize) : about.picture);
  picture->setAlignment(Qt::AlignTop);
  auto* lines = new QVBoxLayout;
  for (int i = 0; i < about.lines.size(); ++i) {
    auto* line = new QLabel(about.lines[i], this);
    QFont font = line->font();
    font.setWeight(i == 0 && about.nameLine == NameLine::Bold ? QFont::Bold : QFont::Normal);
    line->setFont(font);
    lines->addWidget(line);
  }
  lines->addStretch();

  auto* ok = new QPushButton(QString::fromUtf8(text::kOk), this);
  ok->setDefault(true);
  SetScreenReaderName(ok, ok->text());
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(picture);
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
  // A box of fixed size, as dialogs are, wide enough for its caption in a
  // window manager's bold title font.
  const int captionWidth = fontMetrics().horizontalAdvance(about.caption) * 3 / 2 + 80;
  setFixedSize(about.minimumSize.expandedTo(sizeHint()).expandedTo(QSize(captionWidth, 0)));
}

void ShowAboutBox(const ProgramInfo& program, QWidget* parent) {
  QPointer<QWidget> focus = QApplication::focusWidget();
  CAboutDlg about(program, parent);
  about.exec();
  if (focus) focus->setFocus();
}

}  // namespace vokar::app
