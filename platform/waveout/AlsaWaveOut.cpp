#include "AlsaWaveOut.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

namespace vokar::waveout {
namespace {

constexpr unsigned kBufferMicros = 200000;
constexpr unsigned kPeriodMicros = 50000;

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct HwParamsFree {
  void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};
struct SwParamsFree {
  void operator()(snd_pcm_sw_params_t* params) const { snd_pcm_sw_params_free(params); }
};

std::string JoinLines(const char* text) {
  std::string joined;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      joined += ", ";
    } else {
      joined += *p;
    }
  }
  return joined;
}

WaveOutResult OpenFailure(int err) {
  if (err == -EBUSY) return WaveOutResult::Allocated;
  if (err == -ENOMEM) return WaveOutResult::NoMemory;
  return WaveOutResult::Error;
}

snd_pcm_format_t AlsaFormat(SampleType type) {
  return type == SampleType::U8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

struct Negotiated {
  PcmLayout out;
  snd_pcm_uframes_t period = 0;
  snd_pcm_uframes_t buffer = 0;
  bool canPause = false;
};

// Settles the sample type, channels and rate with the PCM. The source's own
// sample type is tried first, then 16 bits (8-bit samples widen without
// loss); the channel count the balance asks for first, then the other one.
// The rate must be taken exactly: a device that cannot play it refuses the
// format, and the caller decides what to do about it.
WaveOutResult Negotiate(snd_pcm_t* pcm, const PcmLayout& in, Gains gains, Negotiated& result) {
  snd_pcm_hw_params_t* rawHw = nullptr;
  if (snd_pcm_hw_params_malloc(&rawHw) < 0) return WaveOutResult::NoMemory;
  std::unique_ptr<snd_pcm_hw_params_t, HwParamsFree> hw(rawHw);
  if (snd_pcm_hw_params_any(pcm, hw.get()) < 0) return WaveOutResult::Error;
  if (snd_pcm_hw_params_set_access(pcm, hw.get(), SND_PCM_ACCESS_RW_INTERLEAVED) < 0) return WaveOutResult::Error;

  PcmLayout out = in;
  std::vector<SampleType> types{in.type};
  if (in.type == SampleType::U8) types.push_back(SampleType::S16);
  const auto type = std::find_if(types.begin(), types.end(), [&](SampleType t) {
    return snd_pcm_hw_params_test_format(pcm, hw.get(), AlsaFormat(t)) == 0;
  });
  if (type == types.end() || snd_pcm_hw_params_set_format(pcm, hw.get(), AlsaFormat(*type)) < 0)
    return WaveOutResult::BadFormat;
  out.type = *type;

  const unsigned preferred = OutputChannels(in, gains);
  const unsigned channels[] = {preferred, preferred == 1 ? 2u : 1u};
  const auto count = std::find_if(std::begin(channels), std::end(channels), [&](unsigned c) {
    return snd_pcm_hw_params_test_channels(pcm, hw.get(), c) == 0;
  });
  if (count == std::end(channels) || snd_pcm_hw_params_set_channels(pcm, hw.get(), *count) < 0)
    return WaveOutResult::BadFormat;
  out.channels = *count;

  if (snd_pcm_hw_params_test_rate(pcm, hw.get(), in.rate, 0) != 0 ||
      snd_pcm_hw_params_set_rate(pcm, hw.get(), in.rate, 0) < 0)
    return WaveOutResult::BadFormat;

  // Latency only matters for how soon a pause is heard when the device
  // cannot pause itself; these are wishes, and the device has the last word.
  unsigned bufferMicros = kBufferMicros;
  unsigned periodMicros = kPeriodMicros;
  snd_pcm_hw_params_set_buffer_time_near(pcm, hw.get(), &bufferMicros, nullptr);
  snd_pcm_hw_params_set_period_time_near(pcm, hw.get(), &periodMicros, nullptr);
  if (const int err = snd_pcm_hw_params(pcm, hw.get()); err < 0)
    return err == -ENOMEM ? WaveOutResult::NoMemory : WaveOutResult::Error;
  snd_pcm_hw_params_get_period_size(hw.get(), &result.period, nullptr);
  snd_pcm_hw_params_get_buffer_size(hw.get(), &result.buffer);
  result.canPause = snd_pcm_hw_params_can_pause(hw.get()) != 0;
  if (result.period == 0 || result.buffer == 0) return WaveOutResult::Error;

  // The device starts once its buffer is full, or when the last frames of a
  // short buffer are in (the device thread starts it then).
  snd_pcm_sw_params_t* rawSw = nullptr;
  if (snd_pcm_sw_params_malloc(&rawSw) < 0) return WaveOutResult::NoMemory;
  std::unique_ptr<snd_pcm_sw_params_t, SwParamsFree> sw(rawSw);
  if (snd_pcm_sw_params_current(pcm, sw.get()) < 0 ||
      snd_pcm_sw_params_set_start_threshold(pcm, sw.get(), result.buffer) < 0 ||
      snd_pcm_sw_params_set_avail_min(pcm, sw.get(), result.period) < 0 || snd_pcm_sw_params(pcm, sw.get()) < 0)
    return WaveOutResult::Error;
  result.out = out;
  return WaveOutResult::Ok;
}

// One open PCM. Every ALSA call on it is made by its own thread: the owner's
// calls are handed over as requests and answered before they return, so a
// pause, restart or reset has taken effect when the call comes back.
class AlsaDevice final : public IWaveOutDevice {
 public:
  AlsaDevice(PcmHandle pcm, std::string name, const Negotiated& negotiated, PcmLayout in, int device,
             std::shared_ptr<NoticeHub> hub, std::shared_ptr<VolumeTable> volumes, std::function<void()> onDone)
      : pcm_(std::move(pcm)),
        name_(std::move(name)),
        in_(in),
        out_(negotiated.out),
        period_(negotiated.period),
        canPause_(negotiated.canPause),
        device_(device),
        hub_(std::move(hub)),
        volumes_(std::move(volumes)),
        source_(hub_->NewSource()),
        onDone_(std::make_shared<const std::function<void()>>(std::move(onDone))),
        wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd for a sound device");
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (...) {
      ::close(wakeFd_);
      throw;
    }
  }

  ~AlsaDevice() override {
    Command(Request::Quit);
    thread_.join();
    hub_->Cancel(source_);
    ::close(wakeFd_);
  }

  WaveOutResult Write(std::span<const std::uint8_t> samples) override { return Command(Request::Write, samples); }
  void Pause() override { Command(Request::Pause); }
  void Restart() override { Command(Request::Restart); }
  void Reset() override {
    Command(Request::Reset);
    hub_->Cancel(source_);
  }

 private:
  enum class Request { None, Write, Pause, Restart, Reset, Quit };

  WaveOutResult Command(Request request, std::span<const std::uint8_t> data = {}) {
    std::lock_guard serial(commandMutex_);
    std::unique_lock lock(mutex_);
    request_ = request;
    requestData_ = data;
    requestDone_ = false;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    cv_.wait(lock, [this] { return requestDone_; });
    request_ = Request::None;
    return requestResult_;
  }

  // Answers the owner's request; false when the thread is to end.
  bool Serve() {
    Request request;
    std::span<const std::uint8_t> data;
    {
      std::lock_guard lock(mutex_);
      request = request_;
      data = requestData_;
      if (request == Request::None || requestDone_) return true;
    }
    WaveOutResult result = WaveOutResult::Ok;
    switch (request) {
      case Request::Write: result = StartBuffer(data); break;
      case Request::Pause: PauseDevice(); break;
      case Request::Restart: RestartDevice(); break;
      case Request::Reset:
      case Request::Quit: Drop(); break;
      case Request::None: break;
    }
    {
      std::lock_guard lock(mutex_);
      requestResult_ = result;
      requestDone_ = true;
    }
    cv_.notify_all();
    return request != Request::Quit;
  }

  void Run() {
    const int pcmFds = std::max(0, snd_pcm_poll_descriptors_count(pcm_.get()));
    const int periodMs = static_cast<int>(std::max<std::uint64_t>(1, period_ * 1000 / out_.rate));
    std::vector<pollfd> fds;
    for (;;) {
      const bool playing = hasBuffer_ && !paused_;
      const bool waitForRoom = playing && written_ < frames_;
      int timeout = -1;
      if (waitForRoom) {
        // The descriptors should wake us; the timeout only guards against a
        // plugin whose descriptors never do.
        timeout = 2 * periodMs + 10;
      } else if (playing) {
        timeout = DrainWaitMs();
      }
      fds.assign(1 + (waitForRoom ? pcmFds : 0), pollfd{});
      fds[0] = {wakeFd_, POLLIN, 0};
      if (waitForRoom && pcmFds > 0) snd_pcm_poll_descriptors(pcm_.get(), &fds[1], pcmFds);
      const int ready = ::poll(fds.data(), fds.size(), timeout);
      if (ready > 0 && waitForRoom && pcmFds > 0) {
        unsigned short revents = 0;
        snd_pcm_poll_descriptors_revents(pcm_.get(), &fds[1], pcmFds, &revents);
      }
      if (ready > 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
        if (!Serve()) return;
      }
      if (hasBuffer_ && !paused_) Pump();
    }
  }

  WaveOutResult StartBuffer(std::span<const std::uint8_t> samples) {
    if (hasBuffer_) return WaveOutResult::Error;  // one buffer at a time
    if (needPrepare_) {
      if (const int err = snd_pcm_prepare(pcm_.get()); err < 0) {
        Report("prepare", err);
        return WaveOutResult::Error;
      }
      needPrepare_ = false;
    }
    data_ = samples.data();
    frames_ = samples.size() / in_.FrameBytes();
    written_ = 0;
    if (frames_ == 0) {
      hub_->Post(source_, onDone_);
      return WaveOutResult::Ok;
    }
    hasBuffer_ = true;
    return WaveOutResult::Ok;
  }

  // Writes what the device has room for; once everything is written, starts
  // a device that has not started and waits for it to play out.
  void Pump() {
    while (written_ < frames_) {
      const snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm_.get());
      if (avail < 0) {
        if (!Recover(static_cast<int>(avail), "avail")) return;
        continue;
      }
      if (avail == 0) return;
      const std::size_t frames =
          std::min({static_cast<std::size_t>(avail), frames_ - written_, static_cast<std::size_t>(period_)});
      scratch_.resize(frames * out_.FrameBytes());
      ConvertFrames(data_ + written_ * in_.FrameBytes(), in_, frames, out_, volumes_->GainsOf(device_),
                    scratch_.data());
      const snd_pcm_sframes_t done = snd_pcm_writei(pcm_.get(), scratch_.data(), frames);
      if (done == -EAGAIN) return;
      if (done < 0) {
        if (!Recover(static_cast<int>(done), "write")) return;
        continue;
      }
      written_ += static_cast<std::size_t>(done);
    }
    const snd_pcm_state_t state = snd_pcm_state(pcm_.get());
    if (state == SND_PCM_STATE_PREPARED) {
      if (const int err = snd_pcm_start(pcm_.get()); err < 0) Fail("start", err);
      return;
    }
    if (state != SND_PCM_STATE_RUNNING && state != SND_PCM_STATE_DRAINING) {
      Finish();
      return;
    }
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_.get(), &delay) < 0 || delay <= 0) Finish();
  }

  int DrainWaitMs() {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_.get(), &delay) < 0 || delay <= 0) return 0;
    const auto ms = static_cast<std::uint64_t>(delay) * 1000 / out_.rate + 1;
    return static_cast<int>(std::min<std::uint64_t>(ms, 50));
  }

  // An underrun or a suspend in the middle of a buffer is recovered from and
  // the buffer goes on; anything else ends it.
  bool Recover(int err, const char* what) {
    if ((err == -EPIPE || err == -ESTRPIPE || err == -EINTR) && snd_pcm_recover(pcm_.get(), err, 1) == 0)
      return true;
    Fail(what, err);
    return false;
  }

  // A device that fails while playing still sends the done notice: the owner
  // waits for it, and nothing more will come from this buffer.
  void Fail(const char* what, int err) {
    Report(what, err);
    Drop();
    hub_->Post(source_, onDone_);
  }

  void Report(const char* what, int err) {
    std::fprintf(stderr, "vokar: sound device %s: %s: %s\n", name_.c_str(), what, snd_strerror(err));
  }

  void Finish() {
    Drop();
    hub_->Post(source_, onDone_);
  }

  void PauseDevice() {
    if (paused_) return;
    paused_ = true;
    if (!hasBuffer_ || snd_pcm_state(pcm_.get()) != SND_PCM_STATE_RUNNING) return;
    if (canPause_ && snd_pcm_pause(pcm_.get(), 1) == 0) {
      pausedInDevice_ = true;
      return;
    }
    StopAtPosition();
  }

  // For a device that cannot pause: stop it and go back to the first frame it
  // has not played yet (what was written less what still waited in it).
  void StopAtPosition() {
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm_.get(), &delay) < 0 || delay < 0) delay = 0;
    written_ -= std::min(static_cast<std::size_t>(delay), written_);
    snd_pcm_drop(pcm_.get());
    needPrepare_ = true;
  }

  void RestartDevice() {
    if (!paused_) return;
    paused_ = false;
    if (pausedInDevice_) {
      pausedInDevice_ = false;
      if (snd_pcm_pause(pcm_.get(), 0) < 0) StopAtPosition();
    }
    if (hasBuffer_ && needPrepare_) {
      if (const int err = snd_pcm_prepare(pcm_.get()); err < 0) {
        Fail("prepare", err);
        return;
      }
      needPrepare_ = false;
    }
  }

  // Stops at once and forgets the buffer; the device is no longer paused.
  void Drop() {
    snd_pcm_drop(pcm_.get());
    needPrepare_ = true;
    hasBuffer_ = false;
    paused_ = false;
    pausedInDevice_ = false;
  }

  PcmHandle pcm_;
  const std::string name_;
  const PcmLayout in_;
  const PcmLayout out_;
  const snd_pcm_uframes_t period_;
  const bool canPause_;
  const int device_;
  std::shared_ptr<NoticeHub> hub_;
  std::shared_ptr<VolumeTable> volumes_;
  const std::uint64_t source_;
  const NoticeHub::Callback onDone_;
  const int wakeFd_;

  std::mutex commandMutex_;
  std::mutex mutex_;
  std::condition_variable cv_;
  Request request_ = Request::None;
  std::span<const std::uint8_t> requestData_;
  bool requestDone_ = false;
  WaveOutResult requestResult_ = WaveOutResult::Ok;

  // Touched by the device thread only.
  const std::uint8_t* data_ = nullptr;
  std::size_t frames_ = 0;
  std::size_t written_ = 0;
  bool hasBuffer_ = false;
  bool paused_ = false;
  bool pausedInDevice_ = false;
  bool needPrepare_ = false;
  std::vector<std::uint8_t> scratch_;
  std::thread thread_;
};

