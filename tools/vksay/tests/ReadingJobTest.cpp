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
#include "TestFolder.h"
#include "VirtualWaveOut.h"
#include "support/AlfWriter.h"
#include "AllophoneIndex.h"
#include "TextScanner.h"
#include "support/TestInventory.h"
#include "support/VoicedInventory.h"

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

// The job with both sound switches off: the plain concatenation of the pieces,
// played at the rate the speed sets. The prosody stage's own tests turn the
// switches on.
class Job : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.prosody.intonation = false;
    settings.prosody.keepPitch = false;
    testing::FillTestInventory(db, settings);
    settings.workDir = dir.string() + "/";
  }

  // Builds the device, window and job; the options may be changed before.
  void Start(VirtualWaveOutOptions deviceOptions) {
    out = std::make_unique<VirtualWaveOut>(deviceOptions);
    playback = std::make_unique<WavePlayback>(*out);
    window = std::make_unique<TestWindow>(*out);
    job = std::make_unique<CReadingJob>(ReadingJobContext{settings, db, nullptr, sink, *window, *playback, device},
                                        finalPause);
    window->job = job.get();
  }
  void StartWav(Pacing pacing = Pacing::Fast) {
    VirtualWaveOutOptions options;
    options.wavPath = dir / "out.wav";
    options.pacing = pacing;
    Start(options);
  }
  void Read(const std::string& utf8) { job->ReadText(cp1250::FromUtf8(utf8)); }
  void ReadRemote(const std::string& utf8) { job->ReadText(cp1250::FromUtf8(utf8), TextOrigin::Remote); }

  // The sample rate in a WAV file's header.
  static std::uint32_t WavRate(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char header[28] = {};
    in.read(header, sizeof header);
    std::uint32_t rate;
    std::memcpy(&rate, header + 24, 4);
    return rate;
  }

  // The bytes of a WAV file's data chunk (the virtual device writes the
  // canonical 44-byte header).
  static std::vector<std::uint8_t> WavData(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size() > 44 ? std::vector<std::uint8_t>(bytes.begin() + 44, bytes.end()) : std::vector<std::uint8_t>{};
  }

  vokar::test::TestFolder folder{"reading-job"};
  const std::filesystem::path dir = folder.path();
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  RecordingSink sink;
  int device = kWaveMapper;
  FinalPause finalPause = FinalPause::Played;
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

// The rate of a speed s on the 22050 Hz voice is (s + 100) × 22050 / 100,
// rounded down: +13 is 24916 Hz, +14 is 25137, +30 is 28665, +36 is 29988,
// +37 is 30208.
TEST_F(Job, ARefusedRateBringsTheSpeedTowardsNormalUntilTheDeviceTakesIt) {
  struct Case {
    std::uint32_t maxRate;
    int slider;          // before the job
    std::string text;
    int sliderAfter;     // the highest speed the device took
    std::uint32_t rate;  // what it played at
  } cases[] = {
      {25000, -20, "Raz.", -13, 24916},
      {24916, -20, "Raz.", -13, 24916},
      {24915, -20, "Raz.", -12, 24696},
      {25137, -20, "Raz.", -14, 25137},
      {22050, -30, "Raz.", 0, 22050},
      {30000, 0, "\\Spd=90\\Raz.", -36, 29988},
      {30208, 0, "\\Spd=90\\Raz.", -37, 30208},
      {30000, -50, "Raz.", -36, 29988},
      {11245, 49, "Raz.", 49, 11245},  // -49: 51 × 22050 / 100 = 11245 Hz
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("max " + std::to_string(c.maxRate) + " slider " + std::to_string(c.slider) + " " + c.text);
    VirtualWaveOutOptions options;
    options.wavPath = dir / ("out-" + std::to_string(c.maxRate) + "-" + std::to_string(c.slider) + ".wav");
    options.pacing = Pacing::Fast;
    options.maxRate = c.maxRate;
    Start(options);
    window->slider = c.slider;
    Read(c.text);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_FALSE(window->leftAborted);
    EXPECT_EQ(window->slider, c.sliderAfter);
    ASSERT_EQ(out->WavFiles().size(), 1u);
    EXPECT_EQ(WavRate(out->WavFiles()[0]), c.rate);
  }
}

