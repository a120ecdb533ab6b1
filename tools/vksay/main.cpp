// vksay: reads a Polish text aloud with the speech engine, on the sound
// device or into a WAV file. With --dump it prints, for each sentence, the
// tokens and allophones the rules chose instead.
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "AllophoneDb.h"
#include "ConsoleWindow.h"
#include "Cp1250.h"
#include "DataDirs.h"
#include "Dump.h"
#include "FileWaveOut.h"
#include "ExceptionDict.h"
#include "Intl.h"
#include "PlatformFileAccess.h"
#include "ReadingJob.h"
#include "TextScanner.h"
#include "WaveOutFactory.h"

namespace {

using namespace vokar;

constexpr const char* kUsage =
    "usage: vksay [options] [TEXT... | -f FILE | -]\n"
    "Reads the text aloud on the sound device (VOKAR_WAVEOUT chooses another).\n"
    "  -o FILE              write the speech into a WAV file instead\n"
    "  --dump               print the tokens and allophones of each sentence\n"
    "  --speed N            speed in percent, -50 to 150 (default 0; above 50 only with\n"
    "                       the pitch kept)\n"
    "  --no-intonation      no sentence melody and the rhythm of the plain pieces\n"
    "  --no-keep-pitch      the speed changes the playback rate, pitch and all\n"
    "                       (with --no-intonation: the plain concatenation of the voice)\n"
    "  --device N           0 the default device, k the k-th device\n"
    "  --device-timeout S   seconds to wait for a busy device (default 5)\n"
    "  -f FILE              read the text from FILE ('-' reads standard input)\n"
    "  --dict FILE          exception dictionary (.exp)\n"
    "  --no-dict            do not correct words by the dictionary\n"
    "  --no-numbers         read figures digit by digit\n"
    "  --no-dates           do not read dates as words\n"
    "  --no-caps            do not spell words of capitals\n"
    "  --caps-limit N       longest word of capitals that is spelled (default 5)\n"
    "  --accent-every-word  give every word its own accent\n"
    "  --no-colloquial      careful instead of colloquial pronunciation\n"
    "Input in UTF-8 or Windows-1250.\n";

struct Options {
  bool dump = false;
  std::optional<std::string> output;
  int speed = 0;
  int device = 0;
  int deviceTimeout = 5;
  std::optional<std::string> file;
  std::optional<std::string> dictionary;
  std::string text;
  CSpeechSettingsValues settings;
};

// Parses the command line; prints the problem and returns nothing when it
// is not understood.
std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  bool haveText = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) {
        std::cerr << "vksay: " << arg << " needs a value\n";
        return std::nullopt;
      }
      return std::string(argv[++i]);
    };
    if (arg == "--dump") {
      options.dump = true;
    } else if (arg == "-f") {
      auto v = value();
      if (!v) return std::nullopt;
      options.file = *v;
    } else if (arg == "-") {
      options.file.emplace(1, '-');  // standard input
    } else if (arg == "--dict") {
      auto v = value();
      if (!v) return std::nullopt;
      options.dictionary = *v;
    } else if (arg == "--no-dict") {
      options.settings.useExpDict = false;
    } else if (arg == "--no-numbers") {
      options.settings.convertNumber = false;
    } else if (arg == "--no-dates") {
      options.settings.convertDate = false;
    } else if (arg == "--no-caps") {
      options.settings.convertCaps = false;
    } else if (arg == "-o") {
      auto v = value();
      if (!v) return std::nullopt;
      options.output = *v;
    } else if (arg == "--caps-limit" || arg == "--speed" || arg == "--device" || arg == "--device-timeout") {
      auto v = value();
      if (!v) return std::nullopt;
      struct Range {
        int low, high;
        int* target;
      };
      const Range range = arg == "--caps-limit" ? Range{0, 64, &options.settings.convertCapsLimit}
                          : arg == "--speed"    ? Range{-50, kFastestShapedSpeed, &options.speed}
                          : arg == "--device"   ? Range{0, 99, &options.device}
                                                : Range{0, 60, &options.deviceTimeout};
      char* end = nullptr;
      const long number = std::strtol(v->c_str(), &end, 10);
      if (v->empty() || *end != '\0' || number < range.low || number > range.high) {
        std::cerr << "vksay: " << arg << " takes a number from " << range.low << " to " << range.high << "\n";
        return std::nullopt;
      }
      *range.target = static_cast<int>(number);
    } else if (arg == "--no-intonation") {
      options.settings.prosody.intonation = false;
    } else if (arg == "--no-keep-pitch") {
      options.settings.prosody.keepPitch = false;
    } else if (arg == "--accent-every-word") {
      options.settings.fluentSpeech = false;
    } else if (arg == "--no-colloquial") {
      options.settings.colloquialSpeech = false;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      std::cerr << "vksay: unknown option " << arg << "\n" << kUsage;
      return std::nullopt;
    } else {
      options.text += (haveText ? " " : "") + arg;
      haveText = true;
    }
  }
  if (options.speed > 50 && !options.settings.prosody.keepPitch) {
    std::cerr << "vksay: --speed takes a number from -50 to 50 with --no-keep-pitch\n";
    return std::nullopt;
  }
  if (haveText && options.file) {
    std::cerr << "vksay: give either a text or a file, not both\n";
    return std::nullopt;
  }
  if (!haveText && !options.file) {
    std::cerr << kUsage;
    return std::nullopt;
  }
  return options;
}

