// CMainFrame: the clock's main window, a sheet of four pages ("Czas",
// "Komunikaty", "Porady", "Klawisze skrótu") with a column of command buttons
// on its right. It runs everything periodic from one one-second timer, takes
// the hot keys and the commands other programs post to the window "Horalo",
// and at the end saves the events and every page's settings.
#pragma once

#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

#include "BusWindow.h"
#include "ClockHost.h"
#include "Schedule.h"

class QPushButton;
class QTabWidget;

namespace vokar::clock {

class CAdvicePage;
class CClockPage;
class CEventsPage;
class CHotKeysPage;

class CMainFrame final : public QWidget {
 public:
  explicit CMainFrame(IClockHost& host, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Makes the bus window, loads every page's settings, registers the hot
  // keys and starts the one-second timer. False (with the reason) when the
  // window cannot be made.
  bool Create(std::string& error);

  // The readings on demand (buttons, hot keys).
  void ReadHour();
  void ReadDate();
  void ReadAdvice();
  void ShowAbout();
  void ShowHelp();
  // Ends the program: the very important events dialog hidden, the events
  // saved, the settings written, the hot keys removed, the event loop left
  // with the exit code.
  void Exit(int code = 0);
  bool ending() const { return ending_; }

  // One tick of the one-second timer (also for tests).
  void OnTick();

  app::CBusWindow& bus() { return *bus_; }
  CClockPage& clockPage() { return *clock_; }
  CEventsPage& eventsPage() { return *events_; }
  CAdvicePage& advicePage() { return *advice_; }
  CHotKeysPage& hotKeysPage() { return *hotKeys_; }
  QTabWidget& pages() { return *pages_; }
  QPushButton* Button(int id) const;

  // The help file: WorkDir of the section Global (the current folder at
  // start by default) followed by "horalo.html".
  void SetHelpFolder(std::string folder) { helpFolder_ = std::move(folder); }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildButtons(QWidget* column);
  // Ctrl+Tab, Ctrl+PgDn (next page), Ctrl+Shift+Tab, Ctrl+PgUp (previous).
  void AddPageKeys();
  void TurnPage(int step);
  void RegisterCommands();

  IClockHost& host_;
  std::unique_ptr<app::CBusWindow> bus_;
  QTabWidget* pages_ = nullptr;
  CClockPage* clock_ = nullptr;
  CEventsPage* events_ = nullptr;
  CAdvicePage* advice_ = nullptr;
  CHotKeysPage* hotKeys_ = nullptr;
  std::map<int, QPushButton*> buttons_;
  QTimer tick_;
  CTickScheduler scheduler_;
  bool ticking_ = false;
  bool ending_ = false;
  std::string helpFolder_;
};

}  // namespace vokar::clock
