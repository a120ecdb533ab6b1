#include "Build.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "Audio.h"

namespace vokar::alf {
namespace {

constexpr int kRate = 22050;

std::size_t MsToSamples(double ms) { return static_cast<std::size_t>(std::llround(ms * kRate / 1000.0)); }

}  // namespace

Result<std::map<int, std::vector<float>>> CutPieces(const Manifest& manifest) {
  std::map<int, std::vector<float>> pieces;
  // Several entries are often cut from one long recording: decode it once.
  std::map<std::filesystem::path, std::vector<float>> sources;
  for (const ManifestEntry& entry : manifest.entries) {
    if (entry.silence) continue;
    const auto error = [&](const std::string& what) {
      return MakeError(ErrorKind::Manifest, manifest.fileName, entry.line,
                       "entry " + std::to_string(entry.index) + " (" + entry.name + "): " + what);
    };
    auto cached = sources.find(entry.source);
    if (cached == sources.end()) {
      auto audio = ReadWavFile(entry.source);
      if (!audio) return audio.Error();
      cached = sources.emplace(entry.source, Resample(audio->samples, audio->rate, kRate)).first;
    }
    const std::vector<float>& source = cached->second;
    const double sourceMs = source.size() * 1000.0 / kRate;
    const std::size_t begin = entry.startMs ? MsToSamples(*entry.startMs) : 0;
    const std::size_t end = entry.endMs ? MsToSamples(*entry.endMs) : source.size();
    if (end > source.size()) {
      return error("end " + std::to_string(*entry.endMs) + " ms lies past the end of " +
                   entry.source.string() + " (" + std::to_string(sourceMs) + " ms)");
    }
    if (begin >= end) return error("no samples between the cut points");

    std::vector<float> piece(source.begin() + static_cast<std::ptrdiff_t>(begin),
                             source.begin() + static_cast<std::ptrdiff_t>(end));
    ApplyGainDb(piece, manifest.gainDb + entry.gainDb);
    FadeIn(piece, MsToSamples(entry.fadeInMs.value_or(manifest.fadeMs)));
    FadeOut(piece, MsToSamples(entry.fadeOutMs.value_or(manifest.fadeMs)));
    pieces[entry.index] = std::move(piece);
  }
  return pieces;
}

Result<BuildOutput> BuildAlf(const Manifest& manifest) {
  auto pieces = CutPieces(manifest);
  if (!pieces) return pieces.Error();
  BuildOutput output;
  output.file.format = kVoiceFormat;
  output.file.versionText = manifest.versionText;

  std::vector<const ManifestEntry*> order;
  for (const ManifestEntry& e : manifest.entries) order.push_back(&e);
  std::sort(order.begin(), order.end(),
            [](const ManifestEntry* a, const ManifestEntry* b) { return a->index < b->index; });

  for (const ManifestEntry* entry : order) {
    AlfEntry out;
    out.index = static_cast<std::uint16_t>(entry->index);
    out.name = entry->name;
    out.classBits = entry->classBits;
    if (entry->silence) {
      out.samples.assign(MsToSamples(entry->lengthMs), 128);
      output.file.entries.push_back(std::move(out));
      continue;
    }
    const std::vector<float>& piece = pieces->at(entry->index);
    std::size_t clipped = 0;
    out.samples = ToUnsigned8(piece, &clipped);
    if (clipped > 0) {
      output.warnings.push_back(manifest.fileName + " line " + std::to_string(entry->line) +
                                ": entry " + std::to_string(entry->index) + " (" + entry->name +
                                ") clips " + std::to_string(clipped) + " samples; lower its gain");
    }
    output.file.entries.push_back(std::move(out));
  }
  return output;
}

}  // namespace vokar::alf
