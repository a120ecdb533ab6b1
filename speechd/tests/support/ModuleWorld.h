// Support for the tests that run sd_vokar and speech-dispatcher as real
// processes: a world of the test's own (home, settings, config and runtime
// folders, the WAV device writing into the folder), a child process with
// pipes that is killed and reaped however the test ends, and a reader of the
// WAV files the module wrote.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PrivateUser.h"
#include "TestFolder.h"

namespace vokar::speechd::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

struct Line {
  std::string text;
  Clock::time_point at;
};

enum class Output { Pipe, ToLog };

// A program with its standard input and output on pipes (or its output in
// the log too); standard error goes to the log file. Killed and reaped when
// the object goes.
class Child {
 public:
  Child(const std::filesystem::path& program, const std::vector<std::string>& arguments,
        const std::vector<std::string>& environment, const std::filesystem::path& cwd,
        const std::filesystem::path& errors, Output output = Output::Pipe) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return;
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (output == Output::Pipe) posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    else posix_spawn_file_actions_adddup2(&actions, 2, 1);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
  }
  ~Child() {
    CloseInput();
    if (out_ >= 0) ::close(out_);
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }

  void Send(std::string_view bytes) {
    while (!bytes.empty() && in_ >= 0) {
      const ssize_t wrote = ::write(in_, bytes.data(), bytes.size());
      if (wrote <= 0) {
        if (wrote < 0 && errno == EINTR) continue;
        ADD_FAILURE() << "the module no longer reads";
        return;
      }
      bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
  }

  void CloseInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }

  // The next line the program writes, without its line feed; nothing when
  // none comes in time or the output ended.
  std::optional<Line> ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
        Line line{buffer_.substr(0, end), received_};
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || out_ < 0) return std::nullopt;
      pollfd fd{out_, POLLIN, 0};
      if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[4096];
      const ssize_t got = ::read(out_, chunk, sizeof chunk);
      if (got <= 0) return std::nullopt;
      received_ = Clock::now();
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  // Lines up to and with the first that starts with `prefix`; fails the
  // test when it does not come in time.
  std::vector<Line> ReadUntil(std::string_view prefix, std::chrono::milliseconds timeout = 30s) {
    std::vector<Line> lines;
    const auto deadline = Clock::now() + timeout;
    while (auto line = ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
      lines.push_back(*line);
      if (line->text.starts_with(prefix)) return lines;
    }
    std::string seen;
    for (const auto& line : lines) seen += "\n  " + line.text;
    ADD_FAILURE() << "no line starting with \"" << prefix << "\" came; seen:" << seen;
    return lines;
  }

  // The exit status when it ends in time, else nothing.
  std::optional<int> Wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!reaped_) {
      int status = 0;
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        reaped_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (Clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(5ms);
    }
    return status_;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string buffer_;
  Clock::time_point received_ = Clock::now();
};

// What the WAV device wrote: every file of the series, in order.
struct Wav {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  std::uint16_t bits = 0;
  std::vector<std::uint8_t> data;

  double Seconds() const { return rate == 0 ? 0 : static_cast<double>(data.size()) / (rate * channels * (bits / 8)); }
  std::size_t Samples() const { return bits == 16 ? data.size() / 2 : data.size(); }
  // A sample's distance from silence in steps of 8 bits (a 16-bit sample
  // divided by 256): the voice's own 8 bits, or the prosody stage's 16.
  int Level(std::size_t i) const {
    if (bits == 16) return std::abs(static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8))) / 256;
    return std::abs(static_cast<int>(data[i]) - 128);
  }
  bool Silent(std::size_t i) const {
    return bits == 16 ? data[2 * i] == 0 && data[2 * i + 1] == 0 : data[i] == 128;
  }
  // The largest distance of a sample from silence, in 8-bit steps.
  int Peak() const {
    int peak = 0;
    for (std::size_t i = 0; i < Samples(); ++i) peak = std::max(peak, Level(i));
    return peak;
  }
  // Where each stretch of exact silence of at least `minimum` seconds ends, in seconds.
  std::vector<double> SilenceEnds(double minimum) const {
    std::vector<double> ends;
    std::size_t run = 0;
    for (std::size_t i = 0; i <= Samples(); ++i) {
      if (i < Samples() && Silent(i)) {
        ++run;
        continue;
      }
      if (run >= minimum * rate) ends.push_back(static_cast<double>(i) / rate);
      run = 0;
    }
    return ends;
  }
};