void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::vector<AlsaPcm> ListAlsaPlaybackPcms() {
  std::vector<AlsaPcm> pcms;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints) return pcms;
  for (void** hint = hints; *hint; ++hint) {
    char* name = snd_device_name_get_hint(*hint, "NAME");
    char* description = snd_device_name_get_hint(*hint, "DESC");
    char* ioid = snd_device_name_get_hint(*hint, "IOID");
    // No IOID means both directions. The null PCM is listed on every
    // machine, and counting it would hide that there is nothing to hear.
    const bool playback = !ioid || std::strcmp(ioid, "Output") == 0;
    if (name && description && playback && std::strcmp(name, "null") != 0)
      pcms.push_back({name, JoinLines(description)});
    std::free(name);
    std::free(description);
    std::free(ioid);
  }
  snd_device_name_free_hint(hints);
  return pcms;
}

// ALSA prints every failed lookup of its configuration on standard error; on
// a machine without a card that is a screenful for each open. Our result
// codes say what failed, so its messages appear only with VOKAR_ALSA_DEBUG.
AlsaWaveOut::AlsaWaveOut() {
  if (std::getenv("VOKAR_ALSA_DEBUG") == nullptr) snd_lib_error_set_handler(QuietAlsaError);
}
AlsaWaveOut::~AlsaWaveOut() = default;

