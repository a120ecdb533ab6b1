// The reading job on the virtual wave devices: what reaches the device, and
// how pause, break, a busy device, a refused rate, tags and wave inserts
// change the job and the settings it leaves behind.
#include "ReadingJob.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "Cp1250.h"
#include "VirtualWaveOut.h"
#include "support/AlfWriter.h"
#include "support/TestInventory.h"

namespace vokar {
namespace {

using waveout::Pacing;
using waveout::VirtualWaveOut;
using waveout::VirtualWaveOutOptions;

// A window that ticks the job's timer on every pump, so that a busy device is
// retried at once, and runs a script on chosen pumps.
class TestWindow final : public IReadingWindow {
 public:
  explicit TestWindow(IWaveOut& out) : out_(out) {}

  void PumpPendingMessages() override {
    ++pumps;
    out_.WaitForNotice(5);
    out_.DeliverNotices();
    if (job) job->Tick();
    if (onPump) onPump(pumps);
  }
  void RefreshReadState() override { ++refreshes; }
  void EnterJob() override { ++entered; }
  void LeaveJob(bool aborted) override {
    ++left;
    leftAborted = aborted;
  }
  int SpeedSlider() const override { return slider; }
  void SetSpeedSlider(int position) override { slider = position; }
  bool QuitAfterReading() const override { return quitAfterReading; }
  void PostExit() override { ++exits; }

  CReadingJob* job = nullptr;
  std::function<void(int)> onPump;
  int pumps = 0, refreshes = 0, entered = 0, left = 0, exits = 0;
  bool leftAborted = false;
  int slider = 0;
  bool quitAfterReading = false;

 private:
  IWaveOut& out_;
};

class RecordingSink final : public IMessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon) override { shown.emplace_back(text); }
  std::vector<std::string> shown;
};

class Job : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::path(::testing::TempDir()) / ("reading-job-" + std::to_string(::getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    testing::FillTestInventory(db, settings);
    settings.workDir = dir.string() + "/";
  }

  // Builds the device, window and job; the options may be changed before.
  void Start(VirtualWaveOutOptions deviceOptions) {
    out = std::make_unique<VirtualWaveOut>(deviceOptions);
    playback = std::make_unique<WavePlayback>(*out);
    window = std::make_unique<TestWindow>(*out);
    job = std::make_unique<CReadingJob>(ReadingJobContext{settings, db, nullptr, sink, *window, *playback, device});
    window->job = job.get();
  }
  void StartWav(Pacing pacing = Pacing::Fast) {
    VirtualWaveOutOptions options;
    options.wavPath = dir / "out.wav";
    options.pacing = pacing;
    Start(options);
  }
  void Read(const std::string& utf8) { job->ReadText(cp1250::FromUtf8(utf8)); }

  // The bytes of a WAV file's data chunk (the virtual device writes the
  // canonical 44-byte header).
  static std::vector<std::uint8_t> WavData(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size() > 44 ? std::vector<std::uint8_t>(bytes.begin() + 44, bytes.end()) : std::vector<std::uint8_t>{};
  }

  std::filesystem::path dir;
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  RecordingSink sink;
  int device = kWaveMapper;
  std::unique_ptr<VirtualWaveOut> out;
  std::unique_ptr<WavePlayback> playback;
  std::unique_ptr<TestWindow> window;
  std::unique_ptr<CReadingJob> job;
};

TEST_F(Job, ReadsEverySentenceToTheDeviceAndEndsIdle) {
  StartWav();
  Read("Raz, dwa. Trzy!");
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(window->entered, 1);
  EXPECT_EQ(window->left, 1);
  EXPECT_FALSE(window->leftAborted);
  EXPECT_EQ(job->state.busyCount, 0);
  EXPECT_TRUE(job->state.stopped);
  ASSERT_EQ(out->WavFiles().size(), 1u);
  // Two sentence pauses and one comma pause at least.
  EXPECT_GT(WavData(out->WavFiles()[0]).size(), 22050u * 2 + 11025u);
}

