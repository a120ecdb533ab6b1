// bench_speech: our engine beside espeak-ng on the same Polish text (time from
// text to all audio in memory, and their ratio), the time from the start of a
// full 65279-byte text buffer to its first chunk, and the peak memory of a
// whole reading job of that text beside one of a sixteenth of it. Prints the
// figures and whether the targets (at least 50 times faster than espeak-ng,
// first chunk under 1 ms, memory flat with the text's length) hold.
#include <sys/resource.h>
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
#include "ChildProcess.h"
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
// New processes started to time a first chunk with cold caches.
constexpr int kColdRuns = 5;

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
  std::optional<double> ratio;        // both into fresh buffers
  std::optional<double> ratioReused;  // both into buffers already in memory
  std::optional<double> firstChunkMicros;
  std::optional<double> coldFirstChunkMicros;
  std::optional<double> jobPeakKb;
  std::optional<double> jobHeapKb;
  std::optional<double> jobHeapGrowthKb;
};

// How the buffer that receives the audio is prepared before each run.
enum class Buffer {
  Fresh,   // a new, empty buffer: the run also pays for the memory it fills
  Reused,  // the last run's buffer, emptied but still in memory
};

const char* NameOf(Buffer buffer) { return buffer == Buffer::Fresh ? "fresh buffer" : "reused buffer"; }

template <typename Sample>
void Prepare(std::vector<Sample>& audio, Buffer buffer) {
  audio.clear();
  if (buffer == Buffer::Fresh) audio.shrink_to_fit();
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// The times of repeated runs and the page faults they cost: each fault is
// the kernel handing over a fresh page of memory.
struct Timing {
  Summary time;
  double faultsPerRun = 0;
};

// Times a step a number of times after one untimed run (none when the step
// is to pay for its first run too).
enum class WarmUp { Yes, No };

template <typename Step>
Timing TimeRuns(int runs, WarmUp warmUp, Step step) {
  if (warmUp == WarmUp::Yes) step();
  std::vector<double> times;
  const long faults = MinorFaults();
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    step();
    times.push_back(SecondsSince(start));
  }
  return {Summarize(times), static_cast<double>(MinorFaults() - faults) / runs};
}

std::string Describe(const Timing& t) {
  const Summary& s = t.time;
  return "median " + Milliseconds(s.median) + " (min " + Milliseconds(s.min) + ", quartiles " +
         Milliseconds(s.q1) + " - " + Milliseconds(s.q3) + ", " + std::to_string(s.count) + " runs), " +
         Fixed(t.faultsPerRun, 0) + " page faults a run";
}

// The timed runs of one engine on the text, with each kind of buffer.
struct EngineFigures {
  Timing fresh;
  Timing reused;
  double audioSeconds = 0;
  const Timing& Of(Buffer buffer) const { return buffer == Buffer::Fresh ? fresh : reused; }
};

void PrintRuns(const EngineFigures& figures) {
  for (const Buffer buffer : {Buffer::Fresh, Buffer::Reused})
    std::cout << "     " << NameOf(buffer) << ": " << Describe(figures.Of(buffer)) << "\n";
}

std::optional<EngineFigures> RunOurs(const Options& options, EngineRun& engine, const SampleText& text) {
  EngineFigures figures;
  std::vector<std::uint8_t> audio;
  std::size_t chunks = 0;
  auto run = [&](Buffer buffer) {
    return TimeRuns(options.runs, WarmUp::Yes, [&] {
      Prepare(audio, buffer);
      chunks = engine.RenderAll(text.cp1250, audio);
    });
  };
  figures.fresh = run(Buffer::Fresh);
  figures.reused = run(Buffer::Reused);
  if (audio.empty()) {
    std::cout << "   Vokar:     the text gave no sound\n";
    return std::nullopt;
  }
  const std::size_t samples = audio.size() / static_cast<std::size_t>(engine.BytesPerSample());
  figures.audioSeconds = static_cast<double>(samples) / engine.Db().Format().samplesPerSec;
  std::cout << "   Vokar:     " << chunks << " chunks, " << samples << " samples = "
            << Fixed(figures.audioSeconds, 1) << " s of audio\n";
  PrintRuns(figures);

  // The steps apart: the text side alone, the chunks rendered but not kept,
  // and a fresh buffer given its final size at the start (the fresh runs
  // without the copies and extra pages of a growing buffer).
  std::size_t tokens = 0;
  std::size_t bytes = 0;
  const Timing scan = TimeRuns(options.runs, WarmUp::Yes, [&] { tokens = engine.ScanOnly(text.cp1250); });
  const Timing render = TimeRuns(options.runs, WarmUp::Yes, [&] { bytes = engine.RenderDiscarding(text.cp1250); });
  const std::size_t total = audio.size();
  const Timing sized = TimeRuns(options.runs, WarmUp::Yes, [&] {
    Prepare(audio, Buffer::Fresh);
    audio.reserve(total);
    engine.RenderAll(text.cp1250, audio);
  });
  std::cout << "     where the time goes:\n"
            << "       scanning, transcription and phrases (" << tokens << " tokens): " << Describe(scan) << "\n"
            << "       the same and every chunk rendered, not kept (" << bytes << " bytes): " << Describe(render)
            << "\n"
            << "       into a fresh buffer reserved at the final size: " << Describe(sized) << "\n";
  return figures;
}

