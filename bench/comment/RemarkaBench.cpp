// What a user waits for when a comment is read aloud by its double click
// (`remarka -Embedding FILE`, the desktop entry's default action): from the
// start to the first audio of the server on the wav: virtual device when
// remarka has to start the server ("cold"), the reader's whole run when the
// server already runs ("warm"), and the run of a start that hands its comment
// to a running editor. Everything happens on a private desktop and settings
// store in a temporary folder, removed at the end.
//   bench_remarka [RUNS]   (default 5)
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

namespace {

using namespace vokar::bench;
using std::chrono::milliseconds;

bool WaitFor(const fs::path& file, Clock::time_point start, std::optional<double>& at) {
  while (Clock::now() - start < std::chrono::seconds(20)) {
    if (fs::exists(file)) {
      at = Ms(Clock::now() - start);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (!fs::exists(fs::path(VOKAR_STAGE_DATA) / "pl_22.alf")) {
    std::fprintf(stderr, "bench_remarka: the build made no voice (VOKAR_BUILD_VOICE=OFF)\n");
    return 1;
  }
  BenchWorld world("remarka");
  if (!world.ok()) return 1;
  const fs::path folder = world.folder();
  const fs::path wav = folder / "out.wav";
  ::setenv("VOKAR_WAVEOUT", ("wav:" + wav.string()).c_str(), 1);
  ::setenv("VOKAR_DATA_DIR", VOKAR_STAGE_DATA, 1);
  // "Ala ma kota." as a comment: its length, then the text.
  const fs::path comment = folder / "uwaga.ann";
  std::ofstream(comment, std::ios::binary) << std::string("\x0C\0\0\0", 4) << "Ala ma kota.";

  int failures = 0;
  if (Wait(Spawn({VOKAR_VKREG, "set", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "",
                  VOKAR_SERVER})) != 0) {
    std::fprintf(stderr, "bench_remarka: cannot record App Paths\n");
    failures = 1;
  }
  Figures coldAudio, coldReader, warmReader, handOver;
  for (int run = 0; run < runs && failures == 0; ++run) {
    world.EndAll();
    std::error_code ignored;
    fs::remove(wav, ignored);
    auto start = Clock::now();
    const pid_t reader = Spawn({VOKAR_REMARKA, "-Embedding", comment.string()});
    std::optional<double> audio;
    if (!WaitFor(wav, start, audio)) {
      std::fprintf(stderr, "bench_remarka: no audio within 20 s\n");
      ++failures;
      break;
    }
    if (Wait(reader) != 0) ++failures;
    coldAudio.Add(*audio);
    coldReader.Add(Ms(Clock::now() - start));

    // The server runs now: the reader only hands the comment over.
    std::this_thread::sleep_for(milliseconds(300));
    start = Clock::now();
    if (Wait(Spawn({VOKAR_REMARKA, "-Embedding", comment.string()})) != 0) ++failures;
    warmReader.Add(Ms(Clock::now() - start));

    // An editor runs too: a later start hands the comment to it and ends.
    const pid_t editor = Spawn({VOKAR_REMARKA});
    std::this_thread::sleep_for(milliseconds(1500));
    start = Clock::now();
    if (Wait(Spawn({VOKAR_REMARKA, "-Embedding", comment.string()})) != 0) ++failures;
    handOver.Add(Ms(Clock::now() - start));
    ::kill(editor, SIGKILL);
    Wait(editor);
  }
  world.EndAll();
  std::printf("remarka reading a comment aloud through vokar on the wav: device\n");
  coldAudio.Print("no server: reader start to first audio", 52);
  coldReader.Print("no server: reader start to its end", 52);
  warmReader.Print("server running: reader start to its end", 52);
  handOver.Print("editor running: a later start to its end (hand-over)", 52);
  if (!world.NoMessages()) ++failures;
  if (failures != 0) std::fprintf(stderr, "bench_remarka: %d run(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