// A device in front of another that refuses the formats a sound card may
// not take (rates below a floor, 16-bit samples).
class PickyOut final : public IWaveOut {
 public:
  PickyOut(IWaveOut& inner, std::function<bool(const WaveFormat&)> takes) : inner_(inner), takes_(std::move(takes)) {}
  int DeviceCount() override { return inner_.DeviceCount(); }
  std::optional<WaveOutCaps> Caps(int device) override { return inner_.Caps(device); }
  WaveOutResult Open(int device, const WaveFormat& format, std::function<void()> onDone,
                     std::unique_ptr<IWaveOutDevice>& opened) override {
    if (!takes_(format)) return WaveOutResult::BadFormat;
    return inner_.Open(device, format, std::move(onDone), opened);
  }
  void DeliverNotices() override { inner_.DeliverNotices(); }
  void WaitForNotice(int timeoutMs) override { inner_.WaitForNotice(timeoutMs); }
  std::optional<std::uint32_t> GetVolume(int device) override { return inner_.GetVolume(device); }
  bool SetVolume(int device, std::uint32_t volume) override { return inner_.SetVolume(device, volume); }

 private:
  IWaveOut& inner_;
  std::function<bool(const WaveFormat&)> takes_;
};

// Slow speeds lower the rate: -49 is 11245 Hz, -32 is 14994, -31 is 15214,
// -30 is 15435. A device that refuses them has the speed brought up.
TEST_F(Job, ARefusedLowRateBringsTheSpeedUpTowardsNormal) {
  struct Case {
    std::uint32_t floor;
    int sliderAfter;
    std::uint32_t rate;
  } cases[] = {{11245, 49, 11245}, {11246, 48, 11466}, {15000, 31, 15214}, {15214, 31, 15214},
               {15215, 30, 15435}, {22050, 0, 22050}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.floor);
    VirtualWaveOutOptions options;
    options.wavPath = dir / ("floor-" + std::to_string(c.floor) + ".wav");
    options.pacing = Pacing::Fast;
    VirtualWaveOut virtualOut(options);
    PickyOut floored(virtualOut, [&](const WaveFormat& format) { return format.samplesPerSec >= c.floor; });
    WavePlayback flooredPlayback(floored);
    TestWindow flooredWindow(floored);
    CReadingJob flooredJob({settings, db, nullptr, sink, flooredWindow, flooredPlayback, device});
    flooredWindow.job = &flooredJob;
    flooredWindow.slider = 49;
    flooredJob.ReadText("Raz.");
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(flooredWindow.slider, c.sliderAfter);
    ASSERT_EQ(virtualOut.WavFiles().size(), 1u);
    EXPECT_EQ(WavRate(virtualOut.WavFiles()[0]), c.rate);
  }
}

TEST_F(Job, ADeviceThatComesFreeAndRefusesTheRateHasTheSpeedLowered) {
  VirtualWaveOutOptions options;
  options.wavPath = dir / "busy.wav";
  options.pacing = Pacing::Fast;
  options.busyOpens = 2;
  options.maxRate = 25000;
  Start(options);
  window->slider = -20;  // +20: 26460 Hz is refused once the device is free
  Read("Raz.");
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_FALSE(window->leftAborted);
  EXPECT_EQ(window->slider, -13);
  ASSERT_EQ(out->WavFiles().size(), 1u);
  EXPECT_EQ(WavRate(out->WavFiles()[0]), 24916u);

  // Free, but not even normal speed fits: the job ends at once with that
  // message, not after the busy device's timeout.
  options.wavPath.clear();
  options.busyOpens = 1;
  options.maxRate = 20000;
  Start(options);
  job->state.deviceTimeout = 60;
  Read("Raz.");
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0], "Błędny format fali dźwiękowej");
  EXPECT_LT(job->state.tickCounter, 5);
}

TEST_F(Job, ARefusedNormalRateEndsTheJob) {
  VirtualWaveOutOptions options;
  options.pacing = Pacing::Fast;
  options.maxRate = 22049;
  for (const int slider : {-30, 0, -50, -1}) {
    SCOPED_TRACE(slider);
    sink.shown.clear();
    Start(options);
    window->slider = slider;
    Read("Raz.");
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0], "Błędny format fali dźwiękowej");
    EXPECT_TRUE(window->leftAborted);
    // The broken job puts the slider back where it stood.
    EXPECT_EQ(window->slider, slider);
  }
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
  // 40 % of full scale is 26214 on the louder left; balance 25 halves the right.
  EXPECT_EQ(out->GetVolume(kWaveMapper), 26214u | (13107u << 16));
  // A balance tag keeps the level of the volume tag before it.
  Read("\\Vol=60\\\\Pnm=99\\raz");
  const std::uint32_t word = *out->GetVolume(kWaveMapper);
  EXPECT_EQ(word & 0xFFFF, 0u);  // right only
  EXPECT_EQ(word >> 16, 60u * 65535u / 100u);
}

