// The silence between two queued messages, as a screen reader's user hears
// it: Orca says one focus change as several messages ("Konwersje panel."
// then the control), which speech-dispatcher queues and hands to the module
// one after the other. A private speech-dispatcher plays through a timing
// card of our own (an ALSA plugin that plays in real time and logs when its
// audible sound starts and ends), with sd_vokar and with espeak-ng's module
// for comparison, both through that card: sd_vokar on its own wave output,
// espeak-ng through speech-dispatcher's ALSA output. Each run queues a pair
// of messages; the gap is the time from the last audible sample of the first
// to the first audible sample of the second. The time from the SPEAK of the
// first message to its first audible sample is printed too.
// The target for sd_vokar is a median gap of at most 150 ms; the exit status
// is 1 when it is missed.
//   bench_speechd_gap [RUNS]   (default 10 pairs per module)
// Everything happens in a temporary folder, removed at the end, a failed run's
// too (the logs of speech-dispatcher and its modules are shown first).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "BenchFolder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::int64_t Ns(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

class Server {
 public:
  Server(const fs::path& folder, const fs::path& conf) {
    std::vector<std::string> env{"PATH=/usr/bin:/bin",
                                 "HOME=" + (folder / "home").string(),
                                 "XDG_RUNTIME_DIR=" + (folder / "run").string(),
                                 "XDG_CACHE_HOME=" + (folder / "cache").string(),
                                 "XDG_CONFIG_HOME=" + (folder / "config").string(),
                                 "ALSA_CONFIG_PATH=" + (folder / "asound.conf").string(),
                                 "VOKAR_REGISTRY_DIR=" + (folder / "registry").string(),
                                 "VOKAR_CONFIG_DIR=" + (folder / "vokar-config").string(),
                                 "VOKAR_DATA_DIR=" VOKAR_STAGE_DATA,
                                 "LANG=C.UTF-8"};
    socket_ = folder / "run" / "speechd.sock";
    std::vector<std::string> args{"/usr/bin/speech-dispatcher", "-s", "-t", "0", "-C", conf.string(),
                                  "-S", socket_.string(), "-P", (folder / "run" / "pid").string(),
                                  "-L", (folder / "logs").string()};
    fs::create_directories(folder / "logs");
    fs::create_directories(folder / "run");
    fs::remove(socket_);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (folder / "speechd.out").c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = Clock::now() + 10s;
    while (pid_ > 0 && !fs::exists(socket_) && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
  }
  ~Server() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + 5s;
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
  }
  bool Ready() const { return pid_ > 0 && fs::exists(socket_); }
  const fs::path& Socket() const { return socket_; }

 private:
  pid_t pid_ = -1;
  fs::path socket_;
};

// A client of speech-dispatcher's SSIP on its socket.
class Client {
 public:
  explicit Client(const fs::path& socket) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Connected() const { return fd_ >= 0; }

  // Sends a command and returns the last line of its answer.
  std::string Command(const std::string& line) {
    Send(line + "\r\n");
    return Answer();
  }
  // Queues a message; its id, or -1.
  int Speak(const std::string& text) {
    if (Command("SPEAK").rfind("230", 0) != 0) return -1;
    Send(text + "\r\n.\r\n");
    int id = -1;
    for (;;) {
      const auto line = ReplyLine();
      if (!line) return -1;
      if (line->rfind("225-", 0) == 0) id = std::atoi(line->c_str() + 4);
      if (line->rfind("225 ", 0) == 0) return id;
    }
  }
  // Waits for the END of a message; when its notice came.
  std::optional<Clock::time_point> WaitForEnd(int id, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    int current = -1;
    for (;;) {
      std::optional<std::string> line;
      Clock::time_point at = received_;
      if (!events_.empty()) {
        std::tie(line, at) = events_.front();
        events_.erase(events_.begin());
      } else {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        line = ReadLine(std::max(left, 0ms));
        at = received_;
      }
      if (!line) return std::nullopt;
      if (line->rfind("702-", 0) == 0 && current < 0) current = std::atoi(line->c_str() + 4);
      if (line->rfind("702 END", 0) == 0) {
        if (current == id) return at;
        current = -1;
      }
    }
  }

