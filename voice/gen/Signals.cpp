#include "Signals.h"

#include <cmath>
#include <numbers>

namespace vokar::voicegen {
namespace {

constexpr double kPeak = 0.45;

// One bell-like note: a fundamental with two soft overtones, a 3 ms attack
// and an exponential decay, ending in silence.
void AddNote(std::vector<float>& out, int rate, double startMs, double freq, double lengthMs,
             double decayMs, double level = 1.0) {
  const auto start = static_cast<std::size_t>(startMs * rate / 1000.0);
  const auto length = static_cast<std::size_t>(lengthMs * rate / 1000.0);
  if (out.size() < start + length) out.resize(start + length, 0.0f);
  const double attack = 0.003 * rate;
  for (std::size_t i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / rate;
    double env = std::exp(-t * 1000.0 / decayMs);
    if (i < attack) env *= i / attack;
    // The last 5 ms fall to silence so the note never ends on a step.
    const double tail = (length - i) / (0.005 * rate);
    if (tail < 1.0) env *= tail;
    const double w = 2 * std::numbers::pi * freq * t;
    const double v = std::sin(w) + 0.3 * std::sin(2 * w) + 0.08 * std::sin(3 * w);
    out[start + i] += static_cast<float>(kPeak * level * env * v / 1.38);
  }
}

// A gliding tone from one frequency to another.
void AddGlide(std::vector<float>& out, int rate, double f0, double f1, double lengthMs) {
  const auto length = static_cast<std::size_t>(lengthMs * rate / 1000.0);
  out.resize(length, 0.0f);
  double phase = 0.0;
  for (std::size_t i = 0; i < length; ++i) {
    const double x = static_cast<double>(i) / length;
    const double freq = f0 * std::pow(f1 / f0, x);
    phase += 2 * std::numbers::pi * freq / rate;
    const double env = std::sin(std::numbers::pi * x);  // swells and fades
    const double v = std::sin(phase) + 0.2 * std::sin(2 * phase);
    out[i] = static_cast<float>(kPeak * 0.8 * env * v / 1.2);
  }
}

struct Note {
  double startMs, freq, lengthMs, decayMs, level = 1.0;
};

// The signals made of notes; "sweepdown" is the one glide.
struct NoteDesign {
  std::string_view name;
  std::vector<Note> notes;
};

const NoteDesign kNoteDesigns[] = {
    {"tick", {{0, 1760, 45, 10, 0.8}}},
    {"ding", {{0, 880, 110, 40}, {50, 1318.5, 160, 55}}},
    {"lowdouble", {{0, 294, 70, 30}, {90, 277, 90, 30}}},
    {"rise2", {{0, 523.25, 90, 45}, {80, 784, 170, 60}}},
    {"fall2", {{0, 784, 90, 45}, {80, 523.25, 170, 60}}},
    {"rise3", {{0, 659.25, 70, 35}, {60, 830.6, 70, 35}, {120, 987.8, 140, 50}}},
    {"fall3", {{0, 987.8, 70, 35}, {60, 830.6, 70, 35}, {120, 659.25, 140, 50}}},
};

}  // namespace

std::optional<std::vector<float>> SignalSound(std::string_view design, int rate) {
  std::vector<float> out;
  if (design == "sweepdown") {
    AddGlide(out, rate, 1400, 350, 180);
    return out;
  }
  for (const NoteDesign& known : kNoteDesigns) {
    if (known.name != design) continue;
    for (const Note& note : known.notes) {
      AddNote(out, rate, note.startMs, note.freq, note.lengthMs, note.decayMs, note.level);
    }
    return out;
  }
  return std::nullopt;
}

}  // namespace vokar::voicegen
