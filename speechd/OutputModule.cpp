#include "OutputModule.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>

#include "DataDirs.h"

namespace vokar::speechd {
namespace {

using namespace std::chrono_literals;

constexpr auto kTick = 500ms;
constexpr std::size_t kReadBytes = 64 * 1024;

std::string_view OpeningReply(RequestKind kind) {
  switch (kind) {
    case RequestKind::Set: return "203 OK RECEIVING SETTINGS\n";
    case RequestKind::Audio: return "207 OK RECEIVING AUDIO SETTINGS\n";
    case RequestKind::LogLevel: return "207 OK RECEIVING LOGLEVEL SETTINGS\n";
    default: return "202 OK RECEIVING MESSAGE\n";
  }
}

// The folders searched for the voice after the current folder and PATH:
// the configured one, the suite's data folder beside the executable (the
// build tree, or bin/ of an installation) and the one an installed module
// in lib/speech-dispatcher-modules/ finds two levels up.
std::vector<std::filesystem::path> VoiceFolders(const ModuleConfig& config) {
  std::vector<std::filesystem::path> folders;
  if (config.dataDir && !config.dataDir->empty()) folders.emplace_back(*config.dataDir);
  for (const auto& folder : paths::DataDirs()) folders.push_back(folder);
  if (const auto exeDir = paths::ExecutableDir(); !exeDir.empty())
    folders.push_back((exeDir / ".." / ".." / "share" / "vokar").lexically_normal());
  return folders;
}

// Mark and icon names go out on a line of their own.
std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  return out.substr(0, kMaxMarkName);
}

}  // namespace

OutputModule::OutputModule(int in, int out, ModuleConfig config, ServerSettings settings,
                           std::unique_ptr<waveout::WaveOutBase> waveOut)
    : in_(in),
      out_(out),
      config_(std::move(config)),
      settings_(std::move(settings)),
      waveOut_(std::move(waveOut)),
      playback_(*waveOut_) {
  for (const auto& warning : config_.warnings) Log(warning);
}

OutputModule::~OutputModule() = default;

int OutputModule::Run() {
  while (!quit_) {
    if (HandleRequests()) continue;
    if (inputEnded_ || outputBroken_) break;
    Wait(-1);
  }
  return 0;
}

