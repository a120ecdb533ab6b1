// vkvoicegen: makes the sources of the default voice from the recipe. Each
// speech entry's carrier is synthesised with espeak-ng and written as a WAV
// file; the manifest beside them tells vkalf where to cut each allophone, how
// much gain matches its level to the rest of the voice and how to fade it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "AlfFile.h"
#include "Audio.h"
#include "Cutter.h"
#include "EdgeLevel.h"
#include "Espeak.h"
#include "Inventory.h"
#include "JoinMeasures.h"
#include "PitchContour.h"
#include "Recipe.h"
#include "Signals.h"

namespace fs = std::filesystem;
using namespace vokar;
using namespace vokar::voicegen;

namespace {

constexpr int kRate = 22050;
// The level every carrier's loudest phoneme is brought to (about -15 dBFS),
// which leaves the peaks of the vowels below full scale.
constexpr double kReferenceRms = 0.18;
constexpr double kPeakLimit = 0.97;
// The largest 8-bit step a piece may start or end with and join a pause
// without a click.
constexpr double kEdgeSteps = 3.0;
// The most an edge ramp may raise or lower the end of a piece.
constexpr double kEdgeLimitDb = 12.0;

int Fail(const std::string& text) {
  std::fprintf(stderr, "vkvoicegen: %s\n", text.c_str());
  return 1;
}

std::string Ms(std::size_t samples) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", samples * 1000.0 / kRate);
  return text;
}

