// vkalf: builds allophone files from a manifest of recordings, lists and
// checks them, extracts entries and joins entries into words for listening.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "AlfCheck.h"
#include "AlfFile.h"
#include "Audio.h"
#include "Build.h"
#include "Inventory.h"

using namespace vokar::alf;

namespace {

constexpr const char* kUsage =
    "usage: vkalf build MANIFEST -o FILE\n"
    "       vkalf list FILE\n"
    "       vkalf check FILE\n"
    "       vkalf extract FILE INDEX|NAME -o OUT.wav\n"
    "       vkalf join FILE NAME-NAME-... -o OUT.wav\n"
    "       vkalf template\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// Splits off "-o PATH" from the arguments; returns false when -o lacks a path.
bool TakeOutput(std::vector<std::string>& args, std::string& output) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return false;
      output = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(i + 2));
      return true;
    }
  }
  return true;
}

int Fail(const AlfError& error) {
  std::fprintf(stderr, "vkalf: %s\n", error.ToString().c_str());
  return 1;
}

// The entry that a list or lookup means: a number is an index, anything else
// a name found as the engine finds it (first by index order).
const AlfEntry* FindEntry(const AlfFile& file, const std::string& key) {
  const AlfEntry* best = nullptr;
  const bool numeric = !key.empty() && key.find_first_not_of("0123456789") == std::string::npos;
  for (const AlfEntry& e : file.entries) {
    const bool match = numeric ? std::to_string(e.index) == key : e.name == key;
    if (match && (best == nullptr || e.index < best->index || (numeric && e.index == best->index))) {
      best = &e;
    }
  }
  return best;
}

int Build(std::vector<std::string> args) {
  std::string output;
  if (!TakeOutput(args, output) || output.empty() || args.size() != 1) return Usage();
  auto manifest = ReadManifest(args[0]);
  if (!manifest) return Fail(manifest.Error());
  auto built = BuildAlf(*manifest);
  if (!built) return Fail(built.Error());
  for (const std::string& w : built->warnings) std::fprintf(stderr, "vkalf: warning: %s\n", w.c_str());
  auto bytes = SerializeAlf(built->file);
  if (!bytes) return Fail(bytes.Error());
  if (auto error = WriteFileAtomically(output, *bytes)) return Fail(*error);
  return 0;
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage();
  auto file = ReadAlfFile(args[0]);
  if (!file) return Fail(file.Error());
  std::printf("# %u-bit, %u channel(s), %u Hz; version \"%s\"\n", file->format.bitsPerSample,
              file->format.channels, file->format.samplesPerSec, file->versionText.c_str());
  std::printf("# index name     class  bytes\n");
  for (const AlfEntry& e : file->entries) {
    std::printf("%7u %-8s 0x%04X %6zu\n", e.index, e.name.c_str(), e.classBits, e.samples.size());
  }
  return 0;
}

int Check(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage();
  auto file = ReadAlfFile(args[0]);
  if (!file) return Fail(file.Error());
  const auto findings = CheckAlf(*file);
  std::size_t errors = 0;
  for (const Finding& f : findings) {
    std::printf("%s\n", f.ToString().c_str());
    if (f.severity == Severity::Error) ++errors;
  }
  std::printf("%s: %zu entries, %zu error(s), %zu warning(s)\n", args[0].c_str(),
              file->entries.size(), errors, findings.size() - errors);
  return errors == 0 ? 0 : 1;
}

int WriteWav(const std::string& output, const std::vector<std::uint8_t>& pcm,
             const vokar::WaveFormat& format) {
  if (auto error = WriteFileAtomically(output, EncodeWav(pcm, format))) return Fail(*error);
  return 0;
}

int Extract(std::vector<std::string> args) {
  std::string output;
  if (!TakeOutput(args, output) || output.empty() || args.size() != 2) return Usage();
  auto file = ReadAlfFile(args[0]);
  if (!file) return Fail(file.Error());
  const AlfEntry* entry = FindEntry(*file, args[1]);
  if (entry == nullptr) {
    std::fprintf(stderr, "vkalf: %s holds no entry '%s'\n", args[0].c_str(), args[1].c_str());
    return 1;
  }
  return WriteWav(output, entry->samples, file->format);
}

int Join(std::vector<std::string> args) {
  std::string output;
  if (!TakeOutput(args, output) || output.empty() || args.size() != 2) return Usage();
  auto file = ReadAlfFile(args[0]);
  if (!file) return Fail(file.Error());
  std::string list = args[1];
  if (list.size() >= 2 && list.front() == '(' && list.back() == ')') list = list.substr(1, list.size() - 2);
  std::vector<std::uint8_t> pcm;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t dash = std::min(list.find('-', start), list.size());
    const std::string key = list.substr(start, dash - start);
    start = dash + 1;
    if (key.empty()) continue;
    const AlfEntry* entry = FindEntry(*file, key);
    if (entry == nullptr) {
      std::fprintf(stderr, "vkalf: %s holds no entry '%s'\n", args[0].c_str(), key.c_str());
      return 1;
    }
    pcm.insert(pcm.end(), entry->samples.begin(), entry->samples.end());
  }
  return WriteWav(output, pcm, file->format);
}

int Template() {
  std::printf(
      "# Manifest of an allophone file: build it with\n"
      "#   vkalf build THIS-FILE -o pl_22.alf\n"
      "# Each line: index name class-bits source [start=MS] [end=MS] [gain=DB] [fade=MS]\n"
      "# Sources are WAV files (any rate, channels and PCM sample size), relative to\n"
      "# this file; start and end cut the entry out of a longer recording.\n"
      "version \"my voice\"\n"
      "fade 2\n");
  for (const StandardEntry& e : StandardInventory()) {
    if (e.role == EntryRole::Pause) {
      std::printf("%-4d %-8s 0x%04X silence length=10  # %.*s\n", e.index,
                  std::string(e.name).c_str(), e.classBits,
                  static_cast<int>(e.description.size()), e.description.data());
    } else {
      std::printf("%-4d %-8s 0x%04X rec/%s.wav  # %.*s\n", e.index, std::string(e.name).c_str(),
                  e.classBits, std::string(e.name).c_str(),
                  static_cast<int>(e.description.size()), e.description.data());
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "build") return Build(std::move(args));
  if (command == "list") return List(args);
  if (command == "check") return Check(args);
  if (command == "extract") return Extract(std::move(args));
  if (command == "join") return Join(std::move(args));
  if (command == "template" && args.empty()) return Template();
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Usage();
}