std::optional<EngineFigures> RunEspeak(const Options& options, const SampleText& text) {
  EspeakRun espeak;
  if (!espeak.Open("pl")) {
    std::cout << "   espeak-ng: skipped: " << espeak.Error() << "\n";
    return std::nullopt;
  }
  EngineFigures figures;
  std::vector<std::int16_t> audio;
  bool failed = false;
  // A run of espeak-ng takes seconds, so it has no untimed run of its own;
  // the reused buffer is the one the fresh runs left.
  auto run = [&](Buffer buffer) {
    return TimeRuns(options.espeakRuns, WarmUp::No, [&] {
      Prepare(audio, buffer);
      failed = !espeak.Render(text.utf8, audio) || failed;
    });
  };
  figures.fresh = run(Buffer::Fresh);
  figures.reused = run(Buffer::Reused);
  if (failed || audio.empty()) {
    std::cout << "   espeak-ng: failed to speak the text\n";
    return std::nullopt;
  }
  figures.audioSeconds = static_cast<double>(audio.size()) / espeak.SampleRate();
  std::cout << "   espeak-ng: " << audio.size() << " samples = " << Fixed(figures.audioSeconds, 1)
            << " s of audio at " << espeak.SampleRate() << " Hz\n";
  PrintRuns(figures);
  return figures;
}

// Part one: the same text through both engines into memory.
void TextToMemory(const Options& options, EngineRun* engine, Results& results) {
  const SampleText text = MakeSampleText(options.chars, Cut::WholeWord);
  std::cout << "1. Text to all audio in memory\n"
            << "   text: " << text.cp1250.size() << " characters of Polish prose with figures, dates and"
            << " abbreviations (" << text.utf8.size() << " bytes in UTF-8)\n";
  std::optional<EngineFigures> ours;
  if (engine) ours = RunOurs(options, *engine, text);
  else std::cout << "   Vokar:     skipped (no voice)\n";
  const std::optional<EngineFigures> theirs = RunEspeak(options, text);
  if (!ours || !theirs) return;

  for (const Buffer buffer : {Buffer::Fresh, Buffer::Reused}) {
    const Summary& a = theirs->Of(buffer).time;
    const Summary& b = ours->Of(buffer).time;
    const double ratio = a.median / b.median;
    (buffer == Buffer::Fresh ? results.ratio : results.ratioReused) = ratio;
    // The engines read at different paces; per second of audio made the
    // comparison leaves that out.
    const double perAudioSecond = (a.median / theirs->audioSeconds) / (b.median / ours->audioSeconds);
    std::cout << "   ratio espeak-ng / Vokar, " << NameOf(buffer) << ": " << Fixed(ratio, 1) << "x (best runs "
              << Fixed(a.min / b.min, 1) << "x; per second of audio " << Fixed(perAudioSecond, 1)
              << "x); target at least " << Fixed(kSpeedTarget, 0) << "x: " << Verdict(ratio >= kSpeedTarget) << "\n";
  }
}

// The task of a child: the first chunk of a full buffer in a process that
// has just loaded its voice, as the server's first job after its start.
constexpr const char* kColdFirstChunkTask = "cold-first-chunk";