TEST_F(Job, NothingHappensWithoutTextOrVoiceOrWhileBusy) {
  StartWav();
  Read("");
  EXPECT_EQ(window->entered, 0);
  job->state.busyCount = 1;
  Read("tekst");
  EXPECT_EQ(window->entered, 0);
  job->state.busyCount = 0;
  db.MarkLoaded(false);
  Read("tekst");
  EXPECT_EQ(window->entered, 0);
  EXPECT_TRUE(out->WavFiles().empty());
}

TEST_F(Job, SpeedTagsPlayAtTheirRateAndStayAfterANormalEnd) {
  StartWav();
  Read("Raz \\Spd=80\\dwa.");
  // The speed tag ends the first chunk: the rest plays at 22050 × 1.3.
  const auto files = out->WavFiles();
  ASSERT_EQ(files.size(), 2u);
  std::ifstream second(files[1], std::ios::binary);
  char header[28];
  second.read(header, sizeof header);
  std::uint32_t rate;
  std::memcpy(&rate, header + 24, 4);
  EXPECT_EQ(rate, 28665u);
  EXPECT_EQ(window->slider, -30);
}

TEST_F(Job, BreakWhilePausedEndsTheJobAndRestoresTheSettings) {
  StartWav(Pacing::RealTime);
  window->slider = 10;
  settings.colloquialSpeech = true;
  window->onPump = [&](int pump) {
    if (pump == 2) job->RequestPause();
    if (pump == 6) job->RequestBreak();
  };
  Read("\\Spd=90\\\\Pro=0\\Pierwsze zdanie jest dość długie, żeby go nie skończyć. Drugie zdanie.");
  EXPECT_TRUE(window->leftAborted);
  EXPECT_EQ(window->pumps, 6);
  EXPECT_FALSE(playback->done);  // the chunk was broken off, not finished
  EXPECT_EQ(window->slider, 10);
  EXPECT_TRUE(settings.colloquialSpeech);
  EXPECT_EQ(job->state.busyCount, 0);
  EXPECT_TRUE(job->state.stopped);
}

TEST_F(Job, ABusyDeviceIsRetriedUntilItIsFree) {
  VirtualWaveOutOptions options;
  options.pacing = Pacing::Fast;
  options.busyOpens = 3;
  Start(options);
  Read("Raz.");
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_FALSE(window->leftAborted);
}

TEST_F(Job, ADeviceBusyPastTheTimeoutEndsTheJob) {
  VirtualWaveOutOptions options;
  options.pacing = Pacing::Fast;
  options.busyOpens = 1000;
  Start(options);
  job->state.deviceTimeout = 2;
  Read("Raz. Dwa.");
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0], "Urządzenie dźwiękowe jest zajęte");
  EXPECT_TRUE(window->leftAborted);
  // Four ticks of 500 ms make two seconds.
  EXPECT_EQ(job->state.tickCounter, 4);

  sink.shown.clear();
  job->state.deviceTimeout = 0;
  Read("Raz.");
  EXPECT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(window->pumps, 4 + 1);  // one round with a timeout of 0
}

TEST_F(Job, ARefusedRateSnapsTheSpeedAndTriesOnce) {
  VirtualWaveOutOptions options;
  options.wavPath = dir / "out.wav";
  options.pacing = Pacing::Fast;
  options.maxRate = 25000;
  Start(options);
  window->slider = -20;  // speed +20: 26460 Hz is refused, 22050 is not
  Read("Raz.");
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(window->slider, 0);

  out->SetMaxRate(20000);  // now even the normal rate is refused
  Read("Raz.");
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0], "Błędny format fali dźwiękowej");
  EXPECT_TRUE(window->leftAborted);
}

TEST_F(Job, AWaveInsertPlaysWholeAtItsPlaceAtNormalSpeed) {
  // A 16-bit insert at 16000 Hz: its own file in the device's series.
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 800; ++i) {
    const auto v = static_cast<std::int16_t>((i % 40 - 20) * 500);
    samples.push_back(static_cast<std::uint8_t>(v & 0xFF));
    samples.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }
  const WaveFormat format{WaveFormat::kPcm, 1, 16000, 32000, 2, 16};
  testing::WriteFile(dir / "dzwonek.wav", testing::WaveBytes(format, samples));
  StartWav();
  window->slider = -30;
  Read("Raz dwa \\Wav=\"dzwonek\"\\trzy cztery.");
  EXPECT_TRUE(sink.shown.empty());
  const auto files = out->WavFiles();
  ASSERT_EQ(files.size(), 3u);  // speech, the insert, speech again
  EXPECT_EQ(WavData(files[1]), samples);
  std::ifstream insert(files[1], std::ios::binary);
  char header[28];
  insert.read(header, sizeof header);
  std::uint32_t rate;
  std::memcpy(&rate, header + 24, 4);
  EXPECT_EQ(rate, 16000u);  // not sped up by the slider
  EXPECT_FALSE(WavData(files[2]).empty());
}