TEST_F(Job, VolumeZeroIsSilenceThatTakesItsTimeAndKeepsTheBalance) {
  StartWav();
  Read("Raz dwa.");
  ASSERT_EQ(out->WavFiles().size(), 1u);
  const std::size_t spoken = WavData(out->WavFiles()[0]).size();

  VirtualWaveOutOptions options;
  options.wavPath = dir / "silent.wav";
  options.pacing = Pacing::Fast;
  Start(options);
  Read("\\Vol=0\\Raz dwa.");
  EXPECT_EQ(out->GetVolume(kWaveMapper), 0u);
  ASSERT_EQ(out->WavFiles().size(), 1u);
  const auto silent = WavData(out->WavFiles()[0]);
  EXPECT_EQ(silent.size(), spoken);
  EXPECT_EQ(silent, std::vector<std::uint8_t>(spoken, 128));

  // The balance given while silent holds for the next volume tag: 50 % is
  // 32767, on the left only.
  Read("\\Vol=0\\\\Pnm=0\\Raz.");
  EXPECT_EQ(out->GetVolume(kWaveMapper), 0u);
  Read("\\Vol=50\\dwa.");
  EXPECT_EQ(out->GetVolume(kWaveMapper), 32767u);
  EXPECT_TRUE(sink.shown.empty());
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

TEST_F(Job, TheFinalPauseIsLeftOutOnlyWhenTheHostAsksAndOnlyAtTheEnd) {
  // The bytes a text makes on a fresh device of its own.
  int run = 0;
  auto bytesOf = [&](const std::string& text, FinalPause pause) {
    finalPause = pause;
    VirtualWaveOutOptions options;
    options.wavPath = dir / ("run" + std::to_string(++run) + ".wav");
    options.pacing = Pacing::Fast;
    Start(options);
    Read(text);
    // The sizes the data chunks declare: a chunk of an odd size is padded
    // to an even one in the file.
    std::size_t total = 0;
    for (const auto& file : out->WavFiles()) {
      std::ifstream in(file, std::ios::binary);
      char header[44] = {};
      in.read(header, sizeof header);
      std::uint32_t size;
      std::memcpy(&size, header + 40, 4);
      total += size;
    }
    return total;
  };
  // The test voice's pauses at 22050 bytes a second: a sentence's 1.00 s,
  // a comma's 0.50 s.
  struct Case {
    const char* text;
    std::size_t leftOut;
  } cases[] = {
      {"Raz dwa.", 22050},
      {"Raz dwa?", 22050},
      {"Raz dwa...  ", 22050},  // further marks and blanks belong to the last sentence
      {"Raz. Dwa!", 22050},     // the pause between the sentences stays
      {"Raz, dwa,", 11025},
      {"Raz dwa.\n", 22050},
      {"Raz dwa", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::size_t played = bytesOf(c.text, FinalPause::Played);
    const std::size_t leftOut = bytesOf(c.text, FinalPause::LeftOut);
    EXPECT_EQ(played - leftOut, c.leftOut);
    EXPECT_GT(leftOut, 0u);
  }
  // A wave insert at the end is sound of its own: the pause before it stays.
  testing::WriteFile(dir / "dzwonek.wav", testing::WaveBytes({WaveFormat::kPcm, 1, 22050, 22050, 1, 8},
                                                             std::vector<std::uint8_t>(100, 200)));
  EXPECT_EQ(bytesOf("Raz dwa, \\Wav=\"dzwonek\"\\", FinalPause::Played),
            bytesOf("Raz dwa, \\Wav=\"dzwonek\"\\", FinalPause::LeftOut));
}

// A text from another computer: its tags shape its own reading, and nothing
// of them is left for the next text or in the window's controls.
TEST_F(Job, ARemoteTextsSpeedActsOnItsOwnReadingOnly) {
  StartWav();
  window->slider = 10;
  ReadRemote("Raz \\Spd=80\\dwa.");
  const auto files = out->WavFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(WavRate(files[0]), 19845u);  // the window's speed, -10 %
  EXPECT_EQ(WavRate(files[1]), 28665u);  // its own, +30 %
  EXPECT_EQ(window->slider, 10);
  EXPECT_FALSE(window->leftAborted);
  // The next text of this computer plays at the window's speed, and its own
  // tag lasts as ever.
  Read("Trzy \\Spd=60\\cztery.");
  const auto later = out->WavFiles();
  ASSERT_EQ(later.size(), 4u);
  EXPECT_EQ(WavRate(later[2]), 19845u);
  EXPECT_EQ(WavRate(later[3]), 24255u);  // +10 %
  EXPECT_EQ(window->slider, -10);
}

TEST_F(Job, ARemoteTextsVolumeBalanceAndResetEndWithIt) {
  StartWav();
  const std::uint32_t saved = 40000u | (40000u << 16);
  out->SetVolume(kWaveMapper, saved);
  ReadRemote("\\Vol=0\\Raz dwa.");
  ASSERT_EQ(out->WavFiles().size(), 1u);
  const auto silent = WavData(out->WavFiles()[0]);
  ASSERT_FALSE(silent.empty());
  EXPECT_EQ(silent, std::vector<std::uint8_t>(silent.size(), 128));
  EXPECT_EQ(out->GetVolume(kWaveMapper), saved);
  // The next reading finds the level it had before.
  Read("Raz dwa.");
  EXPECT_EQ(out->GetVolume(kWaveMapper), saved);

  // A balance of its own goes too; a reset inside it forgets its speed.
  const int balance = job->state.balance;
  window->slider = 0;
  ReadRemote("\\Pnm=0\\\\Vol=99\\raz");
  EXPECT_EQ(job->state.balance, balance);
  EXPECT_EQ(out->GetVolume(kWaveMapper), saved);
  ReadRemote("\\Vol=10\\\\Spd=99\\raz\\Rst\\ dwa");
  EXPECT_EQ(out->GetVolume(kWaveMapper), saved);
  EXPECT_EQ(window->slider, 0);
  // A device whose volume was silence at the start is silent again after.
  out->SetVolume(kWaveMapper, 0);
  ReadRemote("\\Vol=50\\raz");
  EXPECT_EQ(out->GetVolume(kWaveMapper), 0u);
}

TEST_F(Job, ARemoteTextChoosesNoDeviceAndPlaysNoFileOfThisComputer) {
  VirtualWaveOutOptions options;
  options.pacing = Pacing::Fast;
  options.deviceCount = 2;
  options.wavPath = dir / "out.wav";
  Start(options);
  ReadRemote("\\Drv=1\\raz");
  EXPECT_EQ(device, kWaveMapper);

  testing::WriteFile(dir / "dzwonek.wav",
                     testing::WaveBytes(WaveFormat{WaveFormat::kPcm, 1, 16000, 16000, 1, 8},
                                        std::vector<std::uint8_t>(800, 200)));
  const std::size_t before = out->WavFiles().size();
  ReadRemote("Raz dwa \\Wav=\"dzwonek\"\\trzy cztery.");
  // Speech only, in the speech's one format: no file of its own for an insert.
  EXPECT_EQ(out->WavFiles().size(), before);
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(Job, ARemoteTextsPronunciationIsItsOwn) {
  StartWav();
  settings.colloquialSpeech = true;
  Read("Robię, co chcę.");
  const auto colloquial = WavData(out->WavFiles().back());
  VirtualWaveOutOptions careful;
  careful.wavPath = dir / "careful.wav";
  careful.pacing = Pacing::Fast;
  Start(careful);
  Read("\\Pro=0\\Robię, co chcę.");
  const auto spokenCarefully = WavData(out->WavFiles().back());
  ASSERT_NE(spokenCarefully, colloquial);
  settings.colloquialSpeech = true;

  VirtualWaveOutOptions options;
  options.wavPath = dir / "remote.wav";
  options.pacing = Pacing::Fast;
  Start(options);
  ReadRemote("\\Pro=0\\Robię, co chcę.");
  EXPECT_EQ(WavData(out->WavFiles().back()), spokenCarefully);
  EXPECT_TRUE(settings.colloquialSpeech);
}

TEST_F(Job, ABrokenRemoteTextLeavesTheSpeedTheUserChoseMeanwhile) {
  StartWav(Pacing::RealTime);
  window->slider = 10;
  settings.colloquialSpeech = true;
  window->onPump = [&](int pump) {
    if (pump == 2) window->slider = 20;  // the user moves the slider
    if (pump == 6) job->RequestBreak();
  };
  ReadRemote("\\Spd=90\\\\Pro=0\\Pierwsze zdanie jest dość długie, żeby go nie skończyć. Drugie zdanie.");
  EXPECT_TRUE(window->leftAborted);
  EXPECT_EQ(window->slider, 20);
  EXPECT_TRUE(settings.colloquialSpeech);
}

TEST_F(Job, QuitAfterReadingPostsTheExit) {
  StartWav();
  window->quitAfterReading = true;
  Read("raz");
  EXPECT_EQ(window->exits, 1);
}

TEST(JobArithmetic, SpeedOfTags) {
  // The stored argument is the tag's number plus one; the speed is the
  // number less 50, limited to -49..+48, and 99 gives +50.
  const std::pair<int, int> cases[] = {{1, -49}, {2, -49}, {3, -48}, {51, 0}, {81, 30},
                                       {98, 47}, {99, 48}, {100, 50}};
  for (const auto& [argument, speed] : cases) EXPECT_EQ(SpeedOfTag(argument), speed) << argument;
}

// The level and balance read from a device's volume word at the start of a
// job: balance floor(99.5 - 50 L / R) when the left word L is below the right
// word R, floor(50 R / L + 0.5) otherwise; volume max(L, R) × 100 / 65535
// rounded, at most 99. Worked out by hand for each row.
TEST(JobArithmetic, VolumeAndBalanceOfADeviceWord) {
  struct Case {
    std::uint32_t left, right;
    int volume, balance;
  } cases[] = {
      {65535, 32768, 99, 25},  // 50 × 32768 / 65535 + 0.5 = 25.50
      {32768, 65535, 99, 74},  // 99.5 - 25.0008 = 74.499
      {40000, 40000, 61, 50},  // equal words: the centre; 40000 × 100 / 65535 = 61.04
      {39999, 40000, 61, 49},  // 99.5 - 49.99875 = 49.50
      {40000, 39999, 61, 50},  // 49.99875 + 0.5 = 50.49
      {0, 65535, 99, 99},      // right only
      {65535, 0, 99, 0},       // left only
      {327, 327, 0, 50},       // 327 × 100 / 65535 = 0.499: volume 0
      {328, 0, 1, 0},          // 0.5005 rounds to 1
      {64551, 64551, 98, 50},  // 98.4985: 98
      {64552, 64552, 99, 50},  // 98.5000: 99
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + "/" + std::to_string(c.right));
    int volume = 7, balance = 7;
    VolumeAndBalanceOf(c.left | (c.right << 16), volume, balance);
    EXPECT_EQ(volume, c.volume);
    EXPECT_EQ(balance, c.balance);
  }
  // An unknown volume (0) changes nothing.
  int volume = 7, balance = 7;
  VolumeAndBalanceOf(0, volume, balance);
  EXPECT_EQ(volume, 7);
  EXPECT_EQ(balance, 7);
}

// The word a volume tag (0-99 %) and a balance (0 left only, 50 centre, 100
// right only) give: the louder side has level × 65535 / 100, the other falls
// off in fiftieths of it. Worked out by hand for each row.
TEST(JobArithmetic, VolumeWordOfALevelAndABalance) {
  struct Case {
    int volume, balance;
    std::uint32_t left, right;
  } cases[] = {
      {99, 50, 64879, 64879},  // 6487965 / 100
      {50, 0, 32767, 0},       {50, 100, 0, 32767},
      {40, 25, 26214, 13107},  // 26214 × 25 / 50
      {40, 75, 13107, 26214},  // 26214 × 25 / 50
      {40, 49, 26214, 25689},  // 26214 × 49 / 50 = 25689.7
      {40, 51, 25689, 26214},  {40, 1, 26214, 524},  // 26214 / 50 = 524.28
      {40, 99, 524, 26214},    {0, 30, 0, 0},        {1, 50, 655, 655},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.volume) + "% balance " + std::to_string(c.balance));
    EXPECT_EQ(VolumeWordOf(c.volume, c.balance), c.left | (c.right << 16));
  }
}

}  // namespace
}  // namespace vokar

