// While the uninstaller runs it holds a named event on the user's desktop.
// A program that would start the speech server for itself (a client whose
// server went away) or register the suite at its first start looks at it
// first and does neither, so that closing the server when the uninstaller
// asks does not bring it straight back, and nothing is written again while
// it is being taken away.
#pragma once

#include <memory>
#include <string>

namespace vokar::suite {

class UninstallRun {
 public:
  // Raises the event for the life of the object; nothing (with the reason in
  // problem) when the desktop folder cannot hold it.
  static std::unique_ptr<UninstallRun> Begin(std::string& problem);
  ~UninstallRun();
  UninstallRun(const UninstallRun&) = delete;
  UninstallRun& operator=(const UninstallRun&) = delete;

 private:
  struct Held;
  explicit UninstallRun(std::unique_ptr<Held> held);
  std::unique_ptr<Held> held_;
};

// True while an uninstaller of this desktop runs.
bool UninstallerRuns();

}  // namespace vokar::suite
