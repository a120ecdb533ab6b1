// The window a reading job runs in when vksay reads aloud: a plain loop that
// delivers the device's done notices, ticks the job's 500 ms timer, and turns
// Ctrl+C into a break request, so the job ends as it would on the break
// button.
#pragma once

#include <chrono>

#include "ReadingJob.h"
#include "WaveOut.h"

namespace vokar::vksay {

class ConsoleWindow final : public CHeadlessReadingWindow {
 public:
  ConsoleWindow(IWaveOut& out, int speedPercent) : CHeadlessReadingWindow(-speedPercent), out_(out) {}

  // The job whose timer and break requests this window drives.
  void Attach(CReadingJob& job) { job_ = &job; }

  // Installs the Ctrl+C handler; the first Ctrl+C breaks the job.
  static void CatchInterrupt();
  static bool Interrupted();

  void PumpPendingMessages() override;

 private:
  IWaveOut& out_;
  CReadingJob* job_ = nullptr;
  std::chrono::steady_clock::time_point nextTick_ = std::chrono::steady_clock::now();
};

}  // namespace vokar::vksay
