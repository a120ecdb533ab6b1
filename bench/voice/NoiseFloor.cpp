#include "NoiseFloor.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "AlfFile.h"
#include "Audio.h"
#include "Build.h"
#include "JoinMeasures.h"
#include "Manifest.h"
#include "NoiseShaping.h"
#include "RenderText.h"

namespace {

using namespace vokar;
using namespace vokar::voicegen;

constexpr std::size_t kFrame = 256;
constexpr std::size_t kHop = 128;
constexpr int kRate = 22050;
constexpr std::array<double, 8> kBandEdges{0, 1000, 2000, 3000, 4000, 6000, 8000, 11025};
constexpr std::size_t kBands = kBandEdges.size() - 1;
constexpr std::size_t kWays = 4;
constexpr const char* kWayNames[kWays] = {"plain", "threshold", "following", "dithered"};

enum Part { kPause, kWeak, kSonorant, kParts };
constexpr const char* kPartNames[kParts] = {"pauses", "weak consonants (obstruents)", "sonorants"};

Part PartOf(SoundClass c) {
  if (c == SoundClass::Silence) return kPause;
  if (IsSonorant(c)) return kSonorant;
  return kWeak;
}

// Power per band of one Hann-windowed frame, by a plain DFT.
std::array<double, kBands> BandPower(std::span<const float> frame) {
  // The window times the DFT's cosines and sines, for every bin.
  static const auto table = [] {
    std::vector<std::pair<double, double>> t((kFrame / 2 + 1) * kFrame);
    for (std::size_t bin = 0; bin <= kFrame / 2; ++bin) {
      for (std::size_t i = 0; i < kFrame; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / kFrame);
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(bin * i % kFrame) / kFrame;
        t[bin * kFrame + i] = {w * std::cos(phase), -w * std::sin(phase)};
      }
    }
    return t;
  }();
  std::array<double, kBands> power{};
  for (std::size_t bin = 1; bin <= kFrame / 2; ++bin) {
    const double hz = static_cast<double>(bin) * kRate / kFrame;
    double re = 0.0, im = 0.0;
    for (std::size_t i = 0; i < kFrame; ++i) {
      re += table[bin * kFrame + i].first * frame[i];
      im += table[bin * kFrame + i].second * frame[i];
    }
    for (std::size_t b = 0; b < kBands; ++b) {
      if (hz > kBandEdges[b] && hz <= kBandEdges[b + 1]) power[b] += re * re + im * im;
    }
  }
  return power;
}

double Db(double power) { return power > 0.0 ? 10.0 * std::log10(power) : -999.0; }

struct PartMeasure {
  std::size_t frames = 0;
  std::array<double, kBands> signal{};
  std::array<std::array<double, kBands>, kWays> noise{};
  // The noise weighted by the hearing threshold, summed over the frames.
  std::array<double, kWays> heard{};
  // The noise power above what the sound masks, band by band and frame by
  // frame.
  std::array<double, kWays> unmasked{};
  // The same if each frame were rounded in whichever way leaves the least
  // unmasked noise there: a bound on what choosing a way by the sound
  // could gain.
  double bestUnmasked = 0.0;
};

}  // namespace