std::optional<std::string> ReadInput(const Options& options) {
  if (!options.file) return options.text;
  std::ostringstream content;
  if (*options.file == "-") {
    content << std::cin.rdbuf();
  } else {
    std::ifstream in(*options.file, std::ios::binary);
    if (!in) {
      std::cerr << "vksay: cannot open " << *options.file << ": " << std::strerror(errno) << "\n";
      return std::nullopt;
    }
    content << in.rdbuf();
  }
  return content.str();
}

class StderrSink final : public IMessageSink {
 public:
  void ShowMessage(std::string_view text, MessageIcon) override {
    std::string line(text);
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::cerr << "vksay: " << line << "\n";
    shown = true;
  }
  bool shown = false;
};

// Reads the text aloud through the same reading job the server runs.
int Speak(const Options& options, CSpeechSettingsValues& settings, const std::string& text, const CAllophoneDb& db,
          const CExceptionDict* dictionary, StderrSink& sink) {
  std::unique_ptr<IWaveOut> out;
  vksay::FileWaveOut* file = nullptr;
  if (options.output) {
    auto fileOut = std::make_unique<vksay::FileWaveOut>(*options.output);
    file = fileOut.get();
    out = std::move(fileOut);
  } else {
    out = waveout::CreateWaveOut();
  }
  const int count = out->DeviceCount();
  if (count == 0 && !out->Caps(kWaveMapper)) {
    std::cerr << "vksay: Brak urządzenia do odtwarzania dźwięku\n"
                 "vksay: there is no sound device here; write a WAV file with -o FILE, or set\n"
                 "       VOKAR_WAVEOUT=null (silent) or VOKAR_WAVEOUT=wav:FILE\n";
    return 1;
  }
  int device = options.device == 0 ? kWaveMapper : std::min(options.device, std::max(count, 1)) - 1;

  WavePlayback playback(*out);
  vksay::ConsoleWindow window(*out, options.speed);
  CReadingJob job({settings, db, dictionary, sink, window, playback, device});
  job.state.deviceTimeout = options.deviceTimeout;
  window.Attach(job);
  vksay::ConsoleWindow::CatchInterrupt();
  job.ReadText(text);

  if (file && !file->Finish()) {
    std::cerr << "vksay: cannot write " << *options.output << ": " << file->Error() << "\n";
    return 1;
  }
  if (vksay::ConsoleWindow::Interrupted()) return 130;
  if (sink.shown) {
    if (!options.output)
      std::cerr << "vksay: if this machine has no sound card, write a WAV file with -o FILE or set\n"
                   "       VOKAR_WAVEOUT=null or VOKAR_WAVEOUT=wav:FILE\n";
    return 1;
  }
  if (file) std::cerr << "vksay: wrote " << *options.output << " (" << file->Seconds() << " s)\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Every file the engine reads (voice, dictionary, wave inserts) is opened
  // only when it is a regular file, and never blocks.
  files::InstallPlatformFileAccess();
  auto options = Parse(argc, argv);
  if (!options) return 2;
  auto input = ReadInput(*options);
  if (!input) return 1;
  // Valid UTF-8 with non-ASCII characters is converted; anything else is
  // taken as Windows-1250 already.
  const std::string text = cp1250::IncomingText(*input);

  const intl::IntlValues intlValues = intl::ReadIntl();
  options->settings.locale = {intlValues.decimal, intlValues.thousand, intlValues.date, intlValues.shortDate};

  StderrSink sink;
  CAllophoneDb db;
  if (!db.LoadAllophoneFile({"pl_22.alf", paths::DataDirs()}, options->settings, sink)) return 1;

  CExceptionDict dictionary;
  if (options->dictionary && !dictionary.Load(*options->dictionary)) {
    std::cerr << "vksay: cannot read the dictionary " << *options->dictionary << "\n";
    return 1;
  }

  const CExceptionDict* dict = options->dictionary ? &dictionary : nullptr;
  if (!options->dump) return Speak(*options, options->settings, text, db, dict, sink);

  CTextScanner scanner(text, {options->settings, db, dict, sink});
  int number = 0;
  while (const CUtterance* utterance = scanner.NextUtterance()) vksay::DumpUtterance(std::cout, ++number, *utterance, db);
  return 0;
}
