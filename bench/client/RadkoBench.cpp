// What a user waits for when radko speaks: from radko's start to the first
// audio of the line (the server's device opened on the wav: virtual device),
// when radko has to start the server ("cold") and when the server already
// runs ("warm": radko's whole run, which ends once "read" is accepted).
// Everything happens on a private desktop and settings store in a temporary
// folder, removed at the end.
//   bench_radko [RUNS]   (default 5)
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "BenchSupport.h"

using namespace vokar::bench;
using std::chrono::milliseconds;

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  BenchWorld world("radko");
  if (!world.ok()) return 1;
  const fs::path folder = world.folder();
  const fs::path wav = folder / "out.wav";
  ::setenv("VOKAR_WAVEOUT", ("wav:" + wav.string()).c_str(), 1);
  std::ofstream(folder / "rady.txt") << "Kto rano wstaje, temu Pan B\xF3g daje.\n";

  int failures = 0;
  {
    const pid_t vkreg = Spawn({VOKAR_VKREG, "set", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe",
                               "", VOKAR_SERVER},
                              {.folder = folder});
    if (Wait(vkreg) != 0) {
      std::fprintf(stderr, "bench_radko: cannot record App Paths\n");
      failures = 1;
    }
  }
  Figures coldFirstAudio, coldRadko, warmRadko;
  const SpawnOptions inWork{.folder = folder / "work"};
  for (int run = 0; run < runs && failures == 0; ++run) {
    world.EndAll();
    std::error_code ignored;
    fs::remove(wav, ignored);
    const auto start = Clock::now();
    const pid_t radko = Spawn({VOKAR_RADKO, (folder / "rady.txt").string()}, inWork);
    std::optional<double> firstAudio, radkoEnded;
    while (!firstAudio && Clock::now() - start < std::chrono::seconds(20)) {
      int status = 0;
      if (!radkoEnded && ::waitpid(radko, &status, WNOHANG) == radko) {
        radkoEnded = Ms(Clock::now() - start);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
      }
      if (fs::exists(wav)) firstAudio = Ms(Clock::now() - start);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (!radkoEnded) {
      const int status = Wait(radko);
      radkoEnded = Ms(Clock::now() - start);
      if (status != 0) ++failures;
    }
    if (!firstAudio) {
      std::fprintf(stderr, "bench_radko: no audio within 20 s\n");
      ++failures;
      break;
    }
    coldFirstAudio.Add(*firstAudio);
    coldRadko.Add(*radkoEnded);

    // The server now runs: radko only hands its line over.
    std::this_thread::sleep_for(milliseconds(300));
    const auto warmStart = Clock::now();
    if (Wait(Spawn({VOKAR_RADKO, (folder / "rady.txt").string()}, inWork)) != 0) ++failures;
    warmRadko.Add(Ms(Clock::now() - warmStart));
  }
  world.EndAll();
  std::printf("radko speaking one line through vokar on the wav: device\n");
  coldFirstAudio.Print("no server: radko start to first audio", 44);
  coldRadko.Print("no server: radko start to its end", 44);
  warmRadko.Print("server running: radko start to its end", 44);
  if (!world.NoMessages()) ++failures;
  if (failures != 0) std::fprintf(stderr, "bench_radko: %d run(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
