// The reading job: turns the current text into sound, sentence by sentence
// and chunk by chunk, while the window's messages keep flowing so that pause
// and break requests are heard. It owns the start and end of a job: button
// states, the saved speed and volume, the busy-device retry and the restore
// after a broken job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "AllophoneDb.h"
#include "Assembly.h"
#include "ExceptionDict.h"
#include "Messages.h"
#include "OwnReadingSettings.h"
#include "SpeechSettings.h"
#include "WaveData.h"

namespace vokar {

// Implemented by the window the job runs in: the server's main window, vksay
// and the tests. Every call is made on the window's thread.
class IReadingWindow {
 public:
  virtual ~IReadingWindow() = default;

  // Handles the messages that wait; when none waits, waits for the next one.
  // A 500 ms timer (which calls CReadingJob::Tick) and the device's done
  // notices wake it. Pause and break requests arrive through here.
  virtual void PumpPendingMessages() = 0;

  // The read button's caption and the tray icon follow the stopped flag.
  virtual void RefreshReadState() = 0;

  // Controls during a job: the read button becomes "Pauza", break enabled,
  // the test, info, hot-key and dictionary buttons and dropping of files
  // disabled; the start-up logo closes. LeaveJob undoes it; after a broken
  // job the focus returns to the read button.
  virtual void EnterJob() = 0;
  virtual void LeaveJob(bool aborted) = 0;

  // The speed slider, -50 to +50; the speech speed in percent is its
  // negated position.
  virtual int SpeedSlider() const = 0;
  virtual void SetSpeedSlider(int position) = 0;

  // Set when the program should end after every job; the job then asks the
  // window to close with PostExit.
  virtual bool QuitAfterReading() const = 0;
  virtual void PostExit() = 0;

  // The utterance's chunk has started to play, in the format it plays at
  // (the speed applied); for hosts that follow the speech through the text.
  // The default does nothing.
  virtual void ChunkPlaying(const CUtterance& utterance) { (void)utterance; }
};

// The window of a job that runs without a screen (vksay, sd_vokar, the
// benchmarks): no controls follow the job, the speed slider is a number, and
// the program does not end after reading. What is left is the message pump.
class CHeadlessReadingWindow : public IReadingWindow {
 public:
  explicit CHeadlessReadingWindow(int slider = 0) : slider_(slider) {}

  void RefreshReadState() override {}
  void EnterJob() override {}
  void LeaveJob(bool aborted) override { (void)aborted; }
  int SpeedSlider() const override { return slider_; }
  void SetSpeedSlider(int position) override { slider_ = position; }
  bool QuitAfterReading() const override { return false; }
  void PostExit() override {}

 private:
  int slider_;
};

// The reading state the window keeps for the job; touched only on the
// window's thread.
struct ReadingState {
  int busyCount = 0;
  bool breakFlag = false;
  bool stopped = true;  // 1 while paused and when idle
  int tickCounter = 0;
  int savedSpeed = 0;
  bool savedColloquial = false;
  std::uint32_t savedDeviceVolume = 0;
  int volume = 50;   // 0-99, the level of the volume tag
  int balance = 50;  // 0 left only, 50 centre, 100 right only
  int deviceTimeout = 5;  // seconds to wait for a busy device, 0-60
};

struct ReadingJobContext {
  ISpeechSettings& settings;
  const CAllophoneDb& db;
  const CExceptionDict* dictionary;  // nullptr when there is none
  IMessageSink& messages;
  IReadingWindow& window;
  WavePlayback& playback;
  // The wave device: kWaveMapper or a device number; the device tag changes it.
  int& device;
};

// Whether the pause after the last sentence of a text is played. The server
// plays it; a screen reader's module leaves it out, so that its next message
// follows at once and the end of the message is reported when the last sound
// has played.
enum class FinalPause { Played, LeftOut };

// Where a text comes from. A text from another computer (through the network
// share) shapes only its own reading: its speed, pronunciation, volume and
// balance tags act while it is read, but on a speed and a switch of the
// reading's own, never on the window's slider or check box; its device tag is
// ignored and no wave insert plays; and when it ends, however it ends, the
// device's volume and the balance are as they were before it. Nothing of it
// is left for the next text or written into the settings.
enum class TextOrigin { Local, Remote };

class CReadingJob final : private IControlHandler {
 public:
  explicit CReadingJob(ReadingJobContext context, FinalPause finalPause = FinalPause::Played)
      : context_(context), finalPause_(finalPause), ownSettings_(context.settings) {}

  // Reads the text (code page 1250, ending at its first NUL) to its end, to a
  // break or to an error. Returns at once when a job is running, the text is
  // empty or no allophones are loaded.
  void ReadText(std::string_view text, TextOrigin origin = TextOrigin::Local);

  // Toggles the stopped flag (pause and resume).
  void RequestPause();
  // Ends the running job: sets the break flag and clears the stopped flag.
  void RequestBreak();
  // The window's 500 ms timer.
  void Tick() { ++state.tickCounter; }

  // Speed slider, pronunciation switch and device volume back to the values
  // saved at the start of the job (for a text from another computer: its own
  // speed and switch forgotten, the device volume back).
  void RestoreSettings();

  bool Busy() const { return state.busyCount > 0; }

  ReadingState state;

 private:
  void ApplyControl(ControlCode code, int argument, CUtterance& utterance) override;
  // The prosody stage shapes the speech unless both its switches are off;
  // with the pitch kept it makes the speed of the slider and the tags.
  std::optional<ChunkShaping> Shaping() const override;
  // Plays the utterance's chunk with the retries for a refused format and a
  // busy device; false when the job must end.
  bool PlayChunk(CUtterance& utterance);
  void WaitForChunk(CUtterance& utterance);
  bool Aborted() const { return state.breakFlag || failed_; }
  void ApplyVolume();
  void SelectDevice(int number);
  // The slider position the job plays at and moves: the window's, or the
  // reading's own for a text from another computer.
  int Slider() const;
  void MoveSlider(int position);
  // The end of a text from another computer: its own speed and switch
  // forgotten, the device volume and the balance as they were.
  void EndRemoteReading();

  // Silences the pauses that end the text's last sentence.
  void LeaveOutFinalPause(CUtterance& utterance) const;

  ReadingJobContext context_;
  FinalPause finalPause_;
  bool failed_ = false;
  bool remote_ = false;
  COwnReadingSettings ownSettings_;
  std::optional<int> ownSlider_;
  bool levelChanged_ = false;
  int savedBalance_ = 50;
};

// The speed of a speed tag's stored argument (the value plus one).
int SpeedOfTag(int argument);
// The level and balance a device volume word stands for, as the job reads
// them at its start; nothing changes for a word of 0.
void VolumeAndBalanceOf(std::uint32_t volumeWord, int& volume, int& balance);
// The volume word of a level (0-99) split by a balance (0-100).
std::uint32_t VolumeWordOf(int volume, int balance);

}  // namespace vokar
