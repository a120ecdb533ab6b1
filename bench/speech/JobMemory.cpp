#include "JobMemory.h"

#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>

#include "EngineRun.h"
#include "HeapCounter.h"
#include "ReadingJob.h"
#include "SampleTexts.h"
#include "VirtualWaveOut.h"

namespace vokar::bench {
namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A field of /proc/self/status in KiB ("VmRSS:" the resident set now,
// "VmHWM:" its high-water mark since this program image started); 0 when it
// cannot be read. Unlike ru_maxrss, the mark starts afresh at exec.
long StatusKb(std::string_view field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + field.size(), nullptr, 10);
  return 0;
}

// What malloc holds for the program now, small blocks and mapped ones.
std::size_t MallocInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Passes everything to the real device and counts the buffers and bytes
// written, so the report can show that the job played the whole text.
class CountingDevice final : public IWaveOutDevice {
 public:
  CountingDevice(std::unique_ptr<IWaveOutDevice> inner, std::size_t& buffers, std::size_t& bytes)
      : inner_(std::move(inner)), buffers_(buffers), bytes_(bytes) {}
  WaveOutResult Write(std::span<const std::uint8_t> samples) override {
    const WaveOutResult result = inner_->Write(samples);
    if (result == WaveOutResult::Ok) {
      ++buffers_;
      bytes_ += samples.size();
    }
    return result;
  }
  void Pause() override { inner_->Pause(); }
  void Restart() override { inner_->Restart(); }
  void Reset() override { inner_->Reset(); }

 private:
  std::unique_ptr<IWaveOutDevice> inner_;
  std::size_t& buffers_;
  std::size_t& bytes_;
};

class CountingWaveOut final : public IWaveOut {
 public:
  explicit CountingWaveOut(IWaveOut& inner) : inner_(inner) {}
  int DeviceCount() override { return inner_.DeviceCount(); }
  std::optional<WaveOutCaps> Caps(int device) override { return inner_.Caps(device); }
  WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                     std::unique_ptr<IWaveOutDevice>& opened) override {
    std::unique_ptr<IWaveOutDevice> real;
    const WaveOutResult result = inner_.Open(device, format, std::move(onDone), real);
    if (result == WaveOutResult::Ok) opened = std::make_unique<CountingDevice>(std::move(real), buffers, bytes);
    return result;
  }
  void DeliverNotices() override { inner_.DeliverNotices(); }
  void WaitForNotice(int timeoutMs) override { inner_.WaitForNotice(timeoutMs); }
  std::optional<std::uint32_t> GetVolume(int device) override { return inner_.GetVolume(device); }
  bool SetVolume(int device, std::uint32_t volume) override { return inner_.SetVolume(device, volume); }

  std::size_t buffers = 0;
  std::size_t bytes = 0;

 private:
  IWaveOut& inner_;
};

// A window without a screen: it delivers the device's done notices and
// ticks the job's timer, and it never pauses or breaks.
class BenchWindow final : public CHeadlessReadingWindow {
 public:
  explicit BenchWindow(IWaveOut& out) : out_(out) {}
  void Attach(CReadingJob& job) { job_ = &job; }

  void PumpPendingMessages() override {
    out_.WaitForNotice(kTickMs);
    out_.DeliverNotices();
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextTick_) {
      nextTick_ = now + std::chrono::milliseconds(kTickMs);
      if (job_) job_->Tick();
    }
  }
  void LeaveJob(bool aborted) override { aborted_ = aborted; }

  bool Aborted() const { return aborted_; }

 private:
  static constexpr int kTickMs = 500;
  IWaveOut& out_;
  CReadingJob* job_ = nullptr;
  bool aborted_ = false;
  std::chrono::steady_clock::time_point nextTick_ = std::chrono::steady_clock::now();
};

// Collects the messages the job shows; a job that shows one did not play
// the whole text.
class CollectingSink final : public IMessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

}  // namespace

int RunJobMemoryChild(const std::filesystem::path& voice, std::size_t textBytes) {
  heap::Enable();
  const long rssStart = StatusKb("VmRSS:");

  EngineRun engine;
  if (!engine.Load(voice)) {
    std::cerr << "bench_speech: " << engine.Error() << "\n";
    return 1;
  }
  const std::string text = MakeSampleText(textBytes, Cut::Exact).cp1250;

  waveout::VirtualWaveOutOptions deviceOptions;
  deviceOptions.pacing = waveout::Pacing::Fast;
  waveout::VirtualWaveOut device(deviceOptions);
  CountingWaveOut out(device);
  WavePlayback playback(out);
  BenchWindow window(out);
  CollectingSink sink;
  int deviceNumber = kWaveMapper;
  CReadingJob job({engine.Settings(), engine.Db(), &engine.Dictionary(), sink, window, playback, deviceNumber});
  window.Attach(job);

  // The baseline: the voice, the dictionary, the text and the devices are in
  // place, as in a server waiting for its next text.
  const long rssBefore = StatusKb("VmRSS:");
  const long hwmBefore = StatusKb("VmHWM:");
  const long maxRssBefore = MaxRssKb();
  const std::size_t heapBefore = heap::Current();
  const std::size_t mallocBefore = MallocInUse();
  heap::ResetPeak();

  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  job.ReadText(text);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpuSeconds = CpuSeconds() - cpuStart;

  const long maxRssAfter = MaxRssKb();
  const long hwmAfter = StatusKb("VmHWM:");
  const std::size_t heapPeak = heap::Peak();
  const std::size_t heapAfter = heap::Current();
  const std::size_t mallocAfter = MallocInUse();

  // The job swallows engine failures, so the samples it played are checked
  // against what the same text renders to outside a job.
  const std::size_t expected = engine.RenderDiscarding(text);

  for (const auto& message : sink.messages) std::cerr << "bench_speech: the job showed: " << message << "\n";
  std::cout << "text_bytes " << text.size() << "\n"
            << "rss_start_kb " << rssStart << "\n"
            << "rss_before_kb " << rssBefore << "\n"
            << "maxrss_before_kb " << maxRssBefore << "\n"
            << "maxrss_after_kb " << maxRssAfter << "\n"
            << "hwm_before_kb " << hwmBefore << "\n"
            << "hwm_after_kb " << hwmAfter << "\n"
            << "heap_before " << heapBefore << "\n"
            << "heap_peak " << heapPeak << "\n"
            << "heap_after " << heapAfter << "\n"
            << "malloc_before " << mallocBefore << "\n"
            << "malloc_after " << mallocAfter << "\n"
            << "job_seconds " << seconds << "\n"
            << "job_cpu_seconds " << cpuSeconds << "\n"
            << "buffers " << out.buffers << "\n"
            << "bytes_played " << out.bytes << "\n"
            << "bytes_expected " << expected << "\n"
            << "aborted " << (window.Aborted() || !sink.messages.empty() || out.bytes != expected ? 1 : 0) << "\n";
  return 0;
}

}  // namespace vokar::bench
