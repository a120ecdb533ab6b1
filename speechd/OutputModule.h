// sd_vokar's core: speaks speech-dispatcher's output-module protocol on two
// file descriptors and reads each message with our engine's reading job on
// the module's own wave output. One thread: while the job speaks, its message
// pump reads further requests (STOP, PAUSE, QUIT), delivers the device's done
// notices, ticks the job's timer and reports the index marks when the speech
// reaches them. Events (BEGIN, INDEX MARK, END, STOP, PAUSE) never come
// between a request and its reply.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AllophoneDb.h"
#include "EngineText.h"
#include "ExceptionDict.h"
#include "ModuleConfig.h"
#include "Protocol.h"
#include "ReadingJob.h"
#include "ServerSettings.h"
#include "VoiceSettings.h"
#include "WaveOutBase.h"

namespace vokar::speechd {

class OutputModule final : private CHeadlessReadingWindow, private IMessageSink {
 public:
  // Requests are read from `in`, replies and events written to `out`; the
  // log goes to standard error, which speech-dispatcher keeps in its log
  // folder.
  OutputModule(int in, int out, ModuleConfig config, ServerSettings settings,
               std::unique_ptr<waveout::WaveOutBase> waveOut);
  ~OutputModule() override;

  // Serves requests until QUIT or the end of the input; the exit status.
  int Run();

 private:
  using Clock = std::chrono::steady_clock;

  struct DueMark {
    Clock::time_point at;
    std::size_t index;  // into marks_
  };

  // IReadingWindow
  void PumpPendingMessages() override;
  void ChunkPlaying(const CUtterance& utterance) override;

  // IMessageSink: the engine's messages go to the log and end the message.
  void ShowMessage(std::string_view utf8Text, MessageIcon icon) override;

  // Waits up to timeoutMs for input or a done notice and takes what came;
  // false when the input has ended.
  void Wait(int timeoutMs);
  void ReadInput();
  // Handles every request the reader holds; true when there was one.
  bool HandleRequests();
  void Handle(const ReaderEvent& event);
  void HandleComplete(const Request& request);

  void Init();
  void Speak(const EngineText& text);
  void SoundIcon(std::string_view name);
  void Stop();

  void EmitDueMarks(Clock::time_point now);
  void EmitMark(std::size_t index);

  void Write(std::string_view lines);
  void Event(std::string lines);
  void FlushEvents();
  void Log(std::string_view line) const;

  TextOptions Options() const;
  int Device() const;

  int in_;
  int out_;
  ModuleConfig config_;
  ServerSettings settings_;
  std::unique_ptr<waveout::WaveOutBase> waveOut_;
  WavePlayback playback_;
  RequestReader reader_;
  VoiceSettings voice_;

  CAllophoneDb db_;
  CExceptionDict dictionary_;
  bool haveDictionary_ = false;
  bool initialised_ = false;
  int device_ = kWaveMapper;
  std::unique_ptr<CReadingJob> job_;

  bool inputEnded_ = false;
  bool outputBroken_ = false;
  bool quit_ = false;
  int logLevel_ = 3;
  std::deque<std::string> heldEvents_;
  std::string lastMessage_;  // the engine's last message, for the INIT answer
  Clock::time_point nextTick_;

  // The message being spoken.
  bool speaking_ = false;
  bool begun_ = false;
  bool stopRequested_ = false;
  bool pauseRequested_ = false;
  bool pausedAtMark_ = false;
  bool failed_ = false;
  std::vector<IndexMark> marks_;
  std::size_t nextMark_ = 0;      // the first mark not yet placed in a chunk
  std::deque<DueMark> dueMarks_;  // placed and waiting for their time
};

}  // namespace vokar::speechd
