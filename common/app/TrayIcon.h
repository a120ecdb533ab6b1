// A program's icon in the desktop's notification area: the icon of the
// program's state with its name as the tip (at most 63 characters), a menu of
// the program's commands opened by the left button at the pointer, aligned to
// its right, and the program's window brought forward by the right button.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace vokar::app {

class CTrayIcon final : public QObject {
 public:
  // The icon is shown at once; it goes with this object.
  CTrayIcon(QWidget* window, const QString& tip, const QIcon& icon);
  ~CTrayIcon() override;

  // An item of the menu; the action runs from the event loop.
  QAction* AddItem(const QString& text, std::function<void()> action);
  // Runs each time before the menu opens, so that its items show the state.
  void BeforeMenuOpens(std::function<void()> update) { beforeMenu_ = std::move(update); }
  void SetIcon(const QIcon& icon);

  // What a press of the icon does: the left button opens the menu, the right
  // one brings the window forward.
  void Click(bool leftButton);

  QSystemTrayIcon* icon() const { return tray_; }
  QMenu* menu() const { return menu_.get(); }

 private:
  QWidget* window_;
  QSystemTrayIcon* tray_ = nullptr;
  std::unique_ptr<QMenu> menu_;
  std::function<void()> beforeMenu_;
};

}  // namespace vokar::app
