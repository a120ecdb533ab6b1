#include "ProsodyStage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "AllophoneIndex.h"
#include "BlockMemory.h"

namespace vokar {
namespace {

constexpr double kUnlimited = std::numeric_limits<double>::infinity();
constexpr long kLongestWindow = 2048;

using blocks::GrowTo;

void CopyInPieces(void* to, const void* from, std::size_t bytes) { blocks::Copy(to, from, bytes); }
void ClearInPieces(void* to, std::size_t bytes) { blocks::Clear(to, bytes); }

// A 16-bit sample stored little-endian.
void Store16(std::uint8_t* at, std::int16_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &value, sizeof value);
  } else {
    const auto v = static_cast<std::uint16_t>(value);
    at[0] = static_cast<std::uint8_t>(v & 0xFF);
    at[1] = static_cast<std::uint8_t>(v >> 8);
  }
}

void CopySamples(std::uint8_t* to, const std::int16_t* from, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    CopyInPieces(to, from, count * sizeof(std::int16_t));
  } else {
    for (std::size_t i = 0; i < count; ++i) Store16(to + 2 * i, from[i]);
  }
}

// Stretches of input copied to the output as they stand, gathered so that
// a stretch that goes on where the last one ended (the end of one period
// and the start of the next, which a grain's flat top and its neighbour's
// share) is copied at once.
class Copies {
 public:
  void Add(std::uint8_t* to, const std::int16_t* from, long count) {
    if (count <= 0) return;
    if (to_ != nullptr && to == to_ + 2 * count_ && from == from_ + count_) {
      count_ += count;
      return;
    }
    Flush();
    to_ = to;
    from_ = from;
    count_ = count;
  }
  void Flush() {
    if (to_ != nullptr) CopySamples(to_, from_, static_cast<std::size_t>(count_));
    to_ = nullptr;
    count_ = 0;
  }
  ~Copies() { Flush(); }

 private:
  std::uint8_t* to_ = nullptr;
  const std::int16_t* from_ = nullptr;
  long count_ = 0;
};

// One piece of a run's time map: where it starts in the input and at
// normal speed, its lengths in both, and input samples per normal-speed one.
struct MapPiece {
  double input = 0.0;
  double nominal = 0.0;
  std::uint32_t samples = 0;
  std::uint32_t nominalLength = 0;
  double toInput = 1.0;
};

// A piece of a chunk: a sound of a token, as the stage lays it down.
struct ChunkPiece {
  enum class Kind { Speech, Pause, Signal } kind;
  const CAllophone* entry;
  std::uint32_t nominalStart;
  std::uint32_t nominal;  // its length at normal speed: a pause's or a sound's as the plan has it
};

// What the stage keeps between chunks on its thread: the rising halves of
// the windows it has used, by length (Hann for voiced grains, whose periods
// add up in phase; a quarter sine for unvoiced ones, whose noise adds up in
// power), and buffers that keep their room.
struct StageScratch {
  std::vector<std::vector<std::int16_t>> windows = std::vector<std::vector<std::int16_t>>(kLongestWindow + 1);
  std::vector<std::vector<std::int16_t>> powerWindows = std::vector<std::vector<std::int16_t>>(kLongestWindow + 1);
  std::vector<std::int16_t> run;
  std::vector<PitchMark> marks;
  std::vector<double> right, left;
  std::vector<std::uint32_t> stretchEnd;
  std::vector<MapPiece> map;
  std::vector<RunPiece> runPieces;
  std::vector<std::size_t> tokenPiece, elementPiece, pieceOut;
  std::vector<ChunkPiece> pieces;
};

StageScratch& Scratch() {
  thread_local StageScratch scratch;
  return scratch;
}

