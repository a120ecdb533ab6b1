#include "ReadingJob.h"

#include <algorithm>
#include <cmath>

#include "AllophoneIndex.h"
#include "TextScanner.h"

namespace vokar {

int SpeedOfTag(int argument) {
  const int speed = argument - 1 - 50;
  // The slider's top position is +50; a tag reaches it only with 99.
  if (speed == 49) return 50;
  return std::clamp(speed, -49, 48);
}

void VolumeAndBalanceOf(std::uint32_t volumeWord, int& volume, int& balance) {
  if (volumeWord == 0) return;
  const double left = volumeWord & 0xFFFF;
  const double right = volumeWord >> 16;
  if (left < right) balance = static_cast<int>(std::floor(99.5 - 50.0 * left / right));
  else if (left > 0) balance = static_cast<int>(std::floor(50.0 * right / left + 0.5));
  else balance = 50;
  balance = std::clamp(balance, 0, 99);
  volume = std::clamp(static_cast<int>(std::max(left, right) * 100.0 / 65535.0 + 0.5), 0, 99);
}

std::uint32_t VolumeWordOf(int volume, int balance) {
  const std::uint32_t full = static_cast<std::uint32_t>(std::clamp(volume, 0, 100)) * 65535u / 100u;
  balance = std::clamp(balance, 0, 100);
  // The louder side has the full level; the other falls off towards the
  // edge, silent at 0 (left only) or 100 (right only).
  const std::uint32_t left = balance <= 50 ? full : full * static_cast<std::uint32_t>(100 - balance) / 50u;
  const std::uint32_t right = balance >= 50 ? full : full * static_cast<std::uint32_t>(balance) / 50u;
  return left | (right << 16);
}

void CReadingJob::RequestPause() { state.stopped = !state.stopped; }

void CReadingJob::RequestBreak() {
  if (state.busyCount == 0) return;
  state.breakFlag = true;
  state.stopped = false;
}

void CReadingJob::RestoreSettings() {
  if (remote_) {
    ownSlider_.reset();
    ownSettings_.Forget();
  } else {
    context_.window.SetSpeedSlider(-state.savedSpeed);
    context_.settings.SetColloquialSpeech(state.savedColloquial);
  }
  if (state.savedDeviceVolume != 0) SetDeviceVolume(context_.playback, context_.device, state.savedDeviceVolume);
}

int CReadingJob::Slider() const { return remote_ && ownSlider_ ? *ownSlider_ : context_.window.SpeedSlider(); }

void CReadingJob::MoveSlider(int position) {
  if (remote_) ownSlider_ = std::clamp(position, -50, 50);
  else context_.window.SetSpeedSlider(position);
}

void CReadingJob::EndRemoteReading() {
  ownSlider_.reset();
  ownSettings_.Forget();
  // The level as it was, silence included; nothing on a device without
  // volume control.
  if (levelChanged_) SetDeviceLevel(context_.playback, context_.device, state.savedDeviceVolume);
  state.balance = savedBalance_;
  levelChanged_ = false;
  remote_ = false;
}

void CReadingJob::ReadText(std::string_view text, TextOrigin origin) {
  text = text.substr(0, text.find('\0'));
  if (state.busyCount > 0 || text.empty() || !context_.db.Loaded()) return;
  IReadingWindow& window = context_.window;

  ++state.busyCount;
  state.breakFlag = false;
  state.stopped = false;
  failed_ = false;
  remote_ = origin == TextOrigin::Remote;
  ownSlider_.reset();
  ownSettings_.Forget();
  levelChanged_ = false;
  savedBalance_ = state.balance;
  window.RefreshReadState();
  window.EnterJob();

  state.savedSpeed = -window.SpeedSlider();
  state.savedColloquial = context_.settings.ColloquialSpeech();
  state.volume = 50;
  state.savedDeviceVolume = GetDeviceVolume(context_.playback, context_.device);
  VolumeAndBalanceOf(state.savedDeviceVolume, state.volume, state.balance);

  try {
    ISpeechSettings& settings = remote_ ? static_cast<ISpeechSettings&>(ownSettings_) : context_.settings;
    CTextScanner scanner(text, {settings, context_.db, context_.dictionary, context_.messages});
    while (!Aborted()) {
      CUtterance* utterance = scanner.NextUtterance();
      if (utterance == nullptr) break;
      if (finalPause_ == FinalPause::LeftOut && scanner.AtEndOfText()) LeaveOutFinalPause(*utterance);
      while (!Aborted() && RenderNextChunk(*utterance, context_.db, *this)) {
        if (!PlayChunk(*utterance)) break;
        window.ChunkPlaying(*utterance);
        WaitForChunk(*utterance);
      }
      utterance->chunk.Stop();
    }
  } catch (...) {
    // An engine failure ends the job quietly, as a break would.
  }

  const bool aborted = Aborted();
  if (remote_) EndRemoteReading();
  else if (aborted) RestoreSettings();
  window.LeaveJob(aborted);
  if (window.QuitAfterReading()) window.PostExit();
  --state.busyCount;
  state.stopped = true;
  window.RefreshReadState();
}

void CReadingJob::LeaveOutFinalPause(CUtterance& utterance) const {
  const CAllophoneDb& db = context_.db;
  auto& tokens = utterance.Tokens();
  // From the end back to the last sound: pause entries go, tags without
  // sound (a reset) are passed over, a wave insert is sound.
  for (std::size_t t = tokens.size(); t-- > 0;) {
    CWordToken& token = tokens[t];
    if (token.control) {
      if (token.allophones.size() >= 2 &&
          token.allophones[0].index - allo::kControlBase == static_cast<int>(ControlCode::WaveInsert))
        return;
      continue;
    }
    if (token.allophoneList) return;
    auto& allophones = token.allophones;
    while (!allophones.empty() &&
           (allophones.back().index >= allo::kNothing || (db.ClassBits(allophones.back().index) & classbits::kPause)))
      allophones.pop_back();
    if (!allophones.empty()) return;
  }
}

std::optional<ChunkShaping> CReadingJob::Shaping() const {
  const ProsodySettings prosody = context_.settings.Prosody();
  if (!prosody.intonation && !prosody.keepPitch) return std::nullopt;
  return ChunkShaping{prosody, -Slider()};
}

// A device that refuses 16-bit samples gets the chunk in the voice's 8 bits.
static void NarrowTo8Bits(CUtterance& utterance, const WaveFormat& voiceFormat) {
  auto& samples = utterance.chunk.samples;
  const std::size_t count = samples.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    const auto value = static_cast<std::int16_t>(samples[2 * i] | (samples[2 * i + 1] << 8));
    samples[i] = static_cast<std::uint8_t>(std::clamp((value + 32768 + 128) >> 8, 0, 255));
  }
  samples.resize(count);
  for (auto& offset : utterance.chunkTokenOffsets) offset /= 2;
  utterance.chunkFormat = voiceFormat;
}