inline std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// Reads a WAV file the device wrote; nothing when it is not one.
inline std::optional<Wav> ReadWav(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
      bytes.compare(36, 4, "data") != 0)
    return std::nullopt;
  Wav wav;
  wav.channels = static_cast<std::uint16_t>(Le(bytes, 22, 2));
  wav.rate = Le(bytes, 24, 4);
  wav.bits = static_cast<std::uint16_t>(Le(bytes, 34, 2));
  const std::size_t size = std::min<std::size_t>(Le(bytes, 40, 4), bytes.size() - 44);
  wav.data.assign(bytes.begin() + 44, bytes.begin() + 44 + static_cast<std::ptrdiff_t>(size));
  return wav;
}

// The folder of one test: the module's and speech-dispatcher's whole world.
class ModuleWorld {
 public:
  ModuleWorld() : folder_("speechd") {
    for (const char* sub : {"home", "config", "work", "empty"}) std::filesystem::create_directories(folder_ / sub);
    // A socket's path may hold 107 bytes at most: the runtime folder has a
    // short name of its own beside the test's folder (mode 0700).
    std::string pattern = (vokar::test::TestFolder::Root() / "sd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) runtime_ = pattern;
  }
  ~ModuleWorld() {
    std::error_code ignored;
    if (!runtime_.empty()) std::filesystem::remove_all(runtime_, ignored);
  }
  ModuleWorld(const ModuleWorld&) = delete;
  ModuleWorld& operator=(const ModuleWorld&) = delete;

  const vokar::test::TestFolder& folder() const { return folder_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return folder_ / name; }
  std::filesystem::path WavPath() const { return folder_ / "out.wav"; }
  std::filesystem::path Registry() const { return folder_ / "registry"; }

  // The environment every program of the test runs with: nothing of the
  // real home, the real settings or the real speech-dispatcher.
  std::vector<std::string> Environment(const std::string& dataDir) const {
    std::vector<std::string> environment{"PATH=/usr/bin:/bin",
                                         "VOKAR_WAVEOUT=wav:" + WavPath().string() + wavOptions,
                                         "VOKAR_REGISTRY_DIR=" + Registry().string(),
                                         "VOKAR_CONFIG_DIR=" + (folder_ / "config").string(),
                                         "VOKAR_DATA_DIR=" + dataDir,
                                         "SPEECHD_ADDRESS=unix_socket:" + Socket().string(),
                                         "LC_ALL=C.UTF-8"};
    // A user of the test's own, with the short runtime folder of the sockets.
    vokar::test::MakePrivateUserFolders(folder_.path());
    for (const auto& [name, value] : vokar::test::PrivateUserEnvironment(folder_.path())) {
      environment.push_back(name + "=" + (name == "XDG_RUNTIME_DIR" ? runtime_.string() : value));
    }
    return environment;
  }

  std::filesystem::path Runtime() const { return runtime_; }
  std::filesystem::path Socket() const { return runtime_ / "sock"; }

  // Every WAV file the device wrote, in the order of the series.
  std::vector<Wav> Wavs() const {
    std::vector<Wav> wavs;
    for (int n = 1;; ++n) {
      const auto path = n == 1 ? WavPath() : folder_ / ("out-" + std::to_string(n) + ".wav");
      if (!std::filesystem::exists(path)) break;
      const auto wav = ReadWav(path);
      if (!wav) {
        ADD_FAILURE() << path << " is no WAV file";
        break;
      }
      wavs.push_back(*wav);
    }
    return wavs;
  }

  double TotalSeconds() const {
    double total = 0;
    for (const auto& wav : Wavs()) total += wav.Seconds();
    return total;
  }

  std::string wavOptions;  // ",fast" and the like

 private:
  vokar::test::TestFolder folder_;
  std::filesystem::path runtime_;
};

struct ToolRun {
  std::optional<int> exitCode;
  std::string out;
};

// Runs a tool to its end (at most `timeout`) and keeps its standard output.
inline ToolRun RunTool(const ModuleWorld& world, const std::filesystem::path& program,
                       const std::vector<std::string>& arguments, const std::string& dataDir,
                       std::chrono::milliseconds timeout = 60s) {
  Child tool(program, arguments, world.Environment(dataDir), world / "work", world / "tools.log");
  tool.CloseInput();
  ToolRun run;
  const auto deadline = Clock::now() + timeout;
  while (auto line = tool.ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())))
    run.out += line->text + "\n";
  run.exitCode = tool.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(
      std::max(deadline - Clock::now(), Clock::duration(0))));
  return run;
}