// The rising half of a Hann window over d samples, 0 to 32767, from a table
// of 1024 steps.
const std::int16_t* RisingWindow(long d) {
  static const std::array<std::int16_t, 1025> fine = [] {
    std::array<std::int16_t, 1025> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
      t[i] = static_cast<std::int16_t>(std::lround(32767.0 * (0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / 1024.0))));
    return t;
  }();
  d = std::clamp(d, 1L, kLongestWindow);
  auto& window = Scratch().windows[static_cast<std::size_t>(d)];
  if (window.empty()) {
    // The fine table stepped through in 16.16 fixed point.
    window.resize(static_cast<std::size_t>(d));
    const std::uint32_t step = (1024u << 16) / static_cast<std::uint32_t>(d);
    std::uint32_t at = 0;
    for (long x = 0; x < d; ++x, at += step) window[static_cast<std::size_t>(x)] = fine[at >> 16];
  }
  return window.data();
}

// The rising quarter of a sine over d samples, 0 to 32767: a blend of two
// stretches of noise by it and its falling mirror keeps their power.
const std::int16_t* RisingPowerWindow(long d) {
  d = std::clamp(d, 1L, kLongestWindow);
  auto& window = Scratch().powerWindows[static_cast<std::size_t>(d)];
  if (window.empty()) {
    window.resize(static_cast<std::size_t>(d));
    for (long x = 0; x < d; ++x)
      window[static_cast<std::size_t>(x)] =
          static_cast<std::int16_t>(std::lround(32767.0 * std::sin(0.5 * std::numbers::pi * static_cast<double>(x) / static_cast<double>(d))));
  }
  return window.data();
}

// 2 to the power x for |x| of about an octave and less, within a
// hundred-thousandth: the step of a semitone, cheaper than the library's.
double TwoToThe(double x) {
  if (x < -1.5 || x > 1.5) return std::exp2(x);
  // 2^x = e^(x ln 2), by its series to the seventh term.
  const double y = x * std::numbers::ln2;
  return 1.0 + y * (1.0 + y * (0.5 + y * (1.0 / 6 + y * (1.0 / 24 + y * (1.0 / 120 + y * (1.0 / 720 + y / 5040))))));
}

// One grain: centred on input sample c and laid at output sample tau; its
// window reaches at most `left` and `right` samples either way.
struct Grain {
  long tau = 0;
  long c = 0;
  long mark = -1;  // its pitch mark, -1 for unvoiced sound
  double left = kUnlimited;
  double right = kUnlimited;
};

// The high half of a product with a window value (0 to 32767): a times the
// window over two. The blends below add such halves and double the sum, all
// in 16 bits, which the vector unit does eight samples at a time.
inline std::int16_t MulHigh(std::int16_t a, std::int16_t w) {
  return static_cast<std::int16_t>((static_cast<std::int32_t>(a) * w) >> 16);
}

// a fading out while b fades in, with w the rising window. The two window
// values sum to full scale, so the doubled sum never leaves 16 bits.
void Blend(const std::int16_t* __restrict a, const std::int16_t* __restrict b, const std::int16_t* __restrict w,
           long d, std::uint8_t* __restrict out) {
  for (long x = 0; x < d; ++x) {
    const std::int16_t rising = w[x];
    const auto falling = static_cast<std::int16_t>(32767 - rising);
    Store16(out + 2 * x, static_cast<std::int16_t>((MulHigh(a[x], falling) + MulHigh(b[x], rising)) * 2));
  }
}

void FadeOut(const std::int16_t* __restrict a, const std::int16_t* __restrict w, long d, std::uint8_t* __restrict out) {
  for (long x = 0; x < d; ++x)
    Store16(out + 2 * x, static_cast<std::int16_t>(MulHigh(a[x], static_cast<std::int16_t>(32767 - w[x])) * 2));
}

void FadeIn(const std::int16_t* __restrict b, const std::int16_t* __restrict w, long d, std::uint8_t* __restrict out) {
  for (long x = 0; x < d; ++x) Store16(out + 2 * x, static_cast<std::int16_t>(MulHigh(b[x], w[x]) * 2));
}

