#include "SystemMenu.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

#include "KitStrings.h"
#include "Widgets.h"

namespace vokar::app {

CSystemMenu::CSystemMenu(QWidget* window, const ProgramInfo& program, std::function<void()> aboutBox,
                         RightButton rightButton)
    : QObject(window),
      window_(window),
      aboutItem_(program.aboutMenuItem),
      aboutBox_(std::move(aboutBox)),
      rightButton_(rightButton) {
  window_->installEventFilter(this);
}

CSystemMenu::~CSystemMenu() { window_->removeEventFilter(this); }

std::unique_ptr<QMenu> CSystemMenu::Build() {
  auto menu = std::make_unique<QMenu>();
  menu->setAccessibleName(window_->windowTitle());
  if (ownItems_) ownItems_(*menu);
  if (!aboutItem_.isEmpty()) {
    if (!menu->isEmpty()) menu->addSeparator();
    QAction* about = menu->addAction(aboutItem_);
    about->setData(ID_ABOUT);
    // From the event loop: the box must not open inside the menu's own.
    connect(about, &QAction::triggered, this,
            [this] { QMetaObject::invokeMethod(this, [this] { aboutBox_(); }, Qt::QueuedConnection); });
  }
  menu->addSeparator();
  QAction* minimise = menu->addAction(QString::fromUtf8(text::kMinimise));
  connect(minimise, &QAction::triggered, window_, [this] { window_->showMinimized(); });
  QAction* close = menu->addAction(QString::fromUtf8(text::kClose));
  close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(close, &QAction::triggered, window_, [this] { window_->close(); });
  return menu;
}

void CSystemMenu::ShowAt(const QPoint& globalPos) {
  open_ = Build();
  open_->popup(globalPos);
}

bool CSystemMenu::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F10 && (key->modifiers() & Qt::ShiftModifier)) {
      ShowAt(window_->mapToGlobal(QPoint(window_->width() / 4, window_->height() / 4)));
      return true;
    }
  } else if (event->type() == QEvent::ContextMenu) {
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    if (menuEvent->reason() == QContextMenuEvent::Keyboard || rightButton_ == RightButton::OpensMenu) {
      ShowAt(menuEvent->globalPos());
    }
    // The window's own handling of the button is in its press handler.
    menuEvent->accept();
    return true;
  }
  return false;
}

}  // namespace vokar::app
