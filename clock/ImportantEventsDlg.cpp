#include "ImportantEventsDlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ClockIds.h"
#include "EventsListBox.h"
#include "Icons.h"
#include "Widgets.h"

namespace vokar::clock {

CImportantEventsDlg::CImportantEventsDlg(Actions actions)
    // No parent: the main window's state must not carry over to it.
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      actions_(std::move(actions)) {
  setObjectName(app::DialogName(IDD_IMPORTANT_EVENTS));
  setWindowTitle(QStringLiteral("Horalo - Ważne komunikaty"));
  setWindowIcon(ClockIcon());
  setModal(false);

  auto* label = new QLabel(QStringLiteral("Niepotwierdzone ważne komunikaty:"), this);
  list_ = new CEventsListBox(this);
  AddControl(IDC_IMPORTANT_LIST, list_);
  app::SetBuddy(label, list_);
  list_->setMinimumSize(420, 160);
  auto* confirm = new QPushButton(QStringLiteral("Potwierdź"), this);
  AddControl(IDOK, confirm);
  auto* cancel = new QPushButton(QStringLiteral("&Anuluj"), this);
  AddControl(IDCANCEL, cancel);
  auto* read = new QPushButton(QStringLiteral("&Czytaj"), this);
  AddControl(IDC_IMPORTANT_READ, read);
  confirm->setDefault(true);
  for (QPushButton* b : {cancel, read}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {confirm, cancel, read}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  connect(confirm, &QPushButton::clicked, this, [this] {
    if (actions_.confirm) actions_.confirm();
  });
  connect(cancel, &QPushButton::clicked, this, [this] { HideDialog(); });
  connect(read, &QPushButton::clicked, this, [this] { ReadSelected(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { ReadSelected(); });
}

void CImportantEventsDlg::Refill(const std::vector<EVENT_DSCR*>& events) {
  list_->ShowEvents(std::vector<const EVENT_DSCR*>(events.begin(), events.end()), std::nullopt);
  if (list_->count() > 0) list_->setCurrentRow(0);
}

void CImportantEventsDlg::Clear() { list_->clear(); }

int CImportantEventsDlg::count() const { return list_->count(); }

void CImportantEventsDlg::ShowOnTop() {
  shown_ = true;
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  raise();
  activateWindow();
  if (actions_.visibilityChanged) actions_.visibilityChanged();
}

void CImportantEventsDlg::HideDialog() {
  shown_ = false;
  hide();
  if (actions_.visibilityChanged) actions_.visibilityChanged();
}

void CImportantEventsDlg::reject() { HideDialog(); }

void CImportantEventsDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  HideDialog();
}

void CImportantEventsDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Kept as the program wants it: a window manager that minimises or hides
  // it with another window is overruled.
  if (event->type() == QEvent::WindowStateChange && shown_ && isMinimized()) {
    QTimer::singleShot(0, this, [this] {
      if (shown_) showNormal();
    });
  }
}

void CImportantEventsDlg::ReadSelected() {
  const EVENT_DSCR* event = list_->SelectedEvent();
  if (event != nullptr && actions_.read) actions_.read(*event);
}

}  // namespace vokar::clock
