// The window's system menu. On Linux the window manager owns the frame and its
// menu, so the items a program put there are offered as the window's own
// menu: the program's items (if any), its about item, "Mi&nimalizuj" and
// "Za&mknij". It opens with the keyboard's menu key and with Shift+F10
// anywhere in the window, and with the right mouse button on the window's
// background where the program leaves that button to it.
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>

#include "Program.h"

class QMenu;
class QWidget;

namespace vokar::app {

enum class RightButton {
  OpensMenu,        // a right click on the window's background opens the menu
  LeftToTheWindow,  // the window gives the button a meaning of its own
};

class CSystemMenu final : public QObject {
 public:
  // aboutBox runs when the about item is chosen. The menu watches the
  // window's events; it goes with the window at the latest.
  CSystemMenu(QWidget* window, const ProgramInfo& program, std::function<void()> aboutBox,
              RightButton rightButton = RightButton::OpensMenu);
  ~CSystemMenu() override;

  // The program's own items, added at the top each time the menu is built
  // (so that they show the state of that moment).
  void SetOwnItems(std::function<void(QMenu&)> addItems) { ownItems_ = std::move(addItems); }

  // The menu as it would open now.
  std::unique_ptr<QMenu> Build();
  // Opens it at a point of the screen; it stays open until an item is chosen
  // or it is dismissed, while the program goes on.
  void ShowAt(const QPoint& globalPos);
  QMenu* openMenu() const { return open_.get(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QString aboutItem_;
  std::function<void()> aboutBox_;
  RightButton rightButton_;
  std::function<void(QMenu&)> ownItems_;
  std::unique_ptr<QMenu> open_;
};

}  // namespace vokar::app
