// What a user's command costs to turn a text into a WAV file: `vksay -o`,
// vksay on the WAV-writing virtual device, and `espeak-ng -w` on the same
// Polish text, each run as a real process. Instructions are counted by
// valgrind (cachegrind without its cache model: exact and the same on every
// machine); wall time is the best of several runs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "SampleTexts.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: bench_wavefile [--chars N] [--runs N] [--no-valgrind]\n"
    "  --chars N      characters of the sample text (default 2041)\n"
    "  --runs N       timed runs of each command, the best counts (default 5)\n"
    "  --no-valgrind  wall time only\n";

struct Command {
  std::string label;
  std::vector<std::string> environment;  // NAME=VALUE added to ours
  std::vector<std::string> arguments;
  fs::path wav;                          // the file it writes
};

// Runs a command with its output sent to a log file; the exit status, or
// nothing when it could not start.
std::optional<int> Run(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment,
                       const fs::path& log) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> argv, envp;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return std::nullopt;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Seconds of sound in a WAV file with the plain 44-byte header.
double WavSeconds(const fs::path& path) {
  const std::string b = ReadText(path);
  if (b.size() < 44) return 0.0;
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8) |
                                      (static_cast<unsigned char>(b[at + 2]) << 16) |
                                      (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24));
  };
  const std::uint32_t byteRate = u32(28);
  return byteRate == 0 ? 0.0 : static_cast<double>(u32(40)) / byteRate;
}

// The "I refs" total that cachegrind prints at the end of its log.
std::optional<double> InstructionsIn(const fs::path& log) {
  const std::string text = ReadText(log);
  const std::size_t at = text.find("I   refs:");
  if (at == std::string::npos) return std::nullopt;
  std::string digits;
  for (std::size_t i = at + 9; i < text.size() && text[i] != '\n'; ++i) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) digits += text[i];
  }
  if (digits.empty()) return std::nullopt;
  return std::strtod(digits.c_str(), nullptr);
}

struct Result {
  double bestMs = 0.0;
  double seconds = 0.0;
  std::optional<double> instructions;
};

std::optional<Result> Measure(const Command& command, int runs, bool valgrind, const fs::path& dir) {
  Result result;
  result.bestMs = 1e300;
  const fs::path log = dir / (command.label + ".log");
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto status = Run(command.arguments, command.environment, log);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!status || *status != 0) {
      std::cerr << "bench_wavefile: " << command.arguments[0] << " failed:\n" << ReadText(log);
      return std::nullopt;
    }
    result.bestMs = std::min(result.bestMs, ms);
  }
  result.seconds = WavSeconds(command.wav);
  if (valgrind) {
    std::vector<std::string> arguments{"valgrind", "--tool=cachegrind", "--cache-sim=no",
                                       "--cachegrind-out-file=/dev/null"};
    arguments.insert(arguments.end(), command.arguments.begin(), command.arguments.end());
    const auto status = Run(arguments, command.environment, log);
    if (status && *status == 0) result.instructions = InstructionsIn(log);
    if (!result.instructions) std::cerr << "bench_wavefile: no instruction count for " << command.label << "\n";
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t chars = 2041;
  int runs = 5;
  bool valgrind = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--chars" || arg == "--runs") && i + 1 < argc) {
      const long value = std::strtol(argv[++i], nullptr, 10);
      if (value < 1 || value > 1000000) {
        std::cerr << kUsage;
        return 2;
      }
      if (arg == "--chars") chars = static_cast<std::size_t>(value);
      else runs = static_cast<int>(value);
    } else if (arg == "--no-valgrind") {
      valgrind = false;
    } else {
      std::cerr << kUsage;
      return arg == "-h" || arg == "--help" ? 0 : 2;
    }
  }
  if (valgrind && Run({"valgrind", "--version"}, {}, "/dev/null").value_or(1) != 0) {
    std::cerr << "bench_wavefile: valgrind is not installed; wall time only\n";
    valgrind = false;
  }

  char pattern[] = "/tmp/bench-wavefile-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::perror("bench_wavefile: mkdtemp");
    return 1;
  }
  const fs::path dir = pattern;
  const auto text = vokar::bench::MakeSampleText(chars, vokar::bench::Cut::WholeWord);
  const fs::path textFile = dir / "text.txt";
  std::ofstream(textFile, std::ios::binary) << text.utf8;

  const std::vector<Command> commands{
      {"vksay-o", {}, {VKSAY_PATH, "-f", textFile, "-o", dir / "vksay.wav"}, dir / "vksay.wav"},
      {"vksay-wav-device",
       {"VOKAR_WAVEOUT=wav:" + (dir / "device.wav").string() + ",fast"},
       {VKSAY_PATH, "-f", textFile},
       dir / "device.wav"},
      {"espeak-ng-w", {}, {"espeak-ng", "-v", "pl", "-f", textFile, "-w", dir / "espeak.wav"}, dir / "espeak.wav"},
  };
  std::printf("text: %zu characters of the Polish sample; best of %d runs%s\n", text.cp1250.size(), runs,
              valgrind ? "; instructions by valgrind" : "");
  std::printf("%-18s %10s %10s %16s\n", "command", "speech s", "wall ms", "instructions");
  std::vector<Result> results;
  int status = 0;
  for (const Command& command : commands) {
    const auto result = Measure(command, runs, valgrind, dir);
    if (!result) {
      status = 1;
      break;
    }
    results.push_back(*result);
    std::printf("%-18s %10.1f %10.1f %16s\n", command.label.c_str(), result->seconds, result->bestMs,
                result->instructions ? std::to_string(static_cast<long long>(*result->instructions)).c_str() : "-");
  }
  if (status == 0) {
    const Result& ours = results[0];
    const Result& device = results[1];
    const Result& espeak = results[2];
    std::printf("espeak-ng -w / vksay -o: %.0f times the wall time", espeak.bestMs / ours.bestMs);
    if (ours.instructions && espeak.instructions) {
      const double ratio = *espeak.instructions / *ours.instructions;
      std::printf(", %.0f times the instructions (target at least 100: %s)", ratio, ratio >= 100 ? "met" : "NOT met");
    }
    std::printf("\n");
    if (ours.instructions && device.instructions) {
      std::printf("wav: device / vksay -o: %.2f times the instructions\n", *device.instructions / *ours.instructions);
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