int RunNoiseFloor(const CAllophoneDb& db, const CSpeechSettingsValues& settings,
                  std::span<const char* const> sentences, const std::filesystem::path& manifestPath,
                  const std::optional<std::filesystem::path>& out) {
  auto manifest = alf::ReadManifest(manifestPath);
  if (!manifest) {
    std::cerr << "bench_voice: " << manifest.Error().ToString() << "\n";
    return 1;
  }
  auto pieces = alf::CutPieces(*manifest);
  if (!pieces) {
    std::cerr << "bench_voice: " << pieces.Error().ToString() << "\n";
    return 1;
  }
  // Each piece as the listener gets it in each way, decoded back to -1..1.
  std::map<int, std::array<std::vector<float>, kWays>> decoded;
  for (const auto& [index, piece] : *pieces) {
    decoded[index] = {alf::FromUnsigned8(alf::ToUnsigned8(piece, nullptr)),
                      alf::FromUnsigned8(alf::ToUnsigned8Shaped(piece, alf::ThresholdNoiseShaping(), nullptr)),
                      alf::FromUnsigned8(alf::ToUnsigned8Following(piece, nullptr)),
                      alf::FromUnsigned8(alf::ToUnsigned8Dithered(piece, static_cast<std::uint32_t>(index), nullptr))};
  }
  // The weight of each band: the hearing threshold at its middle.
  std::array<double, kBands> weight{};
  for (std::size_t b = 0; b < kBands; ++b) {
    weight[b] = std::pow(10.0, -alf::HearingThresholdDb((kBandEdges[b] + kBandEdges[b + 1]) / 2) / 10.0);
  }

  // How far under a sound its band masks noise: 5.5 dB for the noise-like
  // obstruents, 14.5 dB plus the band's critical-band rate for the tonal
  // sonorants (the offsets of the common psychoacoustic model).
  std::array<std::array<double, kBands>, kParts> maskFactor{};
  for (std::size_t b = 0; b < kBands; ++b) {
    const double hz = (kBandEdges[b] + kBandEdges[b + 1]) / 2;
    const double bark = 13.0 * std::atan(0.00076 * hz) + 3.5 * std::atan((hz / 7500.0) * (hz / 7500.0));
    maskFactor[kPause][b] = 0.0;
    maskFactor[kWeak][b] = std::pow(10.0, -5.5 / 10.0);
    maskFactor[kSonorant][b] = std::pow(10.0, -(14.5 + bark) / 10.0);
  }
  std::array<PartMeasure, kParts> parts;
  std::array<std::size_t, kWays> loudInQuiet{};
  std::size_t quietSamples = 0;
  std::size_t mismatched = 0;  // sounds whose piece is not the voice's entry
  int number = 0;
  for (const char* sentence : sentences) {
    ++number;
    const RenderedSpeech speech = RenderText(db, settings, sentence);
    std::vector<float> source;
    std::array<std::vector<float>, kWays> noise;
    std::vector<Part> partOf;
    for (std::size_t s = 0; s < speech.segments.size(); ++s) {
      const std::size_t length = speech.segments[s].end - speech.segments[s].begin;
      const auto piece = pieces->find(speech.indices[s]);
      if (piece != pieces->end() && piece->second.size() != length) ++mismatched;
      if (piece == pieces->end() || piece->second.size() != length) {
        // A pause (refilled by the engine) or a sound the manifest does not
        // make: silent in every way.
        source.insert(source.end(), length, 0.0f);
        for (auto& n : noise) n.insert(n.end(), length, 0.0f);
      } else {
        source.insert(source.end(), piece->second.begin(), piece->second.end());
        const auto& ways = decoded.at(speech.indices[s]);
        for (std::size_t w = 0; w < kWays; ++w) {
          for (std::size_t i = 0; i < length; ++i) noise[w].push_back(ways[w][i] - piece->second[i]);
        }
      }
      partOf.insert(partOf.end(), length, PartOf(speech.segments[s].sound));
    }
    if (out && number <= 2) {
      const auto write = [&](const std::string& name, const std::vector<float>& samples) {
        alf::Audio audio;
        audio.rate = kRate;
        audio.samples = samples;
        const auto path = *out / ("noise-" + name + "-" + std::to_string(number) + ".wav");
        if (auto error = alf::WriteFileAtomically(path, alf::EncodeWav16(audio))) std::cerr << error->ToString() << "\n";
      };
      write("source", source);
      for (std::size_t w = 0; w < kWays; ++w) {
        std::vector<float> heard(source.size());
        for (std::size_t i = 0; i < source.size(); ++i) heard[i] = source[i] + noise[w][i];
        write(kWayNames[w], heard);
      }
    }
    // Silence of the source: runs of 32 samples or more under half a step.
    for (std::size_t i = 0; i < source.size();) {
      std::size_t end = i;
      while (end < source.size() && std::abs(source[end]) * 127.0 < 0.5) ++end;
      if (end - i >= 32) {
        quietSamples += end - i;
        for (std::size_t k = i; k < end; ++k) {
          for (std::size_t w = 0; w < kWays; ++w) {
            if (std::lround((source[k] + noise[w][k]) * 127.0) != 0) ++loudInQuiet[w];
          }
        }
      }
      i = end > i ? end : i + 1;
    }
    // Frames that lie wholly in one part.
    for (std::size_t at = 0; at + kFrame <= source.size(); at += kHop) {
      const Part part = partOf[at];
      if (partOf[at + kFrame - 1] != part) continue;
      bool whole = true;
      for (std::size_t i = at; i < at + kFrame && whole; ++i) whole = partOf[i] == part;
      if (!whole) continue;
      PartMeasure& m = parts[part];
      ++m.frames;
      const auto signal = BandPower(std::span<const float>(source).subspan(at, kFrame));
      for (std::size_t b = 0; b < kBands; ++b) m.signal[b] += signal[b];
      double best = -1.0;
      for (std::size_t w = 0; w < kWays; ++w) {
        const auto n = BandPower(std::span<const float>(noise[w]).subspan(at, kFrame));
        double unmasked = 0.0;
        for (std::size_t b = 0; b < kBands; ++b) {
          m.noise[w][b] += n[b];
          m.heard[w] += n[b] * weight[b];
          unmasked += std::max(0.0, n[b] - signal[b] * maskFactor[part][b]);
        }
        m.unmasked[w] += unmasked;
        if (best < 0.0 || unmasked < best) best = unmasked;
      }
      m.bestUnmasked += best;
    }
  }

  // Levels per band against the floor plain rounding would leave if its
  // noise were white: a twelfth of a step squared per sample, which a Hann
  // frame (its squares sum to 0.375 N) puts into each bin of the DFT.
  const double floorPerBin = kFrame * 0.375 / 12.0 / (127.0 * 127.0);
  if (mismatched > 0) {
    std::printf("warning: %zu sounds differ in length from the manifest's pieces (an old manifest?); "
                "they count as silence\n", mismatched);
  }
  std::printf("\n8-bit rounding noise by band, dB against the flat floor of plain rounding\n"
              "(sound: the level of the sound itself in that band, same scale). Ways: plain rounding;\n"
              "threshold: error feedback shaped by the threshold of hearing; following: error\n"
              "feedback following the sound's envelope; dithered: triangular dither of one step.\n"
              "heard: the noise weighted by the threshold of hearing; unmasked: the noise above\n"
              "the sound's masking (5.5 dB under an obstruent's band, 14.5 dB plus the band's\n"
              "critical-band rate under a sonorant's), frame by frame; both in dB against plain.\n");
  for (std::size_t p = 0; p < kParts; ++p) {
    const PartMeasure& m = parts[p];
    std::printf("\n%s, %zu frames of %zu samples\n  %-14s %8s", kPartNames[p], m.frames, kFrame, "band (Hz)", "sound");
    for (const char* name : kWayNames) std::printf(" %10s", name);
    std::printf("\n");
    if (m.frames == 0) continue;
    double any = 0.0;
    for (const auto& way : m.noise) for (double v : way) any += v;
    if (any == 0.0) {
      std::printf("  no noise in any way: every sample is 128\n");
      continue;
    }
    for (std::size_t b = 0; b < kBands; ++b) {
      double bins = 0;
      for (std::size_t bin = 1; bin <= kFrame / 2; ++bin) {
        const double hz = static_cast<double>(bin) * kRate / kFrame;
        if (hz > kBandEdges[b] && hz <= kBandEdges[b + 1]) ++bins;
      }
      const double floor = floorPerBin * bins * static_cast<double>(m.frames);
      std::printf("  %5.0f-%-7.0f %8.1f", kBandEdges[b], kBandEdges[b + 1], Db(m.signal[b] / floor));
      for (std::size_t w = 0; w < kWays; ++w) std::printf(" %10.1f", Db(m.noise[w][b] / floor));
      std::printf("\n");
    }
    std::printf("  %-24s", "heard, against plain");
    for (std::size_t w = 0; w < kWays; ++w) std::printf(" %10.1f", Db(m.heard[w] / m.heard[0]));
    std::printf("\n  %-24s", "unmasked, against plain");
    for (std::size_t w = 0; w < kWays; ++w) std::printf(" %10.1f", Db(m.unmasked[w] / m.unmasked[0]));
    std::printf("\n  %-24s %10.1f  (the best way chosen frame by frame)\n", "unmasked, best of all", Db(m.bestUnmasked / m.unmasked[0]));
  }
  std::printf("\nsilent source (runs of 32 samples or more under half a step): %zu samples; not 128:", quietSamples);
  for (std::size_t w = 0; w < kWays; ++w) std::printf(" %s %zu", kWayNames[w], loudInQuiet[w]);
  std::printf("\n");
  return 0;
}