 private:
  void Send(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t n = ::write(fd_, bytes.data() + at, bytes.size() - at);
      if (n <= 0) return;
      at += static_cast<std::size_t>(n);
    }
  }
  std::string Answer() {
    for (;;) {
      const auto line = ReplyLine();
      if (!line) return {};
      if (line->size() >= 4 && (*line)[3] == ' ') return *line;
    }
  }
  // The next line of a reply; events (7xx) that come between are kept for
  // WaitForEnd with the moment they came.
  std::optional<std::string> ReplyLine() {
    for (;;) {
      auto line = ReadLine(10s);
      if (!line || line->empty() || (*line)[0] != '7') return line;
      events_.emplace_back(*line, received_);
    }
  }
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      if (const auto end = buffer_.find("\r\n"); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 2);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd fd{fd_, POLLIN, 0};
      if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      received_ = Clock::now();
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  int fd_ = -1;
  std::string buffer_;
  std::vector<std::pair<std::string, Clock::time_point>> events_;
  Clock::time_point received_;
};

struct Sound {
  std::int64_t first, last;
};

// The stretches of sound the card has logged so far.
std::vector<Sound> CardLog(const fs::path& log) {
  std::vector<Sound> sounds;
  std::ifstream in(log);
  std::string word;
  Sound sound{};
  while (in >> word >> sound.first >> sound.last)
    if (word == "sound") sounds.push_back(sound);
  std::sort(sounds.begin(), sounds.end(), [](const Sound& a, const Sound& b) { return a.first < b.first; });
  return sounds;
}

struct Figures {
  std::vector<double> gaps, starts;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Queues `runs` pairs of messages through the module and measures them.
std::optional<Figures> Measure(const fs::path& folder, const std::string& module, int runs) {
  const fs::path log = folder / "card.log";
  fs::remove(log);
  auto fail = [&](const char* why) {
    std::fprintf(stderr, "bench_speechd_gap: %s: %s\n", module.c_str(), why);
    return std::nullopt;
  };
  Server server(folder, folder / "conf");
  if (!server.Ready()) return fail("speech-dispatcher did not start");
  // The socket's file can be there a moment before speech-dispatcher listens.
  std::unique_ptr<Client> connection;
  for (int attempt = 0; attempt < 50 && !(connection && connection->Connected()); ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(100ms);
    connection = std::make_unique<Client>(server.Socket());
  }
  if (!connection->Connected()) return fail("no connection to speech-dispatcher");
  Client& client = *connection;
  client.Command("SET self CLIENT_NAME user:bench:gap");
  // The language first: set after the module, it would choose the module
  // that the configuration names for it.
  client.Command("SET self LANGUAGE pl");
  if (client.Command("SET self OUTPUT_MODULE " + module).rfind("216", 0) != 0) return fail("the module was refused");
  client.Command("SET self PRIORITY message");
  client.Command("SET self NOTIFICATION all on");
  // A first message wakes the module (speech-dispatcher starts it lazily).
  const int warm = client.Speak("Start.");
  if (warm < 0 || !client.WaitForEnd(warm, 30s)) return fail("the first message never ended");
  std::this_thread::sleep_for(300ms);

  const std::pair<const char*, const char*> pairs[] = {
      {"Konwersje panel.", "Czytaj pełne liczby pole wyboru zaznaczony."},
      {"Słownik skrótów i wyjątków panel.", "Skoryguj wypowiedź według słownika pole wyboru niezaznaczony."},
      {"Vokar okno dialogowe.", "Czytaj przycisk."},
  };
  Figures figures;
  for (int run = 0; run < runs; ++run) {
    const auto& [first, second] = pairs[run % std::size(pairs)];
    const auto sent = Clock::now();
    const int a = client.Speak(first);
    const int b = client.Speak(second);
    if (a < 0 || b < 0) return fail("a message was refused");
    const auto endA = client.WaitForEnd(a, 30s);
    const auto endB = endA ? client.WaitForEnd(b, 30s) : std::nullopt;
    if (!endB) return fail("a message never ended");
    // The card writes a stream's sound when the stream stops: a moment for
    // the last one.
    std::this_thread::sleep_for(300ms);
    std::optional<std::int64_t> lastOfA, firstOfB, firstOfA;
    for (const Sound& sound : CardLog(log)) {
      if (sound.first < Ns(sent)) continue;
      if (sound.first < Ns(*endA)) {
        if (!firstOfA) firstOfA = sound.first;
        lastOfA = std::max(lastOfA.value_or(sound.last), sound.last);
      } else if (!firstOfB) {
        firstOfB = sound.first;
      }
    }
    if (!lastOfA || !firstOfB) {
      std::fprintf(stderr, "bench_speechd_gap: %s: run %d: no sound of %s\n", module.c_str(), run,
                   lastOfA ? "the second message" : "the first message");
      return std::nullopt;
    }
    figures.gaps.push_back(static_cast<double>(*firstOfB - *lastOfA) / 1e6);
    figures.starts.push_back(static_cast<double>(*firstOfA - Ns(sent)) / 1e6);
  }
  client.Command("QUIT");
  return figures;
}

void Print(const char* name, const Figures& figures) {
  auto sorted = figures.gaps;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%-10s gap between queued messages: median %6.1f ms, from %.1f to %.1f ms; SPEAK to sound: median %.1f ms\n",
              name, Median(figures.gaps), sorted.front(), sorted.back(), Median(figures.starts));
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  if (!fs::exists(fs::path(VOKAR_STAGE_DATA) / "pl_22.alf")) {
    std::fprintf(stderr, "bench_speechd_gap: the voice is not built (%s)\n", VOKAR_STAGE_DATA);
    return 2;
  }
  // Removed on every way out of main; speech-dispatcher has ended by then.
  const vokar::bench::BenchFolder bench("bench_speechd_gap");
  if (!bench.ok()) return bench.Fail("no temporary folder");
  const fs::path& folder = bench.path();

