// What the programs of the suite do alike when they start and end: the work
// folder (the help page's folder), the tray and priority switches of the
// Global section, the show state a starting client asks for, and the lock
// that keeps one program of a kind per desktop.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "NamedObjects.h"
#include "Settings.h"

namespace vokar::app {

// WorkDir of the section Global; by default the folder the program was
// started in. Empty, or ending in '/'.
std::string ReadWorkDir(const CSettings& settings);

// TaskBarIcon (default yes) and HighPriority (default no) of the section Global.
struct DesktopSwitches {
  bool taskBarIcon = true;
  bool highPriority = false;
};
// Reads the switches and raises the process's priority when HighPriority
// asks (the system may refuse it to an ordinary user: the program then runs
// at the normal one).
DesktopSwitches ReadDesktopSwitches(const CSettings& settings);
// At the end: TaskBarIcon, HighPriority only when the store lacks it, and
// WorkDir. Failures are ignored, the program is going anyway.
void WriteDesktopSwitches(const CSettings& settings, const DesktopSwitches& switches, const std::string& workDir);

// The name of the variable by which a client that starts a program asks for
// it minimised.
inline constexpr const char* kShowMinimisedVariable = "VOKAR_SHOW_MINIMIZED";
// True when the program was asked to start minimised; the request is taken
// out of the environment, so that programs it starts do not inherit it.
bool TakeShowMinimised();

// One program of a kind per desktop: the named lock held for the program's
// life. Without a runtime folder (no lock can be made) the program counts as
// the first when no window of its title can be found.
class CInstanceLock {
 public:
  enum class Result { First, AnotherRuns };
  Result Take(std::string_view lockName, std::string_view windowTitle);
  bool held() const { return lock_.has_value(); }
  void Release() { lock_.reset(); }

 private:
  std::optional<named::NamedSemaphore> lock_;
};

}  // namespace vokar::app
