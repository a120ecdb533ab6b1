// The application object every program of the suite starts with: the Qt
// application under the program's name, the desktop bus carried in Qt's event
// loop, and one way out. A request to end from outside (SIGTERM, SIGINT,
// SIGHUP, or the desktop session ending) takes the same road as the program's
// own exit command, so settings are saved and bus endpoints and grabs released
// exactly as at a normal exit.
#pragma once

#include <QApplication>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vokar::desktop {
class QtDesktopLoop;
}

namespace vokar::app {

class CApplication {
 public:
  // One per process, made first thing in main.
  CApplication(int& argc, char** argv, std::string name);
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

 private:
  void WatchSignals();
  void OnSignalReadable();

  static CApplication* instance_;
  std::string name_;
  std::unique_ptr<QApplication> qt_;
  std::unique_ptr<desktop::QtDesktopLoop> loop_;
  std::function<void()> onQuitRequest_;
  std::vector<std::function<void()>> exitSteps_;
  bool quitRequested_ = false;
  int signalFds_[2] = {-1, -1};
  int signalWatch_ = 0;
};

}  // namespace vokar::app
