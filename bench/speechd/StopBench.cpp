// How soon STOP silences sd_vokar, as speech-dispatcher sees it: the real
// module on its pipes with the real voice on the wav: device (which plays in
// real time and writes what was played up to the moment it is reset). Each
// run speaks a long text, sends STOP at a different moment, and measures
//  - sound after STOP: what the device played past the moment STOP was sent
//    (the WAV's growth in the run minus the time from BEGIN to STOP), and
//  - answer: from STOP to the module's "703 STOP";
// and for a message of 1 MiB of "&", the time to its BEGIN and to the answer
// of a STOP sent right after it.
// It prints the signed difference too, so that a device that played less
// than the time that passed (which would hide late sound) shows.
// The target is 50 ms for both; the exit status is 1 when a run missed it.
// Everything happens in a temporary folder, removed at the end, a failed run's
// too (its module log is shown first).
//   bench_speechd_stop [RUNS]   (default 20)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchFolder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

class Module {
 public:
  Module(const fs::path& folder) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> env{"PATH=/usr/bin:/bin",
                                 "HOME=" + folder.string(),
                                 "VOKAR_WAVEOUT=wav:" + (folder / "out.wav").string(),
                                 "VOKAR_REGISTRY_DIR=" + (folder / "registry").string(),
                                 "VOKAR_CONFIG_DIR=" + (folder / "config").string(),
                                 "VOKAR_DATA_DIR=" VOKAR_STAGE_DATA};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = SD_VOKAR;
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, (folder / "module.log").c_str(), O_WRONLY | O_CREAT, 0644);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~Module() {
    ::close(to_);
    ::close(from_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  void Send(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
      const ssize_t n = ::write(to_, text.data() + at, text.size() - at);
      if (n <= 0) return;
      at += static_cast<std::size_t>(n);
    }
  }
  // Reads up to the line that starts with `prefix` (or with `other`, when
  // given); the moment it came.
  std::optional<Clock::time_point> WaitFor(const std::string& prefix, int timeoutMs = 30000,
                                           const std::string& other = {}) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      for (std::size_t end; (end = buffer_.find('\n')) != std::string::npos;) {
        const std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (line.rfind(prefix, 0) == 0 || (!other.empty() && line.rfind(other, 0) == 0)) return received_;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd fd{from_, POLLIN, 0};
      if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(from_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      received_ = Clock::now();
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  std::string buffer_;
  Clock::time_point received_;
};

// Seconds of sound in the WAV file: its data size over its bytes per second.
double WavSeconds(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string header(44, '\0');
  if (!in.read(header.data(), 44)) return 0;
  auto le = [&](int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(header[static_cast<std::size_t>(at + i)]);
    return v;
  };
  const std::uint32_t bytesPerSecond = le(28), size = le(40);
  return bytesPerSecond == 0 ? 0 : static_cast<double>(size) / bytesPerSecond;
}

struct Figures {
  double median, worst;
};

Figures Summary(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.back()};
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  if (!fs::exists(fs::path(VOKAR_STAGE_DATA) / "pl_22.alf")) {
    std::fprintf(stderr, "bench_speechd_stop: the voice is not built (%s)\n", VOKAR_STAGE_DATA);
    return 2;
  }
  // Removed on every way out of main, after the module has ended.
  const vokar::bench::BenchFolder folder("bench_speechd_stop");
  if (!folder.ok()) return folder.Fail("no temporary folder");
  int status = 0;
  {
    Module module(folder.path());
    if (!module.Started()) return folder.Fail("sd_vokar did not start");
    module.Send("INIT\n");
    if (!module.WaitFor("299 ")) return folder.Fail("sd_vokar did not answer INIT");
    std::string text;
    for (int i = 0; i < 6; ++i) text += "Pociąg do Krakowa odjeżdża z peronu trzeciego o godzinie 14:30. ";
    std::vector<double> after, answer, offset;
    for (int run = 0; run < runs; ++run) {
      const double before = WavSeconds(folder / "out.wav");
      module.Send("SPEAK\n<speak>" + text + "</speak>\n.\n");
      const auto begin = module.WaitFor("701 BEGIN");
      if (!begin) return folder.Fail("run " + std::to_string(run) + ": no BEGIN");
      // STOP at a different moment of the speech each run: 300 to 1800 ms in.
      std::this_thread::sleep_for(std::chrono::milliseconds(300 + (run * 577) % 1500));
      const auto stop = Clock::now();
      module.Send("STOP\n");
      const auto stopped = module.WaitFor("703 STOP");
      if (!stopped) return folder.Fail("run " + std::to_string(run) + ": no answer to STOP");
      const double played = (WavSeconds(folder / "out.wav") - before) * 1000.0;
      offset.push_back(played - Ms(stop - *begin));
      after.push_back(std::max(0.0, offset.back()));
      answer.push_back(Ms(*stopped - stop));
    }
    const Figures sound = Summary(after), reply = Summary(answer);
    std::vector<double> sorted = offset;
    std::sort(sorted.begin(), sorted.end());
    std::printf("runs: %d\n", runs);
    std::printf("sound after STOP: median %.1f ms, worst %.1f ms (target 50 ms)\n", sound.median, sound.worst);
    // Played minus the time from BEGIN to STOP, signed: near zero when the
    // device played in step with the clock and stopped at the STOP.
    std::printf("played - (STOP - BEGIN): from %.1f to %.1f ms\n", sorted.front(), sorted.back());
    std::printf("703 STOP answer:  median %.1f ms, worst %.1f ms (target 50 ms)\n", reply.median, reply.worst);
    status = sound.worst <= 50.0 && reply.worst <= 50.0 ? 0 : 1;

    // A message of 1 MiB of "&" (each could open an entity, and none is
    // spoken): how soon it begins and ends, and how soon it ends with a STOP
    // sent right after the SPEAK (answered with 703 STOP, or with the END
    // that came first).
    const std::string ampersands = "SPEAK\n" + std::string(1u << 20, '&') + "\n.\n";
    const auto sent = Clock::now();
    module.Send(ampersands);
    const auto begun = module.WaitFor("701 BEGIN");
    const auto ended = begun ? module.WaitFor("702 END", 30000, "703 STOP") : std::nullopt;
    if (!ended) return folder.Fail("1 MiB of \"&\": no BEGIN or no end");
    const auto sentWithStop = Clock::now();
    module.Send(ampersands + "STOP\n");
    const auto answered = module.WaitFor("702 END", 30000, "703 STOP");
    if (!answered) return folder.Fail("1 MiB of \"&\" and a STOP: no end");
    const double toBegin = Ms(*begun - sent), toEnd = Ms(*ended - sent), toStop = Ms(*answered - sentWithStop);
    std::printf("1 MiB of \"&\": SPEAK to BEGIN %.1f ms, to its end %.1f ms; with a STOP after it, to its end %.1f ms "
                "(target 1000 ms)\n",
                toBegin, toEnd, toStop);
    if (toEnd > 1000.0 || toStop > 1000.0) status = 1;
    module.Send("QUIT\n");
  }
  return status;
}
