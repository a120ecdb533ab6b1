// The application object every program of the suite starts with: the Qt
// application under the program's name with Qt's own texts in Polish, the
// desktop bus carried in Qt's event loop, and one way out. A request to end
// from outside (SIGTERM, SIGINT, SIGHUP, or the desktop session ending) first
// closes whatever dialog, message box or menu is open (and every one opened
// later), then takes the same road as the program's own exit command, so
// settings are saved and bus endpoints and grabs released exactly as at a
// normal exit.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vokar::desktop {
class QtDesktopLoop;
}

namespace vokar::app {

// What a program asks of its start.
enum class FirstStartRegistration {
  Register,  // the first start of an installed program registers the suite
  Never,     // the uninstaller, which must not register what it removes
};

class CApplication {
 public:
  // One per process, made first thing in main.
  CApplication(int& argc, char** argv, std::string name,
               FirstStartRegistration registration = FirstStartRegistration::Register);
  ~CApplication();
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  static CApplication* Instance() { return instance_; }
  QApplication& qt() { return *qt_; }
  const std::string& name() const { return name_; }

  // What a request to end from outside does; by default it quits Qt's event
  // loop. The program's handler normally issues its own exit command. It runs
  // from the event loop, once, however many requests arrive.
  void SetQuitRequestHandler(std::function<void()> handler) { onQuitRequest_ = std::move(handler); }
  bool QuitRequested() const { return quitRequested_; }

  // Steps that must run once when the program ends, normally, on request, or
  // when a library ends the process with exit() (the X library does when the
  // display goes away): settings written, grabs and endpoints released. They
  // run in the reverse order of adding, from RunExitSteps, from exit(), or at
  // the latest from the destructor. A step must not outlive what it uses: its
  // owner runs RunExitSteps before it goes.
  void AddExitStep(std::function<void()> step);
  void RunExitSteps();

  // Delivers a request to end as a signal would; for tests and for parts of
  // the program that learn of the session's end in other ways.
  void RequestQuit();

  // The program's own window, which the request to end leaves to the
  // program's exit road; every other dialog and menu is closed.
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  QWidget* mainWindow() const { return mainWindow_; }

  // Runs the program's main dialog modally as its main window when the
  // program could start it, then the program's end (its own exit steps);
  // 0, or 1 when the dialog could not start.
  int RunMainDialog(QDialog* dialog, bool started, const std::function<void()>& end);

  // True when Qt's Polish texts were found and installed.
  bool PolishQtTexts() const { return polishQtTexts_; }

  // Closes every open popup menu and modal dialog but the main window,
  // innermost first. Each one's own loop returns to the code that opened it
  // (a message box with the answer that goes nowhere).
  void CloseOpenDialogs();

 private:
  class EndingFilter;
  void WatchSignals();
  void OnSignalReadable();
  void LoadQtTranslation();

  static CApplication* instance_;
  std::string name_;
  std::unique_ptr<QApplication> qt_;
  std::unique_ptr<desktop::QtDesktopLoop> loop_;
  std::function<void()> onQuitRequest_;
  std::vector<std::function<void()>> exitSteps_;
  bool quitRequested_ = false;
  bool polishQtTexts_ = false;
  QPointer<QWidget> mainWindow_;
  std::unique_ptr<EndingFilter> endingFilter_;
  int signalFds_[2] = {-1, -1};
  int signalWatch_ = 0;
};

}  // namespace vokar::app
