// vksay: reads a Polish text with the speech engine. With --dump it prints,
// for each sentence, the tokens and allophones the rules chose.
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "AllophoneDb.h"
#include "Cp1250.h"
#include "DataDirs.h"
#include "Dump.h"
#include "ExceptionDict.h"
#include "Intl.h"
#include "TextScanner.h"

namespace {

using namespace vokar;

constexpr const char* kUsage =
    "usage: vksay --dump [options] [TEXT... | -f FILE | -]\n"
    "  --dump               print the tokens and allophones of each sentence\n"
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
      options.file = "-";
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
    } else if (arg == "--caps-limit") {
      auto v = value();
      if (!v) return std::nullopt;
      char* end = nullptr;
      const long limit = std::strtol(v->c_str(), &end, 10);
      if (v->empty() || *end != '\0' || limit < 0 || limit > 64) {
        std::cerr << "vksay: --caps-limit takes a number from 0 to 64\n";
        return std::nullopt;
      }
      options.settings.convertCapsLimit = static_cast<int>(limit);
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
  }
};

}  // namespace

int main(int argc, char** argv) {
  auto options = Parse(argc, argv);
  if (!options) return 2;
  if (!options->dump) {
    std::cerr << "vksay: only --dump is available in this build\n";
    return 2;
  }
  auto input = ReadInput(*options);
  if (!input) return 1;
  // Valid UTF-8 with non-ASCII characters is converted; anything else is
  // taken as Windows-1250 already.
  const std::string text = cp1250::LooksLikeUtf8(*input) ? cp1250::FromUtf8(*input) : *input;

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

  CTextScanner scanner(text, {options->settings, db, options->dictionary ? &dictionary : nullptr, sink});
  int number = 0;
  while (const CUtterance* utterance = scanner.NextUtterance()) vksay::DumpUtterance(std::cout, ++number, *utterance, db);
  return 0;
}