TEST_F(Job, VolumeAndBalanceFromTheDeviceWordsAndTheTags) {
  StartWav();
  out->SetVolume(kWaveMapper, 65535u | (32768u << 16));
  Read("\\Vol=40\\raz");
  EXPECT_EQ(job->state.balance, 25);
  EXPECT_EQ(job->state.volume, 40);
  EXPECT_EQ(out->GetVolume(kWaveMapper), VolumeWordOf(40, 25));
  // A balance tag keeps the level of the volume tag before it.
  Read("\\Vol=60\\\\Pnm=99\\raz");
  const std::uint32_t word = *out->GetVolume(kWaveMapper);
  EXPECT_EQ(word & 0xFFFF, 0u);  // right only
  EXPECT_EQ(word >> 16, 60u * 65535u / 100u);
}

TEST_F(Job, ResetTagAndBreakRestoreTheDeviceVolume) {
  StartWav(Pacing::RealTime);
  const std::uint32_t saved = 40000u | (40000u << 16);
  out->SetVolume(kWaveMapper, saved);
  window->onPump = [&](int pump) {
    if (pump == 3) job->RequestBreak();
  };
  Read("\\Vol=10\\Długie zdanie, które zostanie przerwane w połowie czytania.");
  EXPECT_TRUE(window->leftAborted);
  EXPECT_EQ(out->GetVolume(kWaveMapper), saved);

  window->onPump = nullptr;
  StartWav();
  out->SetVolume(kWaveMapper, saved);
  Read("\\Vol=10\\\\Spd=99\\raz\\Rst\\");
  EXPECT_EQ(out->GetVolume(kWaveMapper), saved);
  EXPECT_EQ(window->slider, 0);
}

TEST_F(Job, DeviceTagChoosesADeviceForLaterJobs) {
  VirtualWaveOutOptions options;
  options.pacing = Pacing::Fast;
  options.deviceCount = 2;
  Start(options);
  Read("\\Drv=1\\raz");
  EXPECT_EQ(device, 0);
  Read("\\Drv=7\\raz");
  EXPECT_EQ(device, 1);  // beyond the count: the last device
  Read("\\Drv=0\\raz");
  EXPECT_EQ(device, kWaveMapper);
}

TEST_F(Job, QuitAfterReadingPostsTheExit) {
  StartWav();
  window->quitAfterReading = true;
  Read("raz");
  EXPECT_EQ(window->exits, 1);
}

TEST(JobArithmetic, SpeedOfTagsAndVolumeWords) {
  EXPECT_EQ(SpeedOfTag(81), 30);
  EXPECT_EQ(SpeedOfTag(1), -49);
  EXPECT_EQ(SpeedOfTag(100), 50);
  EXPECT_EQ(SpeedOfTag(99), 48);
  int volume = 50, balance = 50;
  VolumeAndBalanceOf(65535u | (32768u << 16), volume, balance);
  EXPECT_EQ(balance, 25);
  EXPECT_EQ(volume, 99);
  VolumeAndBalanceOf(32768u | (65535u << 16), volume, balance);
  EXPECT_EQ(balance, 74);
  volume = balance = 7;
  VolumeAndBalanceOf(0, volume, balance);
  EXPECT_EQ(balance, 7);
  EXPECT_EQ(VolumeWordOf(99, 50), (64879u | (64879u << 16)));
  EXPECT_EQ(VolumeWordOf(50, 0), 32767u);
  EXPECT_EQ(VolumeWordOf(50, 100), 32767u << 16);
}

}  // namespace
}  // namespace vokar
