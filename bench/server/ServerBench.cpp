// bench_server: what a client of the real speech server waits for.
//  1. A DDE poke of 65276 bytes of Polish text plus "read", to the first
//     bytes of audio on the WAV device (its fast form, which writes each
//     buffer the moment it is played, so the first bytes mark the first
//     chunk handed to the device).
//  2. "status" round trips per second while the server speaks in real time,
//     and whether speech stalled meanwhile: the job's wall time against the
//     length of the audio it wrote.
// The server runs on a private desktop and settings store in a folder of
// its own, removed at the end, with the voice the build made.
//   bench_server [--rounds N] [--flood-seconds S]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Cp1250.h"
#include "Ddeml.h"
#include "Desktop.h"
#include "PolishSample.h"

extern char** environ;

namespace {

using namespace vokar;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct WavInfo {
  std::uint32_t dataBytes = 0;
  std::uint32_t bytesPerSecond = 0;
};

WavInfo ReadWavInfo(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[44] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return {};
  auto u32 = [&](int at) {
    return static_cast<std::uint32_t>(header[at]) | (static_cast<std::uint32_t>(header[at + 1]) << 8) |
           (static_cast<std::uint32_t>(header[at + 2]) << 16) | (static_cast<std::uint32_t>(header[at + 3]) << 24);
  };
  return {u32(40), u32(28)};
}

class Server {
 public:
  Server(const std::filesystem::path& folder, const std::string& wave) {
    ::setenv("VOKAR_WAVEOUT", wave.c_str(), 1);
    std::vector<std::string> args = {VOKAR_PATH, "/L-"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, (folder / "vokar.out").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (::posix_spawn(&pid_, VOKAR_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Server() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(10ms);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

class Client {
 public:
  Client() { dde::Initialize(instance_, nullptr, dde::InitMode::ClientOnly); }
  ~Client() {
    if (conversation_) dde::Disconnect(conversation_);
    dde::Uninitialize(instance_);
  }
  bool Connect() {
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      if (desktop::FindWindow("Vokar")) {
        conversation_ = dde::Connect(instance_, dde::CreateStringHandle(instance_, "Vokar"),
                                     dde::CreateStringHandle(instance_, "System"));
        if (conversation_) return true;
      }
      desktop::PumpMessages(20ms);
    }
    return false;
  }
  bool Poke(const std::string& cp1250) {
    std::string data = cp1250 + '\0';
    return dde::ClientTransaction(data, conversation_, dde::CreateStringHandle(instance_, "text"), dde::CF_TEXT,
                                  dde::TransactionType::Poke, 5000ms, nullptr);
  }
  int Execute(const char* command) {
    std::uint32_t status = 0;
    std::string data = std::string(command) + '\0';
    if (!dde::ClientTransaction(data, conversation_, {}, dde::CF_TEXT, dde::TransactionType::Execute, 5000ms, &status))
      return -1;
    return static_cast<int>(status & 0xFF);
  }

 private:
  dde::DdeInstance instance_ = 0;
  dde::Conversation conversation_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The text of a poke that fills the server's limit exactly.
std::string PokeText() {
  std::string text = cp1250::FromUtf8(bench::PolishSampleText(70000));
  text.resize(65276);
  return text;
}

int FirstAudio(const std::filesystem::path& root, int rounds) {
  std::vector<double> times;
  const std::string text = PokeText();
  for (int round = 0; round < rounds; ++round) {
    const auto wav = root / ("first-" + std::to_string(round) + ".wav");
    Server server(root, "wav:" + wav.string() + ",fast");
    Client client;
    if (!server.started() || !client.Connect()) {
      std::fprintf(stderr, "bench_server: the server did not come up (see %s)\n", (root / "vokar.out").c_str());
      return 1;
    }
    const auto start = Clock::now();
    if (!client.Poke(text) || client.Execute("read") < 0) {
      std::fprintf(stderr, "bench_server: the server refused the text\n");
      return 1;
    }
    while (ReadWavInfo(wav).dataBytes == 0) {
      if (Clock::now() - start > 20s) {
        std::fprintf(stderr, "bench_server: no audio within 20 s\n");
        return 1;
      }
      std::this_thread::sleep_for(100us);
    }
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    client.Execute("break");
  }
  std::printf("poke of 65276 bytes + read, to the first audio bytes: median %.1f ms, best %.1f ms, worst %.1f ms (%d runs)\n",
              Median(times), *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
              rounds);
  return 0;
}

int StatusFlood(const std::filesystem::path& root, double floodSeconds) {
  const auto wav = root / "flood.wav";
  Server server(root, "wav:" + wav.string());
  Client client;
  if (!server.started() || !client.Connect()) {
    std::fprintf(stderr, "bench_server: the server did not come up\n");
    return 1;
  }
  // A text that speaks for longer than the flood runs.
  std::string text;
  for (const char* paragraph : bench::kParagraphs) {
    text += cp1250::FromUtf8(paragraph);
    if (text.size() > static_cast<std::size_t>(floodSeconds * 18)) break;
  }
  client.Poke(text);
  const auto start = Clock::now();
  client.Execute("read");
  long count = 0;
  bool speaking = true;
  Clock::time_point floodEnd = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(floodSeconds));
  Clock::time_point jobEnd{};
  while (speaking) {
    const int status = client.Execute("status");
    if (status < 0) {
      std::fprintf(stderr, "bench_server: a status went unanswered\n");
      return 1;
    }
    if (Clock::now() < floodEnd) ++count;
    if (status == 2) {
      jobEnd = Clock::now();
      speaking = false;
    }
    if (Clock::now() >= floodEnd && speaking) {
      // After the flood: look now and then until the job ends.
      std::this_thread::sleep_for(5ms);
    }
  }
  const double flooded = std::min(floodSeconds, std::chrono::duration<double>(jobEnd - start).count());
  const WavInfo info = ReadWavInfo(wav);
  const double audio = info.bytesPerSecond ? static_cast<double>(info.dataBytes) / info.bytesPerSecond : 0;
  const double wall = std::chrono::duration<double>(jobEnd - start).count();
  std::printf("status round trips during speech: %.0f per second (%ld in %.2f s)\n", count / flooded, count, flooded);
  std::printf("the job's wall time %.3f s for %.3f s of audio: %.0f ms beyond the audio (status floods %.1f s of it)\n",
              wall, audio, (wall - audio) * 1000, flooded);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  double floodSeconds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--flood-seconds") == 0) floodSeconds = std::max(0.5, std::atof(argv[i + 1]));
  }
  char pattern[] = "/tmp/bench-server-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path root = pattern;
  for (const char* sub : {"desktop", "registry", "config"}) std::filesystem::create_directories(root / sub);
  ::setenv("VOKAR_DESKTOP_DIR", (root / "desktop").c_str(), 1);
  ::setenv("VOKAR_REGISTRY_DIR", (root / "registry").c_str(), 1);
  ::setenv("VOKAR_CONFIG_DIR", (root / "config").c_str(), 1);
  ::setenv("VOKAR_MSGBOX_LOG", (root / "messages.log").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int result = FirstAudio(root, rounds);
  if (result == 0) result = StatusFlood(root, floodSeconds);
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
