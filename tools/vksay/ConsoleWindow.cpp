#include "ConsoleWindow.h"

#include <algorithm>
#include <csignal>

namespace vokar::vksay {
namespace {

using namespace std::chrono_literals;

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

constexpr std::chrono::milliseconds kTick{500};
// The device's wait goes on through a signal, so Ctrl+C is looked at between
// waits of at most this long.
constexpr std::chrono::milliseconds kLongestWait{50};

}  // namespace

void ConsoleWindow::CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait for the device ends at once on Ctrl+C.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool ConsoleWindow::Interrupted() { return interrupted != 0; }

void ConsoleWindow::PumpPendingMessages() {
  using std::chrono::steady_clock;
  auto now = steady_clock::now();
  if (now < nextTick_ && !interrupted) {
    const auto untilTick = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick_ - now) + 1ms;
    out_.WaitForNotice(static_cast<int>(std::min(untilTick, kLongestWait).count()));
    now = steady_clock::now();
  }
  out_.DeliverNotices();
  if (now >= nextTick_) {
    nextTick_ = now + kTick;
    if (job_) job_->Tick();
  }
  if (interrupted && job_ && job_->Busy() && !job_->state.breakFlag) job_->RequestBreak();
}

}  // namespace vokar::vksay