int RunColdFirstChunkChild(const std::filesystem::path& voice) {
  const auto start = Clock::now();
  EngineRun engine;
  if (!engine.Load(voice)) {
    std::cerr << "bench_speech: " << engine.Error() << "\n";
    return 1;
  }
  const double loadSeconds = SecondsSince(start);
  const std::string text = MakeSampleText(kFullBufferBytes, Cut::Exact).cp1250;
  const EngineRun::FirstChunk first = engine.RenderFirstChunk(text);
  std::cout << "load_ms " << loadSeconds * 1e3 << "\n"
            << "first_chunk_us " << first.micros << "\n"
            << "first_chunk_bytes " << first.bytes << "\n";
  return 0;
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
            << " runs); first chunk " << first.bytes << " bytes\n";
  // The first run in a new process meets cold caches and fresh memory, as
  // the server's first job after its start does.
  std::vector<double> coldMicros;
  std::vector<double> loadMillis;
  std::string error;
  for (int run = 0; run < kColdRuns; ++run) {
    const auto cold = RunChild({kColdFirstChunkTask, options.voice.string()}, error);
    if (!cold) break;
    coldMicros.push_back(cold->Value("first_chunk_us"));
    loadMillis.push_back(cold->Value("load_ms"));
  }
  bool met = s.median < kFirstChunkTargetMicros;
  if (coldMicros.empty()) {
    std::cout << "   in a new process: not measured: " << error << "\n";
  } else {
    const Summary cold = Summarize(coldMicros);
    met = met && cold.median < kFirstChunkTargetMicros;
    std::cout << "   in a new process just after loading the voice (median load "
              << Fixed(Summarize(loadMillis).median, 1) << " ms): median " << Fixed(cold.median, 1) << " us (min "
              << Fixed(cold.min, 1) << ", max " << Fixed(cold.max, 1) << ", " << cold.count << " processes)\n";
    results.coldFirstChunkMicros = cold.median;
  }
  std::cout << "   target under 1 ms: " << Verdict(met) << "\n";
}

// Part three: a whole job in a process of its own. It runs before anything
// else, because a child started from a large process begins its ru_maxrss at
// that process's peak.
std::optional<ChildReport> MeasureJob(const Options& options, std::size_t textBytes, std::string& error) {
  return RunChild({kJobMemoryTask, options.voice.string(), std::to_string(textBytes)}, error);
}

// A sixteenth of the full buffer: the job whose memory the full one's is
// held against, to see that memory does not grow with the text's length.
constexpr std::size_t kShortJobBytes = kFullBufferBytes / 16;
// What the longer job may take above the shorter one's heap: room for the
// vectors of a longer sentence, nothing that grows with the whole text
// (sixteen times as long).
constexpr double kFlatHeapSlackKb = 64.0;

void ReportFlatness(const std::optional<ChildReport>& full, const std::optional<ChildReport>& shorter,
                    const std::string& error, Results& results) {
  if (!full) return;
  if (!shorter) {
    std::cout << "   the shorter job: skipped: " << error << "\n";
    return;
  }
  const double kib = 1024.0;
  const auto heapAbove = [&](const ChildReport& f) { return (f.Value("heap_peak") - f.Value("heap_before")) / kib; };
  const auto rssGrowth = [&](const ChildReport& f) { return f.Value("hwm_after_kb") - f.Value("hwm_before_kb"); };
  const double growth = heapAbove(*full) - heapAbove(*shorter);
  results.jobHeapGrowthKb = growth;
  std::cout << "   the same job on " << static_cast<long>(shorter->Value("text_bytes")) << " bytes: heap "
            << Fixed(heapAbove(*shorter), 1) << " KiB above the loaded voice, peak growth of the resident set "
            << static_cast<long>(rssGrowth(*shorter)) << " KiB\n"
            << "   sixteen times the text takes " << Fixed(growth, 1) << " KiB more heap (flat within "
            << Fixed(kFlatHeapSlackKb, 0) << " KiB: " << Verdict(growth <= kFlatHeapSlackKb) << ")\n";
}