// a fading out while b fades in with the power kept: w is the rising
// quarter sine, read backwards for the falling one. Their values sum to
// more than full scale, so the sum is held within 16 bits.
void BlendPower(const std::int16_t* __restrict a, const std::int16_t* __restrict b, const std::int16_t* __restrict w,
                long d, std::uint8_t* __restrict out) {
  for (long x = 0; x < d; ++x) {
    const auto half = static_cast<std::int16_t>(MulHigh(a[x], w[d - 1 - x]) + MulHigh(b[x], w[x]));
    Store16(out + 2 * x, static_cast<std::int16_t>(std::clamp<std::int16_t>(half, -16384, 16383) * 2));
  }
}

// Both fading over windows of the same length, whose values then sum to at
// most full scale.
void Overlap(const std::int16_t* __restrict a, const std::int16_t* __restrict fall, const std::int16_t* __restrict b,
             const std::int16_t* __restrict rise, long d, std::uint8_t* __restrict out) {
  for (long x = 0; x < d; ++x) {
    const auto falling = static_cast<std::int16_t>(32767 - fall[x]);
    Store16(out + 2 * x, static_cast<std::int16_t>((MulHigh(a[x], falling) + MulHigh(b[x], rise[x])) * 2));
  }
}

// How much longer than its own period a grain's half may reach when the
// pitch is lowered, so that the two grains still fade into each other: a
// lowering by up to four and a half semitones.
constexpr double kLongestReach = 1.3;

// Two voiced grains meet in the quiet end of a period, where the ringing of
// the pulse before has died down and the next has not begun: their windows
// are flat over the pulse and taper there only, over a quarter period and
// 1.5 ms at most, so that most samples are the recorded ones. A grain's period ends
// an eighth of a period before the next pulse of its own recording.
constexpr long kLongestTaper = 32;
constexpr long kShortestTaper = 8;

void JoinPeriods(const std::int16_t* a, const std::int16_t* b, long d, double right, double left,
                 std::uint8_t* out, Copies& copies) {
  // The periods are whole samples apart (marks are samples): plain casts round.
  const auto r = static_cast<long>(right + 0.5), l = static_cast<long>(left + 0.5);
  const long leadA = (r + 4) / 8, leadB = (l + 4) / 8;
  const long aEnd = r - leadA;       // a holds its own period before this
  const long bStart = d - l + leadB;  // b holds its own from here
  long taper = std::clamp((std::min(r, l) + 2) / 4, kShortestTaper, kLongestTaper);
  taper = std::min(taper, d);
  // Where the taper ends: before the next pulse of b, and while a is still its own.
  long x0 = 0;
  if (bStart <= aEnd - taper) {
    const long end = std::clamp(std::min(d - leadB, aEnd), bStart + taper, d);
    x0 = end - taper;
  } else if (aEnd <= bStart) {
    // A pitch lowered further than a period reaches: a fades out before its
    // next pulse, b fades in after its previous one, silence between.
    const long fadeOut = std::clamp(aEnd, taper, d);
    const long fadeIn = std::clamp(bStart, fadeOut, d - taper);
    copies.Add(out, a, fadeOut - taper);
    const std::int16_t* w = RisingWindow(taper);
    FadeOut(a + fadeOut - taper, w, taper, out + 2 * (fadeOut - taper));
    ClearInPieces(out + 2 * fadeOut, static_cast<std::size_t>(fadeIn - fadeOut) * 2);
    FadeIn(b + fadeIn, w, std::min(taper, d - fadeIn), out + 2 * fadeIn);
    copies.Add(out + 2 * (fadeIn + taper), b + fadeIn + taper, d - fadeIn - taper);
    return;
  } else {
    x0 = std::clamp((aEnd + bStart) / 2 - taper / 2, 0L, d - taper);
  }
  copies.Add(out, a, x0);
  Blend(a + x0, b + x0, RisingWindow(taper), taper, out + 2 * x0);
  copies.Add(out + 2 * (x0 + taper), b + x0 + taper, d - x0 - taper);
}