namespace vokar {
namespace {

// The job with the prosody stage, on a voice whose pieces sound like speech.
class ShapedJob : public ::testing::Test {
 protected:
  void SetUp() override { testing::FillVoicedInventory(db, settings); }

  void Read(const std::string& utf8, bool eightBitOnly = false) {
    VirtualWaveOutOptions options;
    options.wavPath = dir / "out.wav";
    options.pacing = Pacing::Fast;
    out = std::make_unique<VirtualWaveOut>(options);
    // An old card that takes only 8-bit samples.
    wrapped = std::make_unique<PickyOut>(*out, [](const WaveFormat& format) { return format.bitsPerSample == 8; });
    IWaveOut& target = eightBitOnly ? static_cast<IWaveOut&>(*wrapped) : static_cast<IWaveOut&>(*out);
    playback = std::make_unique<WavePlayback>(target);
    window = std::make_unique<TestWindow>(target);
    job = std::make_unique<CReadingJob>(ReadingJobContext{settings, db, nullptr, sink, *window, *playback, device_});
    window->job = job.get();
    window->slider = slider;
    job->ReadText(cp1250::FromUtf8(utf8));
  }

  struct Header {
    std::uint32_t rate = 0;
    int bits = 0;
    std::size_t bytes = 0;
  };
  static Header HeaderOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[44] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    return {static_cast<std::uint32_t>(h[24] | (h[25] << 8) | (h[26] << 16) | (h[27] << 24)), h[34],
            static_cast<std::size_t>(h[40] | (h[41] << 8) | (h[42] << 16) | (h[43] << 24))};
  }

