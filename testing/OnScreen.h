// Steps of a test on an X session of its own: waiting for a condition,
// xdotool on the session's display, and whether a window of a title is on
// the screen (waking the window manager while it is asked).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// X11's headers define macros (None, Status) that other headers trip over:
// whoever includes this includes it last.
#include "WakeWindowManager.h"
#include "XSession.h"

namespace vokar::testing {

// Checks the condition every 50 ms until it holds or the time is up; whether
// it held.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// xdotool with these arguments; its exit status.
inline int Xdotool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "xdotool");
  return RunProgram(arguments);
}

// Whether a window whose title matches the pattern is shown.
inline bool Shown(const std::string& titlePattern) {
  WakeWindowManager();
  return Xdotool({"search", "--onlyvisible", "--name", titlePattern}) == 0;
}

}  // namespace vokar::testing