bool CReadingJob::PlayChunk(CUtterance& utterance) {
  IReadingWindow& window = context_.window;
  const int timeout = state.deviceTimeout * 1000 / 500;
  // A shaped chunk that keeps the pitch has its speed in it already.
  const bool speedInChunk = utterance.chunkFormat != context_.db.Format() && context_.settings.Prosody().keepPitch;
  auto play = [&] {
    utterance.chunk.format = utterance.chunkFormat;
    return utterance.chunk.PlayBuffer(context_.playback, context_.device, speedInChunk ? 0 : -Slider());
  };
  // The device refused the rate: bring the speed one step at a time towards
  // normal, so that the text plays as near its speed as the device allows. A
  // refused normal speed ends the job with the message. The slider has 100
  // steps on either side at most, whatever the window makes of a position.
  auto playAtARateTheDeviceTakes = [&] {
    int result = play();
    if (result == kMsgBadWaveFormat && utterance.chunkFormat.bitsPerSample == 16) {
      NarrowTo8Bits(utterance, context_.db.Format());
      result = play();
    }
    for (int step = 0; result == kMsgBadWaveFormat && Slider() != 0 && step < 100; ++step) {
      const int slider = Slider();
      MoveSlider(slider > 0 ? slider - 1 : slider + 1);
      result = play();
    }
    return result;
  };
  int result = playAtARateTheDeviceTakes();
  if (result == kMsgDeviceBusy) {
    state.tickCounter = 0;
    int lastTick = 0;
    // One round at least, so that a timeout of 0 still tries once more. A
    // device that comes free may still refuse the rate.
    do {
      window.PumpPendingMessages();
      if (state.tickCounter != lastTick) {
        lastTick = state.tickCounter;
        result = playAtARateTheDeviceTakes();
      }
    } while (result == kMsgDeviceBusy && !Aborted() && state.tickCounter < timeout);
    if (result != 0 && !Aborted()) {
      context_.messages.ShowMessage(MessageText(result), MessageIcon::Stop);
      failed_ = true;
    }
    return result == 0;
  }
  if (result == -1) return false;
  if (result != 0) {
    context_.messages.ShowMessage(MessageText(result), MessageIcon::Stop);
    failed_ = true;
    return false;
  }
  return true;
}

void CReadingJob::WaitForChunk(CUtterance& utterance) {
  bool stopped = state.stopped;
  while ((!Aborted() && !context_.playback.done) || state.stopped) {
    context_.window.PumpPendingMessages();
    if (state.stopped != stopped) {
      stopped = state.stopped;
      context_.window.RefreshReadState();
      if (stopped) utterance.chunk.Pause();
      else utterance.chunk.Restart();
    }
  }
  utterance.chunk.Stop();
}

void CReadingJob::SelectDevice(int number) {
  const int count = context_.playback.out.DeviceCount();
  if (count <= 0) return;
  context_.device = number == 0 ? kWaveMapper : std::min(number, count) - 1;
}

void CReadingJob::ApplyVolume() {
  // A volume of 0 is silence: the word 0 is set as well (the speech still
  // takes its time), and the balance is kept for the next volume tag.
  SetDeviceLevel(context_.playback, context_.device, VolumeWordOf(state.volume, state.balance));
}

void CReadingJob::ApplyControl(ControlCode code, int argument, CUtterance& utterance) {
  IReadingWindow& window = context_.window;
  switch (code) {
    case ControlCode::Device:
      // The device is this computer's choice, never another computer's.
      if (!remote_) SelectDevice(argument - 1);
      break;
    case ControlCode::Pitch:
    case ControlCode::Speed:
      MoveSlider(-SpeedOfTag(argument));
      break;
    case ControlCode::Balance:
      state.balance = argument - 1 == 99 ? 100 : argument - 1;
      ApplyVolume();
      levelChanged_ = true;
      break;
    case ControlCode::Volume:
      state.volume = argument - 1;
      ApplyVolume();
      levelChanged_ = true;
      break;
    case ControlCode::Reset:
      RestoreSettings();
      break;
    case ControlCode::WaveInsert:
      // No file of this computer is played for another computer's text.
      if (remote_) break;
      // A break also ends a long insert; the device is stopped either way.
      PlayInsert(
          utterance.waveInsert, context_.playback, context_.device, [&] { window.PumpPendingMessages(); },
          [&] { return Aborted(); });
      break;
    case ControlCode::AllophoneList:
      break;
  }
}

}  // namespace vokar
