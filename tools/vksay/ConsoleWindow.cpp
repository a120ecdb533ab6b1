#include "ConsoleWindow.h"

#include <csignal>

namespace vokar::vksay {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

constexpr std::chrono::milliseconds kTick{500};

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
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick_ - now).count() + 1;
    out_.WaitForNotice(static_cast<int>(wait));
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
