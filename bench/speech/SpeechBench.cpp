// bench_speech: our engine beside espeak-ng on the same Polish text (time from
// text to all audio in memory, and their ratio), the time from the start of a
// full 65279-byte text buffer to its first chunk, and the peak memory of a
// whole reading job of that text. Prints the figures and whether the targets
// (at least 50 times faster than espeak-ng, first chunk under 1 ms) hold.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "EngineRun.h"
#include "EspeakRun.h"
#include "JobMemory.h"
#include "SampleTexts.h"
#include "Stats.h"

namespace {

using namespace vokar;
using namespace vokar::bench;
using Clock = std::chrono::steady_clock;

// The server's text buffer holds this many bytes before its NUL.
constexpr std::size_t kFullBufferBytes = 65279;
constexpr double kSpeedTarget = 50.0;
constexpr double kFirstChunkTargetMicros = 1000.0;

constexpr const char* kUsage =
    "usage: bench_speech [options]\n"
    "  --chars N              characters of the text read by both engines (default 20000)\n"
    "  --runs N               timed runs of our engine on it (default 20)\n"
    "  --espeak-runs N        timed runs of espeak-ng on it (default 3)\n"
    "  --first-chunk-runs N   repetitions of the first-chunk timing (default 2000)\n"
    "  --voice FILE           allophone file (default the one the build made)\n";

struct Options {
  std::size_t chars = 20000;
  int runs = 20;
  int espeakRuns = 3;
  int firstChunkRuns = 2000;
  std::filesystem::path voice = VOKAR_BENCH_VOICE;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::cerr << "bench_speech: " << arg << (arg.rfind("--", 0) == 0 ? " needs a value\n" : ": unknown\n")
                << kUsage;
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (arg == "--voice") {
      options.voice = value;
      continue;
    }
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || number < 1 || number > 10'000'000) {
      std::cerr << "bench_speech: " << arg << " takes a number from 1 to 10000000\n";
      return std::nullopt;
    }
    if (arg == "--chars") options.chars = static_cast<std::size_t>(number);
    else if (arg == "--runs") options.runs = static_cast<int>(number);
    else if (arg == "--espeak-runs") options.espeakRuns = static_cast<int>(number);
    else if (arg == "--first-chunk-runs") options.firstChunkRuns = static_cast<int>(number);
    else {
      std::cerr << "bench_speech: unknown option " << arg << "\n" << kUsage;
      return std::nullopt;
    }
  }
  return options;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Milliseconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
  return text;
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string LoadAverage() {
  double loads[3] = {0, 0, 0};
  if (getloadavg(loads, 3) != 3) return "unknown";
  return Fixed(loads[0], 2) + " " + Fixed(loads[1], 2) + " " + Fixed(loads[2], 2);
}

std::string Verdict(bool met) { return met ? "met" : "NOT met"; }

struct Results {
  std::optional<double> ratio;
  std::optional<double> firstChunkMicros;
  std::optional<double> jobPeakKb;
};

