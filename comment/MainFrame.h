// The main frame of remarka: the window titled "Remarka" with its menus, the
// toolbar, the status bar with the lock indicators, and the area of the
// comment windows. It is the program's window on the desktop bus too, where
// commands, the speech client's notices and later starts' requests arrive.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "BusWindow.h"
#include "WindowPlacement.h"

class QAction;
class QMenu;
class QToolBar;

namespace vokar::comment {

class CRemarkaApp;
class CCommentFrame;

class CMainFrame : public QMainWindow {
 public:
  // Nothing when the desktop bus cannot be used (error says why).
  static std::unique_ptr<CMainFrame> Create(CRemarkaApp& app, std::string& error);
  ~CMainFrame() override;

  desktop::WindowHandle busHandle() const { return bus_->handle(); }
  app::CCommandMap& commands() { return bus_->commands(); }
  // The command runs now, as a menu choice would run it.
  void Dispatch(int command) { bus_->commands().Dispatch(command); }

  QMdiArea& area() { return *area_; }
  CCommentFrame* ActiveComment() const;
  void AddComment(CCommentFrame* frame);

  // The placement saved in the settings, applied before the window is shown.
  // Returns how to show it: maximised or normal.
  bool RestorePlacement(const std::optional<WindowPlacement>& placement);
  WindowPlacement CurrentPlacement() const;

  // Menus, toolbar and title follow the active comment and its editor.
  void UpdateCommands();
  void UpdateTitle();
  // The recent files in the file menu.
  void UpdateRecentFiles();
  // The lock keys' indicators in the status bar.
  void UpdateIndicators();

  QAction* action(int command) const;
  QToolBar* toolBar() const { return toolBar_; }
  // The indicator texts as the status bar shows them now ("" when off).
  QString IndicatorText(int index) const;
  // What a screen reader says of it ("Caps Lock włączony").
  QString IndicatorName(int index) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  CMainFrame(CRemarkaApp& app, std::unique_ptr<app::CBusWindow> bus);
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  void WireCommands();
  void FillWindowMenu();
  void ArrangeIcons();
  void ShowHelp();
  void ShowAbout();
  QAction* AddAction(int command, const QString& text, const QKeySequence& shortcut = {});

  CRemarkaApp& app_;
  std::unique_ptr<app::CBusWindow> bus_;
  QMdiArea* area_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* editMenu_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QAction* exitAction_ = nullptr;
  QLabel* indicators_[3] = {nullptr, nullptr, nullptr};
  QTimer indicatorTimer_;
};

}  // namespace vokar::comment