  Write(folder / "asound.conf", "pcm_type.vokartiming { lib \"" TIMING_CARD "\" }\n"
                                "pcm.!default { type vokartiming log \"" + (folder / "card.log").string() + "\" }\n");
  // speech-dispatcher plays espeak-ng's sound through ALSA's default, the
  // card; sd_vokar plays on its own wave output, whose default is the card
  // too. The symbols are left to the modules, as Orca's users are advised.
  Write(folder / "conf" / "speechd.conf",
        "DisableAutoSpawn\n"
        "LogLevel 3\n"
        "AudioOutputMethod \"alsa\"\n"
        "AudioALSADevice \"default\"\n"
        "DefaultLanguage \"pl\"\n"
        "SymbolsPreproc \"no\"\n"
        "AddModule \"vokar\" \"" SD_VOKAR "\" \"vokar.conf\"\n"
        "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
        "DefaultModule vokar\n");
  Write(folder / "conf" / "modules" / "vokar.conf", "# the defaults\n");
  Write(folder / "conf" / "modules" / "espeak-ng.conf", "# the defaults\n");

  int status = 2;
  const auto vokar = Measure(folder, "vokar", runs);
  const bool haveEspeak = fs::exists("/usr/lib/speech-dispatcher-modules/sd_espeak-ng");
  const auto espeak = haveEspeak ? Measure(folder, "espeak-ng", runs) : std::nullopt;
  if (vokar) {
    std::printf("pairs per module: %d\n", runs);
    Print("sd_vokar", *vokar);
    if (espeak) Print("espeak-ng", *espeak);
    else std::printf("espeak-ng  not measured (speech-dispatcher-espeak-ng is not installed or did not speak)\n");
    status = Median(vokar->gaps) <= 150.0 ? 0 : 1;
  } else {
    return bench.Fail("sd_vokar could not be measured");
  }
  return status;
}