// Fills out[g.tau, n.tau) from the two grains that overlap there: the
// right half of g fading out, the left half of n fading in. `in` points at
// input sample 0 with kRunMargin samples readable on either side.
void Crossfade(const std::int16_t* in, const Grain& g, const Grain& n, std::uint8_t* out, Copies& copies) {
  const long d = n.tau - g.tau;
  if (d <= 0) return;
  const std::int16_t* a = in + g.c;
  const std::int16_t* b = in + n.c - d;
  if (n.c - g.c == d) {
    copies.Add(out, a, d);
    return;
  }
  if (g.mark < 0 && n.mark < 0 && d <= kLongestWindow) {
    BlendPower(a, b, RisingPowerWindow(d), d, out);
    return;
  }
  if (g.mark >= 0 && n.mark >= 0) {
    JoinPeriods(a, b, d, g.right, n.left, out, copies);
    return;
  }
  const double reach = std::min(g.right, n.left);
  if (d <= kLongestWindow && static_cast<double>(d) <= kLongestReach * reach) {
    Blend(a, b, RisingWindow(d), d, out);
    return;
  }
  // The grains are further apart than their windows reach (a pitch lowered
  // further): each fades over one period and the gap between stays quiet.
  const long h = std::clamp(static_cast<long>(reach), 1L, std::min(d, kLongestWindow));
  const std::int16_t* w = RisingWindow(h);
  const long riseFrom = d - h;  // where n starts fading in
  if (riseFrom >= h) {
    FadeOut(a, w, h, out);
    ClearInPieces(out + 2 * h, static_cast<std::size_t>(riseFrom - h) * 2);
    FadeIn(b + riseFrom, w, h, out + 2 * riseFrom);
  } else {
    FadeOut(a, w, riseFrom, out);
    Overlap(a + riseFrom, w + riseFrom, b + riseFrom, w, h - riseFrom, out + 2 * riseFrom);
    FadeIn(b + h, w + (h - riseFrom), d - h, out + 2 * h);
  }
}

}  // namespace

double TempoOf(const ChunkShaping& shaping) {
  if (!shaping.prosody.keepPitch) return 1.0;
  const int speed = std::clamp(shaping.speedPercent, kSlowestShapedSpeed, kFastestShapedSpeed);
  return (100.0 + speed) / 100.0;
}

bool CanShape(const CAllophoneDb& db) {
  const WaveFormat& f = db.Format();
  return f.formatTag == WaveFormat::kPcm && f.channels == 1 && f.bitsPerSample == 8 && f.samplesPerSec > 0;
}

WaveFormat ShapedFormat(const CAllophoneDb& db) {
  const std::uint32_t rate = db.Format().samplesPerSec;
  return WaveFormat{WaveFormat::kPcm, 1, rate, rate * 2, 2, 16};
}

double LimitedPeriod(double wanted) {
  return std::clamp(wanted, static_cast<double>(kShortestTargetPeriod), static_cast<double>(kLongestTargetPeriod));
}

std::size_t ShapedLength(std::size_t nominalSamples, double tempo) {
  if (tempo <= 0.0) tempo = 1.0;
  return static_cast<std::size_t>(static_cast<double>(nominalSamples) / tempo + 0.5);
}

namespace {

// Between a run's input samples and its time at normal speed, piece by
// piece; each lookup starts from the piece of the one before, as the grains
// move on.
class TimeMap {
 public:
  // `store` keeps its room from run to run.
  TimeMap(std::span<const RunPiece> pieces, std::size_t samples, std::vector<MapPiece>& store) : pieces_(store) {
    pieces_.clear();
    double input = 0.0, nominal = 0.0;
    const auto add = [&](std::uint32_t length, std::uint32_t nominalLength) {
      pieces_.push_back({input, nominal, length, nominalLength,
                         nominalLength == 0 ? 0.0 : static_cast<double>(length) / nominalLength});
      input += length;
      nominal += nominalLength;
    };
    if (pieces.empty()) add(static_cast<std::uint32_t>(samples), static_cast<std::uint32_t>(samples));
    for (const RunPiece& p : pieces) add(p.samples, p.nominal);
    totalNominal_ = nominal;
  }
  double TotalNominal() const { return totalNominal_; }