const std::vector<AlsaPcm>& AlsaWaveOut::Pcms() {
  std::call_once(listed_, [this] { pcms_ = ListAlsaPlaybackPcms(); });
  return pcms_;
}

int AlsaWaveOut::DeviceCount() { return static_cast<int>(Pcms().size()); }

std::optional<std::string> AlsaWaveOut::PcmName(int device) {
  if (device == kWaveMapper) return std::string("default");
  if (device < 0 || device >= DeviceCount()) return std::nullopt;
  return Pcms()[static_cast<std::size_t>(device)].name;
}

std::optional<WaveOutCaps> AlsaWaveOut::Caps(int device) {
  if (!IsDevice(device)) return std::nullopt;
  WaveOutCaps caps;
  if (device == kWaveMapper) {
    caps.name = "ALSA default";
  } else {
    const auto& pcm = Pcms()[static_cast<std::size_t>(device)];
    caps.name = pcm.description.empty() ? pcm.name : pcm.description;
  }
  caps.volumeControl = true;
  caps.leftRightVolume = true;
  return caps;
}

WaveOutResult AlsaWaveOut::Open(int device, const WaveFormat& format, std::function<void()> onDone,
                                std::unique_ptr<IWaveOutDevice>& opened) {
  opened.reset();
  const auto name = PcmName(device);
  if (!name) return WaveOutResult::Error;
  const auto layout = LayoutOf(format);
  if (!layout) return WaveOutResult::BadFormat;
  snd_pcm_t* raw = nullptr;
  // Non-blocking, so that a device held by another program answers busy at
  // once instead of waiting for it to be free.
  if (const int err = snd_pcm_open(&raw, name->c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK); err < 0)
    return OpenFailure(err);
  PcmHandle pcm(raw);
  Negotiated negotiated;
  if (const auto result = Negotiate(pcm.get(), *layout, volumes_->GainsOf(device), negotiated);
      result != WaveOutResult::Ok)
    return result;
  try {
    opened = std::make_unique<AlsaDevice>(std::move(pcm), *name, negotiated, *layout, device, hub_, volumes_,
                                          std::move(onDone));
  } catch (const std::system_error&) {
    return WaveOutResult::Error;
  }
  return WaveOutResult::Ok;
}

}  // namespace vokar::waveout