// Part one: the same text through both engines into memory.
void TextToMemory(const Options& options, EngineRun* engine, Results& results) {
  const SampleText text = MakeSampleText(options.chars, Cut::WholeWord);
  std::cout << "1. Text to all audio in memory\n"
            << "   text: " << text.cp1250.size() << " characters of Polish prose with figures, dates and"
            << " abbreviations (" << text.utf8.size() << " bytes in UTF-8)\n";

  std::optional<Summary> ours;
  if (engine) {
    std::vector<std::uint8_t> audio;
    std::size_t chunks = engine->RenderAll(text.cp1250, audio);  // warms the caches
    std::vector<double> times;
    for (int run = 0; run < options.runs; ++run) {
      audio.clear();
      audio.shrink_to_fit();
      const auto start = Clock::now();
      chunks = engine->RenderAll(text.cp1250, audio);
      times.push_back(SecondsSince(start));
    }
    ours = Summarize(times);
    const double rate = engine->Db().Format().samplesPerSec;
    std::cout << "   Vokar:     median " << Milliseconds(ours->median) << " (min " << Milliseconds(ours->min)
              << ", quartiles " << Milliseconds(ours->q1) << " - " << Milliseconds(ours->q3) << ", " << ours->count
              << " runs); " << chunks << " chunks, " << audio.size() << " samples = "
              << Fixed(static_cast<double>(audio.size()) / rate, 1) << " s of audio\n";
  } else {
    std::cout << "   Vokar:     skipped (no voice)\n";
  }

  EspeakRun espeak;
  if (!espeak.Open("pl")) {
    std::cout << "   espeak-ng: skipped: " << espeak.Error() << "\n";
    return;
  }
  std::vector<std::int16_t> audio;
  std::vector<double> times;
  bool failed = false;
  for (int run = 0; run < options.espeakRuns && !failed; ++run) {
    audio.clear();
    audio.shrink_to_fit();
    const auto start = Clock::now();
    failed = !espeak.Render(text.utf8, audio);
    times.push_back(SecondsSince(start));
  }
  if (failed || audio.empty()) {
    std::cout << "   espeak-ng: failed to speak the text\n";
    return;
  }
  const Summary theirs = Summarize(times);
  std::cout << "   espeak-ng: median " << Milliseconds(theirs.median) << " (min " << Milliseconds(theirs.min) << ", "
            << theirs.count << " runs); " << audio.size() << " samples = "
            << Fixed(static_cast<double>(audio.size()) / espeak.SampleRate(), 1) << " s of audio at "
            << espeak.SampleRate() << " Hz\n";
  if (!ours) return;
  results.ratio = theirs.median / ours->median;
  std::cout << "   ratio espeak-ng / Vokar (medians): " << Fixed(*results.ratio, 1) << "x (best runs "
            << Fixed(theirs.min / ours->min, 1) << "x); target at least " << Fixed(kSpeedTarget, 0)
            << "x: " << Verdict(*results.ratio >= kSpeedTarget) << "\n";
}

// Part two: a new scanner on a full buffer, as far as its first chunk.
void FirstChunk(const Options& options, EngineRun& engine, Results& results) {
  const std::string text = MakeSampleText(kFullBufferBytes, Cut::Exact).cp1250;
  std::cout << "2. From the start of a " << text.size() << "-byte text to its first chunk\n";
  EngineRun::FirstChunk first = engine.RenderFirstChunk(text);
  std::vector<double> micros;
  for (int run = 0; run < options.firstChunkRuns; ++run) {
    first = engine.RenderFirstChunk(text);
    micros.push_back(first.micros);
  }
  const Summary s = Summarize(micros);
  results.firstChunkMicros = s.median;
  std::cout << "   median " << Fixed(s.median, 1) << " us (min " << Fixed(s.min, 1) << ", quartiles "
            << Fixed(s.q1, 1) << " - " << Fixed(s.q3, 1) << ", max " << Fixed(s.max, 1) << ", " << s.count
            << " runs); first chunk " << first.bytes << " bytes\n"
            << "   target under 1 ms: " << Verdict(s.median < kFirstChunkTargetMicros) << "\n";
}

// Part three: a whole job in a process of its own. It runs before anything
// else, because a child started from a large process inherits that
// process's peak as the start of its own ru_maxrss.
std::optional<JobMemoryFigures> MeasureJob(const Options& options, std::string& error) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    error = "cannot find this program: " + ec.message();
    return std::nullopt;
  }
  return MeasureJobMemory(self, options.voice, kFullBufferBytes, error);
}

