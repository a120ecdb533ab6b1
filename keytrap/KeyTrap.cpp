// The entry points: one watcher per process, read from the program's own
// loop, its reports posted to the program's window "Klavo".
#include "KeyTrap.h"

#include <unistd.h>

#include <memory>
#include <string>

#include "Desktop.h"
#include "KeyWatcher.h"

namespace vokar::keytrap {
namespace {

struct Trap {
  std::unique_ptr<KeyWatcher> watcher;
  int watchId = -1;
  bool on = false;
  int mode = 0;
  desktop::WindowHandle window;
};

Trap& TheTrap() {
  static Trap trap;
  return trap;
}

// Keys go only to a window of this process: even on the user's own desktop
// no other program is told what is typed.
bool OwnWindow(desktop::WindowHandle window) {
  const auto self = static_cast<std::uint32_t>(::getpid());
  return window && window.processId() == self && desktop::WindowProcess(window) == self;
}

desktop::WindowHandle FindOwnWindow() {
  for (const auto& info : desktop::EnumerateWindows()) {
    if (info.title == kWindowTitle && OwnWindow(info.window)) return info.window;
  }
  return {};
}

void Deliver(const KeyReport& report) {
  Trap& trap = TheTrap();
  if (!trap.on) return;
  if (!OwnWindow(trap.window) || !desktop::IsWindow(trap.window)) trap.window = FindOwnWindow();
  if (!trap.window) return;
  if (!desktop::PostMessage(trap.window, WM_KEY_EVENT, report.key, static_cast<std::int64_t>(report.flags))) {
    trap.window = {};
  }
}

void StopWatching() {
  Trap& trap = TheTrap();
  if (trap.watchId >= 0) desktop::CancelDescriptor(trap.watchId);
  trap.watchId = -1;
  trap.watcher.reset();
}

void OnReadable() {
  Trap& trap = TheTrap();
  if (!trap.watcher) return;
  trap.watcher->OnReadable();
  // A display that went away leaves its descriptor readable for ever.
  if (trap.watcher && trap.watcher->Broken()) StopWatching();
}

}  // namespace
}  // namespace vokar::keytrap

using vokar::keytrap::TheTrap;

extern "C" {

void KeyTrapStart(void) {
  auto& trap = TheTrap();
  if (trap.watcher) return;
  std::string error;
  trap.watcher = vokar::keytrap::KeyWatcher::Open(vokar::keytrap::Deliver, error);
  if (!trap.watcher) return;
  trap.watchId = vokar::desktop::WatchDescriptor(trap.watcher->fd(), vokar::keytrap::OnReadable);
  trap.watcher->SetReporting(trap.on);
  // What came with the start-up round trips waits in the connection's queue.
  vokar::keytrap::OnReadable();
}

void KeyTrapStop(void) {
  auto& trap = TheTrap();
  trap.on = false;
  trap.window = {};
  vokar::keytrap::StopWatching();
}

void KeyTrapOn(void) {
  auto& trap = TheTrap();
  trap.on = true;
  if (trap.watcher) trap.watcher->SetReporting(true);
}

void KeyTrapOff(void) {
  auto& trap = TheTrap();
  trap.on = false;
  if (trap.watcher) trap.watcher->SetReporting(false);
}

void KeyTrapSetMode(int echo) { TheTrap().mode = echo != 0 ? 1 : 0; }

int KeyTrapWatching(void) {
  const auto& trap = TheTrap();
  if (!trap.watcher) return KEYTRAP_NONE;
  return trap.watcher->XProgramsOnly() ? KEYTRAP_X_PROGRAMS_ONLY : KEYTRAP_X_SESSION;
}

}  // extern "C"