void ReportJob(const std::optional<ChildReport>& figures, const std::string& error, Results& results) {
  std::cout << "3. Peak memory of a whole " << kFullBufferBytes
            << "-byte reading job (own process, fast virtual device)\n";
  if (!figures) {
    std::cout << "   skipped: " << error << "\n";
    return;
  }
  const auto& f = *figures;
  const double kib = 1024.0;
  results.jobPeakKb = static_cast<double>(f.maxRssKb);
  results.jobHeapKb = (f.Value("heap_peak") - f.Value("heap_before")) / kib;
  // The wall time mostly waits for the device threads: every chunk opens a
  // device, whose thread posts the done notice, so it follows the machine's
  // load; the processor time does not.
  std::cout << "   job: " << static_cast<long>(f.Value("text_bytes")) << " bytes read in "
            << Fixed(f.Value("job_seconds") * 1e3, 1) << " ms (" << Fixed(f.Value("job_cpu_seconds") * 1e3, 1)
            << " ms of processor time), " << f.Value("buffers") << " chunks played, "
            << static_cast<long>(f.Value("bytes_played")) << " bytes played"
            << (f.Value("aborted") != 0
                    ? " (the job was cut short: " + std::to_string(static_cast<long>(f.Value("bytes_expected"))) +
                          " expected)"
                    : ", all of the text")
            << "\n"
            << "   peak RSS of the process: " << f.maxRssKb << " KiB (ru_maxrss), "
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
  if (argc >= 3 && std::strcmp(argv[1], kChildOption) == 0) {
    const std::string task = argv[2];
    if (task == kJobMemoryTask && argc == 5)
      return RunJobMemoryChild(argv[3], static_cast<std::size_t>(std::strtoul(argv[4], nullptr, 10)));
    if (task == kColdFirstChunkTask && argc == 4) return RunColdFirstChunkChild(argv[3]);
    std::cerr << "bench_speech: unknown child task " << task << "\n";
    return 2;
  }

  const auto options = Parse(argc, argv);
  if (!options) return 2;

  std::cout << "bench_speech: Vokar beside espeak-ng\n"
            << "   voice: " << options->voice.string() << "\n"
            << "   processors online: " << sysconf(_SC_NPROCESSORS_ONLN) << ", load average " << LoadAverage()
            << "\n";
  std::cout.flush();
  const bool voiceExists = std::filesystem::is_regular_file(options->voice);
  std::string jobError = "no voice", shortJobError = "no voice";
  const auto jobFigures = voiceExists ? MeasureJob(*options, kFullBufferBytes, jobError) : std::nullopt;
  const auto shortJobFigures = voiceExists ? MeasureJob(*options, kShortJobBytes, shortJobError) : std::nullopt;

  EngineRun engine;
  const bool haveVoice = engine.Load(options->voice);
  if (!haveVoice)
    std::cout << "   our engine is skipped: " << engine.Error()
              << " (build the target vokar_voice, or give --voice FILE)\n";
  std::cout.flush();

  Results results;
  TextToMemory(*options, haveVoice ? &engine : nullptr, results);
  if (haveVoice) FirstChunk(*options, engine, results);
  else std::cout << "2. First chunk: skipped (no voice)\n";
  ReportJob(jobFigures, jobError, results);
  ReportFlatness(jobFigures, shortJobFigures, shortJobError, results);

  std::cout << "Summary\n";
  auto ratio = [](const std::optional<double>& value) {
    return value ? Fixed(*value, 1) + "x (target >= 50x: " + Verdict(*value >= kSpeedTarget) + ")"
                 : std::string("not measured");
  };
  auto micros = [](const std::optional<double>& value) {
    return value ? Fixed(*value, 1) + " us (target < 1000 us: " + Verdict(*value < kFirstChunkTargetMicros) + ")"
                 : std::string("not measured");
  };
  std::cout << "   espeak-ng / Vokar, fresh buffers: " << ratio(results.ratio) << "\n"
            << "   espeak-ng / Vokar, reused buffers: " << ratio(results.ratioReused) << "\n"
            << "   first chunk, warm: " << micros(results.firstChunkMicros) << "\n"
            << "   first chunk, new process: " << micros(results.coldFirstChunkMicros) << "\n"
            << "   peak RSS of a whole job: "
            << (results.jobPeakKb ? Fixed(*results.jobPeakKb, 0) + " KiB" : std::string("not measured"))
            << "; heap above the loaded voice: "
            << (results.jobHeapKb ? Fixed(*results.jobHeapKb, 1) + " KiB" : std::string("not measured")) << "\n"
            << "   heap of the whole job beside one on a sixteenth of the text: "
            << (results.jobHeapGrowthKb ? Fixed(*results.jobHeapGrowthKb, 1) + " KiB more (target <= " +
                                              Fixed(kFlatHeapSlackKb, 0) + " KiB: " +
                                              Verdict(*results.jobHeapGrowthKb <= kFlatHeapSlackKb) + ")"
                                        : std::string("not measured"))
            << "\n";
  return 0;
}