  double InputAt(double nominal) {
    while (toInput_ > 0 && nominal < pieces_[toInput_].nominal) --toInput_;
    while (toInput_ + 1 < pieces_.size() && nominal >= pieces_[toInput_ + 1].nominal) ++toInput_;
    const MapPiece& p = pieces_[toInput_];
    return p.input + (nominal - p.nominal) * p.toInput;
  }
  // Where the piece holding a place at normal speed ends, when the piece
  // takes its own length (from there on the input is the nominal time,
  // shifted); the place itself otherwise.
  double PlainUntil(double nominal) {
    InputAt(nominal);
    const MapPiece& p = pieces_[toInput_];
    return p.samples == p.nominalLength ? p.nominal + p.nominalLength : nominal;
  }
  double NominalAt(double input) {
    while (toNominal_ > 0 && input < pieces_[toNominal_].input) --toNominal_;
    while (toNominal_ + 1 < pieces_.size() && input >= pieces_[toNominal_ + 1].input) ++toNominal_;
    const MapPiece& p = pieces_[toNominal_];
    if (p.samples == 0) return p.nominal;
    return p.nominal + (input - p.input) * p.nominalLength / p.samples;
  }

 private:
  std::vector<MapPiece>& pieces_;
  double totalNominal_ = 0.0;
  std::size_t toInput_ = 0, toNominal_ = 0;
};

}  // namespace