  vokar::test::TestFolder folder{"shaped-job"};
  const std::filesystem::path dir = folder.path();
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  RecordingSink sink;
  int device_ = kWaveMapper;
  int slider = 0;
  std::unique_ptr<VirtualWaveOut> out;
  std::unique_ptr<PickyOut> wrapped;
  std::unique_ptr<WavePlayback> playback;
  std::unique_ptr<TestWindow> window;
  std::unique_ptr<CReadingJob> job;
};

// With the pitch kept the slider and the speed tags change the tempo: the
// device gets 16 bits at the voice's rate throughout, in one file, and the
// speech is as much shorter as the speed asks.
TEST_F(ShapedJob, TheSpeedChangesTheTempoNotTheRate) {
  Read("Mama ma kota, a Ala psa.");
  ASSERT_EQ(out->WavFiles().size(), 1u);
  const Header normal = HeaderOf(out->WavFiles()[0]);
  EXPECT_EQ(normal.rate, 22050u);
  EXPECT_EQ(normal.bits, 16);
  slider = -50;
  Read("Mama ma kota, a Ala psa.");
  const Header fast = HeaderOf(out->WavFiles()[0]);
  EXPECT_EQ(fast.rate, 22050u);
  EXPECT_NEAR(static_cast<double>(fast.bytes), normal.bytes / 1.5, normal.bytes * 0.01);
  slider = 0;
  Read("Mama ma \\Spd=99\\kota, a Ala psa.");
  ASSERT_EQ(out->WavFiles().size(), 1u) << "a speed tag changed the rate";
  EXPECT_EQ(HeaderOf(out->WavFiles()[0]).rate, 22050u);
  EXPECT_EQ(window->slider, -50);
  EXPECT_TRUE(sink.shown.empty());
}

// Without the pitch kept but with the melody, the speed is the rate again.
TEST_F(ShapedJob, WithoutThePitchKeptTheSpeedIsTheRate) {
  settings.prosody.keepPitch = false;
  slider = -30;
  Read("Mama ma kota.");
  ASSERT_EQ(out->WavFiles().size(), 1u);
  EXPECT_EQ(HeaderOf(out->WavFiles()[0]).rate, 28665u);
  EXPECT_EQ(HeaderOf(out->WavFiles()[0]).bits, 16);
}

TEST_F(ShapedJob, ADeviceThatRefuses16BitsGetsTheVoicesOwn8Bits) {
  Read("Mama ma kota.");
  const Header wide = HeaderOf(out->WavFiles()[0]);
  Read("Mama ma kota.", true);
  ASSERT_EQ(out->WavFiles().size(), 1u);
  const Header narrow = HeaderOf(out->WavFiles()[0]);
  EXPECT_EQ(narrow.bits, 8);
  EXPECT_EQ(narrow.rate, 22050u);
  EXPECT_EQ(narrow.bytes, wide.bytes / 2);
  EXPECT_TRUE(sink.shown.empty());
}

// Both switches off: the device gets exactly the pieces, one after another.
TEST_F(ShapedJob, BothSwitchesOffGiveThePlainPieces) {
  settings.prosody = {false, false};
  const std::string text = "Mama myła ramę, a Ala ma kota i 12 psów.";
  Read(text);
  std::ifstream in(out->WavFiles()[0], std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes.erase(bytes.begin(), bytes.begin() + 44);
  bytes.resize(HeaderOf(out->WavFiles()[0]).bytes);  // without the pad byte of an odd data chunk
  std::vector<std::uint8_t> expected;
  const std::string cp = cp1250::FromUtf8(text);
  CTextScanner scanner(cp, {settings, db, nullptr, sink});
  while (CUtterance* utterance = scanner.NextUtterance()) {
    for (const auto& token : utterance->Tokens()) {
      if (token.control) continue;
      for (const auto& e : token.allophones)
        if (e.index < allo::kNothing && db.Entry(e.index))
          expected.insert(expected.end(), db.Entry(e.index)->samples.begin(), db.Entry(e.index)->samples.end());
    }
  }
  ASSERT_EQ(bytes.size(), expected.size());
  const auto differ = std::mismatch(bytes.begin(), bytes.end(), expected.begin());
  EXPECT_EQ(differ.first, bytes.end()) << "from byte " << (differ.first - bytes.begin());
}

// A remote text broken while its own volume plays, silence or nearly full
// scale: the device's level is back as it was, and the next text of this
// computer sounds sample for sample as it does without the remote one.
TEST_F(Job, ABrokenRemoteTextsVolumeIsNotLeftForTheNextLocalText) {
  // The length the data chunk's header gives (a pad byte may follow it).
  const auto dataOf = [](const std::filesystem::path& path) {
    auto bytes = WavData(path);
    std::ifstream in(path, std::ios::binary);
    unsigned char header[44] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const std::size_t size = header[40] | (header[41] << 8) | (header[42] << 16) | (header[43] << 24);
    bytes.resize(std::min(bytes.size(), size));
    return bytes;
  };
  const std::uint32_t saved = 40000u | (40000u << 16);
  VirtualWaveOutOptions reference;
  reference.wavPath = dir / "reference.wav";
  reference.pacing = Pacing::Fast;
  Start(reference);
  out->SetVolume(kWaveMapper, saved);
  Read("Raz dwa.");
  ASSERT_EQ(out->WavFiles().size(), 1u);
  const auto normal = dataOf(out->WavFiles()[0]);
  ASSERT_FALSE(normal.empty());

  for (const std::string level : {"0", "99"}) {
    VirtualWaveOutOptions options;
    options.wavPath = dir / ("broken-" + level + ".wav");
    options.pacing = Pacing::RealTime;
    Start(options);
    out->SetVolume(kWaveMapper, saved);
    window->onPump = [&](int pump) {
      if (pump == 3) job->RequestBreak();
    };
    ReadRemote("\\Vol=" + level + "\\Długie zdanie, które zostanie przerwane w połowie czytania.");
    EXPECT_TRUE(window->leftAborted) << level;
    ASSERT_EQ(out->WavFiles().size(), 1u) << level;
    const auto broken = dataOf(out->WavFiles()[0]);
    ASSERT_FALSE(broken.empty()) << level;
    if (level == "0") {
      EXPECT_EQ(broken, std::vector<std::uint8_t>(broken.size(), 128));
    }
    EXPECT_EQ(out->GetVolume(kWaveMapper), saved) << level;

    window->onPump = nullptr;
    Read("Raz dwa.");
    EXPECT_FALSE(window->leftAborted) << level;
    ASSERT_EQ(out->WavFiles().size(), 1u) << level;
    const auto after = dataOf(out->WavFiles()[0]);
    ASSERT_EQ(after.size(), broken.size() + normal.size()) << level;
    EXPECT_TRUE(std::equal(normal.begin(), normal.end(), after.begin() + static_cast<long>(broken.size())))
        << "the local text after a remote \\Vol=" << level << "\\ sounds otherwise";
    EXPECT_EQ(out->GetVolume(kWaveMapper), saved) << level;
  }
}

}  // namespace
}  // namespace vokar
