// The talking keyboard's application object: one program per desktop (a
// named lock, so that two starts at login never watch the keys twice; a
// second start only brings the first one's window forward), the global
// settings and the locale's number punctuation, the run of the main window,
// and the settings written when the program ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Application.h"
#include "ProgramStart.h"
#include "Settings.h"
#include "TypingBuffer.h"

namespace vokar::clipboard {
class CClipboard;
}

namespace vokar::keyboard {

class CKlavoDlg;

class CKlavoApp {
 public:
  explicit CKlavoApp(app::CApplication& application);
  ~CKlavoApp();
  CKlavoApp(const CKlavoApp&) = delete;
  CKlavoApp& operator=(const CKlavoApp&) = delete;

  // The whole life of the program; the process's exit code.
  int Run();

  // The settings written at the end: TaskBarIcon, HighPriority when the
  // store lacks it, WorkDir.
  void Exit();

  app::CApplication& application;
  app::CSettings settings{"Klavo"};
  std::string workDir;  // ending in '/'
  NumberSeparators separators;
  app::DesktopSwitches switches;
  std::unique_ptr<clipboard::CClipboard> clipboard;
  std::unique_ptr<CKlavoDlg> dialog;

 private:
  // True when this is the only keyboard program of the desktop; otherwise
  // the running one has been asked to come forward.
  bool TakeSingleInstance();

  app::CInstanceLock instance_;
  bool exited_ = false;
};

}  // namespace vokar::keyboard