void OutputModule::Wait(int timeoutMs) {
  pollfd fds[2] = {{inputEnded_ ? -1 : in_, POLLIN, 0}, {waveOut_->NoticeFd(), POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeoutMs);
  if (ready <= 0) return;
  if (fds[1].revents & POLLIN) waveOut_->DeliverNotices();
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ReadInput();
}

void OutputModule::ReadInput() {
  char buffer[kReadBytes];
  const ssize_t got = ::read(in_, buffer, sizeof buffer);
  if (got > 0) {
    reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
    return;
  }
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
  // speech-dispatcher has gone: nobody is left to listen.
  inputEnded_ = true;
  if (speaking_) {
    quit_ = true;
    job_->RequestBreak();
  }
}

bool OutputModule::HandleRequests() {
  bool handled = false;
  while (!quit_) {
    auto event = reader_.Next();
    if (!event) break;
    handled = true;
    Handle(*event);
  }
  return handled;
}

void OutputModule::Handle(const ReaderEvent& event) {
  if (event.type == ReaderEvent::Type::BlockOpened) {
    Write(OpeningReply(event.request.kind));
    return;
  }
  HandleComplete(event.request);
  if (!reader_.InBlock()) FlushEvents();
}

void OutputModule::HandleComplete(const Request& request) {
  if (request.truncated) Log("a request was longer than the module takes; its end was left out");
  switch (request.kind) {
    case RequestKind::Init:
      Init();
      return;
    case RequestKind::ListVoices:
      Write("200-Vokar\tpl\tnone\n200 OK VOICE LIST SENT\n");
      return;
    case RequestKind::Set:
      for (const auto& [name, value] : request.settings)
        if (!voice_.Apply(name, value)) Log("setting not taken: " + OneLine(name) + "=" + OneLine(value));
      Write("203 OK SETTINGS RECEIVED\n");
      return;
    case RequestKind::Audio:
      // The module plays on its own wave output, whatever method the
      // server offers.
      Write("203 OK AUDIO INITIALIZED\n");
      return;
    case RequestKind::LogLevel:
      for (const auto& [name, value] : request.settings) {
        int level = 0;
        if (name == "log_level" && std::from_chars(value.data(), value.data() + value.size(), level).ec == std::errc())
          logLevel_ = level;
      }
      Write("203 OK LOG LEVEL SET\n");
      return;
    case RequestKind::Speak:
    case RequestKind::Char:
    case RequestKind::Key:
    case RequestKind::SoundIcon:
      if (!job_) {
        Write("401 ERROR NOT INITIALIZED\n");
        return;
      }
      if (speaking_) {
        Write("401 ERROR ALREADY SPEAKING\n");
        return;
      }
      Write("200 OK SPEAKING\n");
      if (request.kind == RequestKind::SoundIcon) SoundIcon(request.text);
      else if (request.kind == RequestKind::Char) Speak(CharacterForEngine(request.text, Options()));
      else if (request.kind == RequestKind::Key) Speak(KeyForEngine(request.text, Options()));
      else Speak(ForEngine(ReadSsml(request.text), Options()));
      return;
    case RequestKind::Stop:
      Stop();
      return;
    case RequestKind::Pause:
      if (speaking_) pauseRequested_ = true;
      return;
    case RequestKind::Quit:
      Write("210 OK QUIT\n");
      quit_ = true;
      if (speaking_) job_->RequestBreak();
      return;
    case RequestKind::Unknown:
      Write("300 ERROR UNKNOWN COMMAND\n");
      return;
  }
}

void OutputModule::Init() {
  if (job_) {
    Write("299-Vokar: ready\n299 OK LOADED SUCCESSFULLY\n");
    return;
  }
  lastMessage_.clear();
  if (!db_.LoadAllophoneFile({"pl_22.alf", VoiceFolders(config_)}, settings_.speech, *this)) {
    std::string reason = lastMessage_.empty() ? "the voice pl_22.alf cannot be loaded" : lastMessage_;
    reason = OneLine(reason);
    Write("399-Vokar: " + reason + "\n399 ERR CANT INIT MODULE\n");
    return;
  }
  const std::optional<std::string> dictionary = config_.dictionary ? config_.dictionary : settings_.dictionary;
  if (dictionary && !dictionary->empty()) {
    haveDictionary_ = dictionary_.Load(*dictionary);
    if (!haveDictionary_) Log("the exception dictionary " + *dictionary + " cannot be read; reading without it");
  }
  job_ = std::make_unique<CReadingJob>(ReadingJobContext{settings_.speech, db_, haveDictionary_ ? &dictionary_ : nullptr,
                                                         *this, *this, playback_, device_},
                                      FinalPause::LeftOut);
  job_->state.deviceTimeout = settings_.deviceTimeout;
  if (waveOut_->DeviceCount() == 0 && !waveOut_->Caps(kWaveMapper))
    Log("there is no sound device now; messages will end with STOP until one comes");
  Write("299-Vokar: ready\n299 OK LOADED SUCCESSFULLY\n");
}

TextOptions OutputModule::Options() const {
  TextOptions options;
  options.punctuation = voice_.punctuation;
  options.namePunctuation = config_.speakPunctuation;
  if (config_.someMarks) options.someMarks = *config_.someMarks;
  if (config_.mostMarks) options.mostMarks = *config_.mostMarks;
  options.spelling = voice_.spelling;
  options.capitals = voice_.capitals;
  return options;
}

int OutputModule::Device() const {
  const int number = config_.device.value_or(settings_.waveDevice);
  const int count = waveOut_->DeviceCount();
  if (number <= 0 || count <= 0) return kWaveMapper;
  return std::min(number, count) - 1;
}

void OutputModule::Speak(const EngineText& text) {
  speaking_ = true;
  begun_ = false;
  stopRequested_ = pauseRequested_ = pausedAtMark_ = failed_ = false;
  marks_ = text.marks;
  nextMark_ = 0;
  dueMarks_.clear();
  ProsodySettings& prosody = settings_.speech.prosody;
  SetSpeedSlider(-SpeedOfRate(voice_.rate, prosody.keepPitch ? SpeedBy::Tempo : SpeedBy::PlaybackRate));
  prosody.pitchSemitones = SemitonesOfPitch(voice_.pitch);
  prosody.rangeScale = ScaleOfPitchRange(voice_.pitchRange);
  device_ = Device();
  waveOut_->SetVolume(device_, VolumeWordOf(LevelOfVolume(voice_.volume), 50));
  nextTick_ = Clock::now() + kTick;

  job_->ReadText(text.text);

  speaking_ = false;
  // Nothing follows the answer to QUIT.
  if (quit_) return;
  if (!begun_) Event("701 BEGIN\n");
  if (stopRequested_ || failed_) {
    Event("703 STOP\n");
  } else if (pausedAtMark_) {
    Event("704 PAUSE\n");
  } else {
    // The marks after the last sound: the text has been read past them.
    pauseRequested_ = false;
    while (!dueMarks_.empty()) {
      const std::size_t index = dueMarks_.front().index;
      dueMarks_.pop_front();
      EmitMark(index);
    }
    for (; nextMark_ < marks_.size(); ++nextMark_) EmitMark(nextMark_);
    Event("702 END\n");
  }
  dueMarks_.clear();
}

void OutputModule::SoundIcon(std::string_view name) {
  // speech-dispatcher plays its own sound icons.
  Event("701 BEGIN\n706-" + OneLine(name) + "\n706 ICON\n702 END\n");
}

void OutputModule::Stop() {
  if (!speaking_ || stopRequested_) return;
  stopRequested_ = true;
  dueMarks_.clear();
  job_->RequestBreak();
}

void OutputModule::ChunkPlaying(const CUtterance& utterance) {
  const Clock::time_point start = Clock::now();
  if (!begun_) {
    Event("701 BEGIN\n");
    begun_ = true;
  }
  // Marks of the last chunk that a quick device left behind come first.
  EmitDueMarks(Clock::time_point::max());
  const auto& tokens = utterance.Tokens();
  const auto& offsets = utterance.chunkTokenOffsets;
  const std::uint32_t bytesPerSecond = std::max<std::uint32_t>(utterance.chunk.format.avgBytesPerSec, 1);
  // A mark is reached when the first token that begins at or after it starts
  // to sound; a mark beyond this chunk's tokens waits for a later chunk.
  std::size_t token = 0;
  for (; nextMark_ < marks_.size(); ++nextMark_) {
    const std::size_t place = marks_[nextMark_].offset;
    while (token < offsets.size() && tokens[utterance.chunkFirstToken + token].textPosition < place) ++token;
    if (token == offsets.size()) break;
    const auto delay = std::chrono::nanoseconds(static_cast<std::int64_t>(
        static_cast<double>(offsets[token]) * 1e9 / static_cast<double>(bytesPerSecond)));
    dueMarks_.push_back({start + std::chrono::duration_cast<Clock::duration>(delay), nextMark_});
  }
  EmitDueMarks(Clock::now());
}

void OutputModule::EmitDueMarks(Clock::time_point now) {
  while (!dueMarks_.empty() && dueMarks_.front().at <= now) {
    const std::size_t index = dueMarks_.front().index;
    dueMarks_.pop_front();
    EmitMark(index);
  }
}

void OutputModule::EmitMark(std::size_t index) {
  if (stopRequested_ || pausedAtMark_ || quit_) return;
  const std::string& name = marks_[index].name;
  Event("700-" + name + "\n700 INDEX MARK\n");
  // A pause stops at the first mark of speech-dispatcher's own, the place
  // it resumes from.
  if (pauseRequested_ && name.starts_with("__spd_")) {
    pausedAtMark_ = true;
    dueMarks_.clear();
    job_->RequestBreak();
  }
}

void OutputModule::PumpPendingMessages() {
  EmitDueMarks(Clock::now());
  if (HandleRequests()) return;
  auto now = Clock::now();
  if (now < nextTick_) {
    Clock::time_point wake = nextTick_;
    if (!dueMarks_.empty()) wake = std::min(wake, dueMarks_.front().at);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
    Wait(static_cast<int>(std::clamp<long long>(wait, 0, 500)));
    HandleRequests();
    now = Clock::now();
    EmitDueMarks(now);
  }
  if (now >= nextTick_) {
    nextTick_ = now + kTick;
    job_->Tick();
  }
}

void OutputModule::ShowMessage(std::string_view utf8Text, MessageIcon) {
  std::string text(utf8Text);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  lastMessage_ = text;
  failed_ = true;
  Log(text);
}

void OutputModule::Write(std::string_view lines) {
  while (!lines.empty() && !outputBroken_) {
    const ssize_t wrote = ::write(out_, lines.data(), lines.size());
    if (wrote > 0) {
      lines.remove_prefix(static_cast<std::size_t>(wrote));
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno == EAGAIN) {
      pollfd fd{out_, POLLOUT, 0};
      ::poll(&fd, 1, 1000);
      continue;
    }
    // speech-dispatcher no longer reads: end as if it had said QUIT.
    outputBroken_ = true;
    quit_ = true;
    if (speaking_) job_->RequestBreak();
  }
}

void OutputModule::Event(std::string lines) {
  if (reader_.InBlock()) {
    heldEvents_.push_back(std::move(lines));
    return;
  }
  FlushEvents();
  Write(lines);
}

void OutputModule::FlushEvents() {
  while (!heldEvents_.empty()) {
    const std::string lines = std::move(heldEvents_.front());
    heldEvents_.pop_front();
    Write(lines);
  }
}

void OutputModule::Log(std::string_view line) const {
  if (logLevel_ <= 0) return;
  std::cerr << "sd_vokar: " << line << std::endl;
}

}  // namespace vokar::speechd