void ReportJob(const std::optional<JobMemoryFigures>& figures, const std::string& error, Results& results) {
  std::cout << "3. Peak memory of a whole " << kFullBufferBytes
            << "-byte reading job (own process, fast virtual device)\n";
  if (!figures) {
    std::cout << "   skipped: " << error << "\n";
    return;
  }
  const auto& f = *figures;
  const double kib = 1024.0;
  results.jobPeakKb = static_cast<double>(f.childMaxRssKb);
  std::cout << "   job: " << static_cast<long>(f.Value("text_bytes")) << " bytes read in "
            << Fixed(f.Value("job_seconds") * 1e3, 1) << " ms, " << f.Value("buffers") << " chunks played, "
            << static_cast<long>(f.Value("bytes_played")) << " samples"
            << (f.Value("aborted") != 0 ? " (the job was cut short!)" : "") << "\n"
            << "   peak RSS of the process: " << f.childMaxRssKb << " KiB (ru_maxrss), "
            << static_cast<long>(f.Value("hwm_after_kb")) << " KiB (VmHWM)\n"
            << "   resident at start " << static_cast<long>(f.Value("rss_start_kb"))
            << " KiB, with the voice loaded " << static_cast<long>(f.Value("rss_before_kb"))
            << " KiB (peak until then " << static_cast<long>(f.Value("hwm_before_kb")) << " KiB); peak growth in the job "
            << static_cast<long>(f.Value("hwm_after_kb") - f.Value("hwm_before_kb")) << " KiB\n"
            << "   heap (operator new) with the voice loaded " << Fixed(f.Value("heap_before") / kib, 1)
            << " KiB; peak in the job " << Fixed(f.Value("heap_peak") / kib, 1) << " KiB, "
            << Fixed((f.Value("heap_peak") - f.Value("heap_before")) / kib, 1) << " KiB above it; after it "
            << Fixed(f.Value("heap_after") / kib, 1) << " KiB\n"
            << "   malloc in use (mallinfo2) before the job " << Fixed(f.Value("malloc_before") / kib, 1)
            << " KiB, after it " << Fixed(f.Value("malloc_after") / kib, 1) << " KiB\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], kJobMemoryOption) == 0)
    return RunJobMemoryChild(argv[2], static_cast<std::size_t>(std::strtoul(argv[3], nullptr, 10)));

  const auto options = Parse(argc, argv);
  if (!options) return 2;

  std::cout << "bench_speech: Vokar beside espeak-ng\n"
            << "   voice: " << options->voice.string() << "\n"
            << "   processors online: " << sysconf(_SC_NPROCESSORS_ONLN) << ", load average " << LoadAverage()
            << "\n";
  std::cout.flush();
  const bool voiceExists = std::filesystem::is_regular_file(options->voice);
  std::string jobError = "no voice";
  const auto jobFigures = voiceExists ? MeasureJob(*options, jobError) : std::nullopt;

  EngineRun engine;
  const bool haveVoice = engine.Load(options->voice);
  if (!haveVoice)
    std::cout << "   our engine is skipped: " << engine.Error()
              << " (build the target vokar_voice, or give --voice FILE)\n";
  std::cout.flush();

  Results results;
  TextToMemory(*options, haveVoice ? &engine : nullptr, results);
  if (haveVoice) {
    FirstChunk(*options, engine, results);
    ReportJob(jobFigures, jobError, results);
  }

  std::cout << "Summary\n";
  std::cout << "   espeak-ng / Vokar: "
            << (results.ratio ? Fixed(*results.ratio, 1) + "x (target >= 50x: " +
                                    Verdict(*results.ratio >= kSpeedTarget) + ")"
                              : std::string("not measured"))
            << "\n   first chunk: "
            << (results.firstChunkMicros ? Fixed(*results.firstChunkMicros, 1) + " us (target < 1000 us: " +
                                               Verdict(*results.firstChunkMicros < kFirstChunkTargetMicros) + ")"
                                         : std::string("not measured"))
            << "\n   peak RSS of a whole job: "
            << (results.jobPeakKb ? Fixed(*results.jobPeakKb, 0) + " KiB" : std::string("not measured")) << "\n";
  return 0;
}