void ShapeRun(std::span<const std::int16_t> padded, std::span<const PitchMark> marks, const RunShape& shape,
              std::uint8_t* out) {
  if (padded.size() < 2 * kRunMargin) return;
  const auto n = static_cast<long>(padded.size() - 2 * kRunMargin);
  const std::int16_t* in = padded.data() + kRunMargin;
  const double tempo = shape.tempo > 0.0 ? shape.tempo : 1.0;
  TimeMap map(shape.pieces, static_cast<std::size_t>(n), Scratch().map);
  const auto length = static_cast<long>(ShapedLength(static_cast<std::size_t>(map.TotalNominal() + 0.5), tempo));
  if (length == 0) return;
  // The input sample at an output place, and the output place of an input
  // sample.
  const auto inputAt = [&](double outputPlace) { return map.InputAt(outputPlace * tempo); };
  const auto outputAt = [&](double inputPlace) { return map.NominalAt(inputPlace) / tempo; };

  // Each mark's period to either side within its stretch, and the last
  // mark of its stretch.
  StageScratch& scratch = Scratch();
  const std::size_t count = marks.size();
  auto& right = scratch.right;
  auto& left = scratch.left;
  auto& stretchEnd = scratch.stretchEnd;
  right.resize(count);
  left.resize(count);
  stretchEnd.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const bool hasNext = i + 1 < count && !marks[i + 1].startsRun;
    const bool hasPrevious = i > 0 && !marks[i].startsRun;
    const double next = hasNext ? static_cast<double>(marks[i + 1].at) - marks[i].at : 0.0;
    const double previous = hasPrevious ? static_cast<double>(marks[i].at) - marks[i - 1].at : 0.0;
    right[i] = hasNext ? next : (hasPrevious ? previous : static_cast<double>(kMaxPeriod));
    left[i] = hasPrevious ? previous : right[i];
  }
  for (std::size_t i = count; i-- > 0;)
    stretchEnd[i] = (i + 1 < count && !marks[i + 1].startsRun) ? stretchEnd[i + 1] : static_cast<std::uint32_t>(i);

  Copies copies;
  Grain g;  // the first grain sits on the first input sample
  double tau = 0.0;
  std::size_t ahead = 0;  // the first mark past the current grain
  // Unvoiced grains laid a fixed step apart repeat (slower) or skip (faster)
  // their noise with that step's period, and a stretched s or cz buzzes at
  // 200 Hz; steps of random lengths, from a sequence that starts anew with
  // every run so that the same text always sounds the same, leave noise.
  std::uint32_t random = 0x2545F491u;
  const auto randomStep = [&random] {
    random = random * 1664525u + 1013904223u;
    return kUnvoicedStep * (0.5 + static_cast<double>(random >> 8) / static_cast<double>(1u << 24));
  };
  while (true) {
    Grain next;
    double nextTau = 0.0;
    if (g.mark >= 0) {
      const auto k = static_cast<std::size_t>(g.mark);
      double period = right[k] * shape.periodScale;
      if (shape.melody != nullptr) {
        const double semitones = shape.melody->PitchAt(shape.melodyStart + tau * tempo);
        period = shape.melodyPeriod * TwoToThe(-semitones / 12.0);
      }
      period = LimitedPeriod(period);
      nextTau = tau + period;
      const double t = inputAt(nextTau);
      const std::size_t last = stretchEnd[k];
      if (t > marks[last].at + 0.5 * right[last]) {
        // Past the voiced stretch: unvoiced sound goes on a period after it.
        nextTau = tau + right[k];
        next.c = static_cast<long>(inputAt(nextTau) + 0.5);
      } else {
        std::size_t kn = k;
        while (kn < last && std::abs(marks[kn + 1].at - t) <= std::abs(marks[kn].at - t)) ++kn;
        next.c = marks[kn].at;
        next.mark = static_cast<long>(kn);
        next.left = left[kn];
        next.right = right[kn];
      }
    } else {
      // Unvoiced sound at normal speed and its own length is copied as it
      // stands, up to where that ends or a voiced stretch begins.
      double step = randomStep();
      if (tempo == 1.0 && g.c == static_cast<long>(map.InputAt(tau) + 0.5)) step = std::max(step, map.PlainUntil(tau) - tau);
      nextTau = tau + step;
      while (ahead < count && marks[ahead].at <= g.c) ++ahead;
      // A voiced stretch about to start is entered on its first mark, so
      // that its periods are laid down whole.
      if (ahead < count) {
        const double entry = outputAt(marks[ahead].at);
        if (entry <= nextTau + kUnvoicedStep / 2.0) {
          nextTau = std::max(entry, tau + 1.0);
          next.c = marks[ahead].at;
          next.mark = static_cast<long>(ahead);
          next.left = left[ahead];
          next.right = right[ahead];
        }
      }
      if (next.mark < 0) next.c = static_cast<long>(inputAt(nextTau) + 0.5);
    }
    next.tau = static_cast<long>(nextTau + 0.5);
    bool final = false;
    if (next.tau >= length) {
      next = Grain{};
      next.tau = length;
      next.c = n;
      final = true;
    }
    if (next.tau <= g.tau) {
      next.tau = g.tau + 1;
      nextTau = static_cast<double>(next.tau);
    }
    Crossfade(in, g, next, out + 2 * g.tau, copies);
    if (final) break;
    g = next;
    tau = nextTau;
  }
}