// The pitch period of a carrier in samples, from the middle of its first
// vowel: every carrier is spoken on the pitch of its prosody.
std::optional<double> CarrierPeriod(const Synthesis& synthesis) {
  for (std::size_t i = 0; i < synthesis.marks.size(); ++i) {
    if (ClassOfPhoneme(synthesis.marks[i].name) != SoundClass::Vowel) continue;
    const std::size_t begin = synthesis.marks[i].sample;
    const std::size_t end = i + 1 < synthesis.marks.size() ? synthesis.marks[i + 1].sample : synthesis.samples.size();
    const std::size_t middle = (begin + end) / 2;
    const std::size_t half = kRate * 30 / 1000;
    if (middle < half || middle + half > synthesis.samples.size()) continue;
    const auto f0 = PitchHz(std::span<const float>(synthesis.samples).subspan(middle - half, 2 * half));
    if (f0) return kRate / *f0;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::string(argv[2]) != "-d") {
    std::fputs("usage: vkvoicegen RECIPE -d OUTPUT-FOLDER\n", stderr);
    return 2;
  }
  auto recipe = ReadRecipe(argv[1]);
  if (!recipe) return Fail(recipe.Error().ToString());
  const fs::path outDir = argv[3];
  std::error_code ec;
  fs::create_directories(outDir / "src", ec);
  if (ec) return Fail("cannot create " + (outDir / "src").string() + ": " + ec.message());

  std::set<int> covered;
  for (const RecipeEntry& e : recipe->entries) covered.insert(e.index);
  for (const alf::StandardEntry& s : alf::StandardInventory()) {
    if (covered.count(s.index) == 0) {
      return Fail("the recipe lacks entry " + std::to_string(s.index) + " (" + std::string(s.name) + ")");
    }
  }

  auto espeak = CEspeak::Open(recipe->voice);
  if (!espeak) return Fail(espeak.Error().ToString());

  std::string manifest =
      "# Made by vkvoicegen from the recipe; build with vkalf build.\n"
      "version \"" + recipe->versionText + "\"\nfade 2\n";
  for (const RecipeEntry& entry : recipe->entries) {
    const auto standard = alf::FindStandard(entry.index);
    const std::string where = std::string(argv[1]) + " line " + std::to_string(entry.line);
    if (!standard) return Fail(where + ": " + std::to_string(entry.index) + " is not an entry of the inventory");
    const std::string name(standard->name);
    char head[64];
    std::snprintf(head, sizeof head, "%-4d %-8s 0x%04X ", entry.index, name.c_str(), standard->classBits);

    if (entry.kind == RecipeKind::Silence) {
      manifest += std::string(head) + "silence length=" + std::to_string(entry.silenceMs) + "\n";
      continue;
    }
    const std::string file = "src/" + std::to_string(entry.index) + "_" + name + ".wav";
    alf::Audio audio;
    audio.rate = kRate;
    std::string options;
    std::string edgeNote;
    if (entry.kind == RecipeKind::Signal) {
      auto sound = SignalSound(entry.design, kRate);
      if (!sound) return Fail(where + ": unknown signal design '" + entry.design + "'");
      audio.samples = std::move(*sound);
      options = " fade=1";
    } else {
      const Prosody& prosody = recipe->prosodies.at(entry.prosody);
      auto synthesis = (*espeak)->Speak(entry.carrier, prosody);
      if (!synthesis) return Fail(where + ": " + synthesis.Error().ToString());
      CutRequest request;
      request.phoneme = entry.phoneme;
      request.occurrence = entry.occurrence;
      request.skipMs = entry.skipMs;
      request.lengthMs = entry.lengthMs;
      request.preMs = entry.preMs;
      request.postMs = entry.postMs;
      request.releaseMs = entry.releaseMs;
      auto cut = FindCut(*synthesis, request);
      if (!cut) return Fail(where + ": carrier \"" + entry.carrier + "\": " + cut.Error().description);
      const auto period = CarrierPeriod(*synthesis);
      if (period) {
        if (prosody.fall > 0) {
          // The fall is made on the carrier itself, so that the start of the
          // entry keeps the plain pitch and its end its own period grid.
          const auto peaks = PeriodPeaks(synthesis->samples, cut->begin, cut->end, *period);
          const std::size_t fallStart = cut->begin + (cut->end - cut->begin) * prosody.flat / 100;
          synthesis->samples = LowerPitchTowardsEnd(synthesis->samples, peaks, fallStart, cut->end, prosody.fall);
        }
        AlignToPeriods(synthesis->samples, *period, *cut);
      }
      double gain = cut->referenceRms > 0 ? 20.0 * std::log10(kReferenceRms / cut->referenceRms) : 0.0;
      gain += entry.gainDb;
      float peak = 0.0f;
      for (std::size_t i = cut->begin; i < cut->end; ++i) peak = std::max(peak, std::abs(synthesis->samples[i]));
      if (peak > 0.0f) gain = std::min(gain, 20.0 * std::log10(kPeakLimit / peak));
      char text[160];
      std::snprintf(text, sizeof text, " start=%s end=%s gain=%.2f", Ms(cut->begin).c_str(),
                    Ms(cut->end).c_str(), gain);
      options = text;
      if (entry.edgeInDb || entry.edgeOutDb) {
        // Each end is measured over one pitch period (10 ms where the
        // carrier has none) at the level the entry will have, and held
        // against the level the vowels are brought to.
        const std::span<float> piece(synthesis->samples.data() + cut->begin, cut->end - cut->begin);
        const std::size_t window =
            std::min(piece.size() / 2, period ? static_cast<std::size_t>(std::lround(*period)) : kRate / 100);
        const double vowelDb = 20.0 * std::log10(kReferenceRms);
        const auto correction = [&](const std::optional<double>& edge, std::span<const float> end) {
          return edge ? EdgeCorrectionDb(LevelDb(end) + gain, vowelDb + *edge, kEdgeLimitDb) : 0.0;
        };
        const double inDb = correction(entry.edgeInDb, piece.first(window));
        const double outDb = correction(entry.edgeOutDb, piece.last(window));
        RampEdges(piece, inDb, outDb, static_cast<std::size_t>(std::lround(entry.rampMs * kRate / 1000.0)));
        std::snprintf(text, sizeof text, " # edges %+.1f %+.1f dB", inDb, outDb);
        edgeNote = text;
      }
      // Voiced ends on the period grid join their voiced neighbours without
      // a break: they take no fade, unless even the gentlest zero crossing
      // there leaves an 8-bit step that would click against a pause; half a
      // millisecond then takes it away without a dip. Other ends fade over
      // the default.
      const double factor = std::pow(10.0, gain / 20.0) * 127.0;
      const auto edgeFade = [&](std::size_t at) {
        return std::abs(synthesis->samples[at]) * factor > kEdgeSteps ? "0.5" : "0";
      };
      if (cut->periodicBegin) options += std::string(" fadein=") + edgeFade(cut->begin);
      if (cut->periodicEnd) options += std::string(" fadeout=") + edgeFade(cut->end - 1);
      if (entry.fadeMs && !cut->periodicBegin) options += " fadein=" + std::to_string(*entry.fadeMs);
      if (entry.fadeMs && !cut->periodicEnd) options += " fadeout=" + std::to_string(*entry.fadeMs);
      audio.samples = std::move(synthesis->samples);
    }
    const auto bytes = alf::EncodeWav16(audio);
    if (auto error = alf::WriteFileAtomically(outDir / file, bytes)) return Fail(error->ToString());
    manifest += std::string(head) + file + options + edgeNote + "\n";
  }
  const std::string m = manifest;
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
  if (auto error = alf::WriteFileAtomically(outDir / "manifest.txt", bytes)) return Fail(error->ToString());
  return 0;
}
