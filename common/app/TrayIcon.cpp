#include "TrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "Widgets.h"

namespace vokar::app {

CTrayIcon::CTrayIcon(QWidget* window, const QString& tip, const QIcon& icon)
    : QObject(window), window_(window), menu_(std::make_unique<QMenu>()) {
  menu_->setAccessibleName(ScreenReaderName(tip));
  tray_ = new QSystemTrayIcon(icon, this);
  tray_->setToolTip(tip.left(63));
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    // Every press of the left button opens the menu: Qt may report a press
    // as the second half of a double click even a second after the first,
    // when a popup took the first one's release.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) Click(true);
    if (reason == QSystemTrayIcon::Context) Click(false);
  });
  tray_->show();
}

CTrayIcon::~CTrayIcon() {
  tray_->hide();
  delete tray_;
  tray_ = nullptr;
}

QAction* CTrayIcon::AddItem(const QString& text, std::function<void()> action) {
  QAction* item = menu_->addAction(text);
  connect(item, &QAction::triggered, this, [action = std::move(action)] { action(); });
  return item;
}

void CTrayIcon::SetIcon(const QIcon& icon) { tray_->setIcon(icon); }

void CTrayIcon::Click(bool leftButton) {
  if (!leftButton) {
    BringForward(window_);
    return;
  }
  if (beforeMenu_) beforeMenu_();
  menu_->popup(QCursor::pos() - QPoint(menu_->sizeHint().width(), 0));
}

}  // namespace vokar::app
