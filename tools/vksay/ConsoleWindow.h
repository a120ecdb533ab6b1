// The window a reading job runs in when vksay reads aloud: a plain loop that
// delivers the device's done notices, ticks the job's 500 ms timer, and turns
// Ctrl+C into a break request, so the job ends as it would on the break
// button.
#pragma once

#include <chrono>

#include "ReadingJob.h"
#include "WaveOut.h"

namespace vokar::vksay {

class ConsoleWindow final : public IReadingWindow {
 public:
  ConsoleWindow(IWaveOut& out, int speedPercent) : out_(out), slider_(-speedPercent) {}

  // The job whose timer and break requests this window drives.
  void Attach(CReadingJob& job) { job_ = &job; }

  // Installs the Ctrl+C handler; the first Ctrl+C breaks the job.
  static void CatchInterrupt();
  static bool Interrupted();

  void PumpPendingMessages() override;
  void RefreshReadState() override {}
  void EnterJob() override {}
  void LeaveJob(bool) override {}
  int SpeedSlider() const override { return slider_; }
  void SetSpeedSlider(int position) override { slider_ = position; }
  bool QuitAfterReading() const override { return false; }
  void PostExit() override {}

 private:
  IWaveOut& out_;
  CReadingJob* job_ = nullptr;
  int slider_;
  std::chrono::steady_clock::time_point nextTick_ = std::chrono::steady_clock::now();
};

}  // namespace vokar::vksay