std::vector<std::int16_t> ShapeRun(std::span<const std::int16_t> samples, std::span<const PitchMark> marks,
                                   const RunShape& shape) {
  std::vector<std::int16_t> padded(samples.size() + 2 * kRunMargin, 0);
  std::copy(samples.begin(), samples.end(), padded.begin() + kRunMargin);
  std::size_t nominal = shape.pieces.empty() ? samples.size() : 0;
  for (const RunPiece& p : shape.pieces) nominal += p.nominal;
  std::vector<std::uint8_t> bytes(2 * ShapedLength(nominal, shape.tempo));
  ShapeRun(padded, marks, shape, bytes.data());
  std::vector<std::int16_t> out(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return out;
}

void ShapeChunk(CUtterance& utterance, const CAllophoneDb& db, std::size_t first, std::size_t end,
                const ChunkShaping& shaping) {
  const SentencePlan& plan = *utterance.plan;
  const auto& tokens = utterance.Tokens();
  const double tempo = TempoOf(shaping);
  const double shift = std::exp2(-shaping.prosody.pitchSemitones / 12.0);
  const double plainPeriod = db.PlainPeriod();
  const bool melody = shaping.prosody.intonation && !plan.contour.empty() && plainPeriod > 0.0;

  using Piece = ChunkPiece;
  StageScratch& scratch = Scratch();
  // The pieces of the chunk, where each token's first piece is, and which
  // piece each element of the tokens is (none for an element without sound).
  constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);
  auto& pieces = scratch.pieces;
  auto& tokenPiece = scratch.tokenPiece;
  auto& elementPiece = scratch.elementPiece;
  pieces.clear();
  tokenPiece.assign(end - first, kNoPiece);
  elementPiece.clear();
  for (std::size_t t = first; t < end; ++t) {
    const CWordToken& token = tokens[t];
    for (std::size_t e = 0; e < token.allophones.size(); ++e) elementPiece.push_back(kNoPiece);
    if (token.control) continue;
    for (std::size_t e = 0; e < token.allophones.size(); ++e) {
      const int index = token.allophones[e].index;
      const PlannedSound sound = plan.sounds[plan.firstSound[t] + e];
      const CAllophone* entry = index < allo::kNothing ? db.Entry(index) : nullptr;
      if (entry == nullptr || sound.length == 0) continue;
      const EntrySource& source = entry->source;
      Piece::Kind kind = Piece::Kind::Signal;
      if ((entry->classBits & classbits::kPause) || source.kind == SourceKind::Silence) kind = Piece::Kind::Pause;
      else if (source.kind == SourceKind::Speech && source.samples.size() == entry->samples.size()) kind = Piece::Kind::Speech;
      // Unvoiced speech at normal speed and its own length comes out as it
      // was recorded: copied as it stands, it ends the run before it (the
      // voice's pieces join without a break as they are).
      if (kind == Piece::Kind::Speech && tempo == 1.0 && source.marks.empty() && sound.length == entry->samples.size())
        kind = Piece::Kind::Signal;
      if (tokenPiece[t - first] == kNoPiece) tokenPiece[t - first] = pieces.size();
      elementPiece[elementPiece.size() - token.allophones.size() + e] = pieces.size();
      // A signal (and speech taken as it stands) plays as recorded; speech
      // takes the time the plan gives it.
      pieces.push_back({kind, entry, sound.start, kind == Piece::Kind::Signal ? static_cast<std::uint32_t>(entry->samples.size()) : sound.length});
    }
  }

  // The output's length first, so that it is written straight into the
  // chunk: runs of speech and pauses by the tempo, signals as they are.
  auto& pieceOut = scratch.pieceOut;  // where each piece starts in the output
  pieceOut.assign(pieces.size() + 1, 0);
  std::size_t total = 0;
  for (std::size_t i = 0; i < pieces.size();) {
    if (pieces[i].kind != Piece::Kind::Speech) {
      pieceOut[i] = total;
      total += pieces[i].kind == Piece::Kind::Pause ? ShapedLength(pieces[i].nominal, tempo) : pieces[i].nominal;
      ++i;
      continue;
    }
    std::size_t j = i;
    std::size_t nominal = 0;
    for (; j < pieces.size() && pieces[j].kind == Piece::Kind::Speech; ++j) {
      pieceOut[j] = total + ShapedLength(nominal, tempo);
      nominal += pieces[j].nominal;
    }
    total += ShapedLength(nominal, tempo);
    i = j;
  }
  pieceOut[pieces.size()] = total;

  // Every byte of the chunk is written below; what it holds from the last
  // chunk is written over, and only what it grows by is cleared.
  auto& bytes = utterance.chunk.samples;
  if (bytes.size() > 2 * total) bytes.resize(2 * total);
  GrowTo(bytes, 2 * total);
  std::uint8_t* out = bytes.data();

  auto& run = scratch.run;
  auto& marks = scratch.marks;
  auto& runPieces = scratch.runPieces;
  for (std::size_t i = 0; i < pieces.size();) {
    const Piece& piece = pieces[i];
    if (piece.kind == Piece::Kind::Pause) {
      ClearInPieces(out + 2 * pieceOut[i], 2 * (pieceOut[i + 1] - pieceOut[i]));
      ++i;
      continue;
    }
    if (piece.kind == Piece::Kind::Signal) {
      // A signal sound, or unvoiced speech taken as it stands.
      const EntrySource& source = piece.entry->source;
      if (source.samples.size() == piece.entry->samples.size()) {
        CopySamples(out + 2 * pieceOut[i], source.samples.data(), source.samples.size());
      } else {
        const auto wide = Widened(piece.entry->samples);
        CopySamples(out + 2 * pieceOut[i], wide.data(), wide.size());
      }
      ++i;
      continue;
    }
    // A run of speech: its pieces' samples between margins of silence and
    // their marks, the first mark of a voiced piece continuing the stretch
    // of the piece before when both meet voiced about a period apart.
    std::size_t j = i;
    std::size_t input = 0;
    runPieces.clear();
    for (; j < pieces.size() && pieces[j].kind == Piece::Kind::Speech; ++j) {
      const auto samples = static_cast<std::uint32_t>(pieces[j].entry->source.samples.size());
      runPieces.push_back({samples, pieces[j].nominal});
      input += samples;
    }
    GrowTo(run, input + 2 * kRunMargin);
    ClearInPieces(run.data(), kRunMargin * sizeof(std::int16_t));
    ClearInPieces(run.data() + kRunMargin + input, kRunMargin * sizeof(std::int16_t));
    marks.clear();
    std::size_t at = 0;
    bool lastVoicedAtEnd = false;
    double lastPeriod = 0.0;
    for (std::size_t k = i; k < j; ++k) {
      const EntrySource& source = pieces[k].entry->source;
      CopyInPieces(run.data() + kRunMargin + at, source.samples.data(), source.samples.size() * sizeof(std::int16_t));
      for (std::size_t m = 0; m < source.marks.size(); ++m) {
        PitchMark mark = source.marks[m];
        mark.at += static_cast<std::uint32_t>(at);
        if (m == 0 && source.voicedAtStart && lastVoicedAtEnd && !marks.empty()) {
          const double gap = static_cast<double>(mark.at) - marks.back().at;
          if (gap >= 0.6 * lastPeriod && gap <= 1.5 * lastPeriod) mark.startsRun = false;
        }
        marks.push_back(mark);
      }
      at += source.samples.size();
      lastVoicedAtEnd = source.voicedAtEnd;
      lastPeriod = source.period;
      const auto& own = source.marks;
      if (own.size() >= 2 && !own.back().startsRun) lastPeriod = static_cast<double>(own.back().at) - own[own.size() - 2].at;
    }
    RunShape shape;
    shape.tempo = tempo;
    shape.pieces = runPieces;
    shape.periodScale = shift;
    if (melody) {
      shape.melody = &plan;
      shape.melodyStart = piece.nominalStart;
      shape.melodyPeriod = plainPeriod * shift;
    }
    ShapeRun(std::span<const std::int16_t>(run.data(), input + 2 * kRunMargin), marks, shape, out + 2 * pieceOut[i]);
    i = j;
  }

  // A token's sound starts where its first piece does; a token without
  // sound where the next one's does.
  auto& offsets = utterance.chunkTokenOffsets;
  offsets.assign(end - first, 0);
  std::size_t following = total;
  for (std::size_t slot = end - first; slot-- > 0;) {
    if (tokenPiece[slot] != kNoPiece) following = pieceOut[tokenPiece[slot]];
    offsets[slot] = 2 * following;
  }
  auto& starts = utterance.chunkSoundStarts;
  starts.assign(elementPiece.size(), 0);
  following = total;
  for (std::size_t i = elementPiece.size(); i-- > 0;) {
    if (elementPiece[i] != kNoPiece) following = pieceOut[elementPiece[i]];
    starts[i] = static_cast<std::uint32_t>(following);
  }
  utterance.chunkFormat = ShapedFormat(db);
  utterance.chunk.format = utterance.chunkFormat;
}

}  // namespace vokar
