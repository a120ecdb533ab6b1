#include "ProgramStart.h"

#include <limits.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

#include "Desktop.h"

namespace vokar::app {
namespace {

std::string CurrentDirectory() {
  std::error_code error;
  const auto current = std::filesystem::current_path(error);
  if (error || current.native().size() >= PATH_MAX) return {};
  return current.string();
}

}  // namespace

std::string ReadWorkDir(const CSettings& settings) {
  std::string workDir = settings.ReadString("Global", "WorkDir", CurrentDirectory());
  if (!workDir.empty() && workDir.back() != '/') workDir += '/';
  return workDir;
}

DesktopSwitches ReadDesktopSwitches(const CSettings& settings) {
  DesktopSwitches switches;
  switches.taskBarIcon = settings.ReadYesNo("Global", "TaskBarIcon", true);
  switches.highPriority = settings.ReadYesNo("Global", "HighPriority", false);
  if (switches.highPriority) ::setpriority(PRIO_PROCESS, 0, -10);
  return switches;
}

void WriteDesktopSwitches(const CSettings& settings, const DesktopSwitches& switches, const std::string& workDir) {
  settings.WriteYesNo("Global", "TaskBarIcon", switches.taskBarIcon);
  settings.WriteYesNoIfAbsent("Global", "HighPriority", false);
  settings.WriteString("Global", "WorkDir", workDir);
}

bool TakeShowMinimised() {
  const char* value = std::getenv(kShowMinimisedVariable);
  const bool minimised = value != nullptr && *value != '\0' && std::string_view(value) != "0";
  ::unsetenv(kShowMinimisedVariable);
  return minimised;
}

CInstanceLock::Result CInstanceLock::Take(std::string_view lockName, std::string_view windowTitle) {
  auto lock = named::NamedSemaphore::Create(lockName);
  if (lock && !lock->AlreadyExisted()) {
    lock_.emplace(std::move(lock.value()));
    return Result::First;
  }
  if (!lock && !desktop::FindWindow(windowTitle)) return Result::First;
  return Result::AnotherRuns;
}

}  // namespace vokar::app