// speech-dispatcher on the world's own socket, with the configuration
// folder given (speechd.conf and modules/), its own sound on libao's silent
// driver, and its modules from `moduleDir` when one is given. Ended when the
// object goes, and every module it left behind with it: the test process
// takes over orphans (a child subreaper) so that it can reap them.
class PrivateSpeechDispatcher {
 public:
  PrivateSpeechDispatcher(const ModuleWorld& world, const std::filesystem::path& confDir,
                          const std::optional<std::filesystem::path>& moduleDir, std::string dataDir)
      : world_(world), dataDir_(std::move(dataDir)) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    world.folder().Write("home/.libao", "default_driver=null\n");
    std::filesystem::create_directories(world / "logs");
    std::vector<std::string> arguments{"-s", "-t", "0", "-C", confDir.string(), "-S", world.Socket().string(),
                                       "-P", (world.Runtime() / "pid").string(), "-L", (world / "logs").string()};
    if (moduleDir) {
      arguments.push_back("-m");
      arguments.push_back(moduleDir->string());
    }
    server_ = std::make_unique<Child>("/usr/bin/speech-dispatcher", arguments, world.Environment(dataDir_),
                                      world / "work", world / "speechd.out", Output::ToLog);
    const auto deadline = Clock::now() + 10s;
    while (server_->Started() && !std::filesystem::exists(world.Socket())) {
      if (Clock::now() >= deadline || server_->Wait(0ms)) return;
      std::this_thread::sleep_for(20ms);
    }
    ready_ = server_->Started() && std::filesystem::exists(world.Socket());
  }
  ~PrivateSpeechDispatcher() {
    if (server_ && server_->Started()) {
      ::kill(server_->pid(), SIGTERM);
      if (!server_->Wait(5s)) ADD_FAILURE() << "speech-dispatcher did not end on SIGTERM";
    }
    server_.reset();
    ReapOrphans();
  }
  PrivateSpeechDispatcher(const PrivateSpeechDispatcher&) = delete;
  PrivateSpeechDispatcher& operator=(const PrivateSpeechDispatcher&) = delete;

  // True when its socket is up.
  bool Ready() const { return ready_; }

  // spd-say with the arguments, as a user runs it; its exit status, or
  // nothing when it did not end in time.
  ToolRun SpdSay(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout = 30s) const {
    return RunTool(world_, "/usr/bin/spd-say", arguments, dataDir_, timeout);
  }

 private:
  static void ReapOrphans() {
    const auto deadline = Clock::now() + 3s;
    for (;;) {
      while (::waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      std::vector<pid_t> children;
      const std::string self = std::to_string(::getpid());
      std::ifstream in("/proc/" + self + "/task/" + self + "/children");
      pid_t pid;
      while (in >> pid) children.push_back(pid);
      if (children.empty()) return;
      for (pid_t child : children) ::kill(child, Clock::now() < deadline ? SIGTERM : SIGKILL);
      std::this_thread::sleep_for(20ms);
    }
  }

  const ModuleWorld& world_;
  std::string dataDir_;
  std::unique_ptr<Child> server_;
  bool ready_ = false;
};

}  // namespace vokar::speechd::test
