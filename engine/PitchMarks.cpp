#include "PitchMarks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "AllophoneIndex.h"
#include "BlockMemory.h"

namespace vokar {
namespace {

constexpr std::uint8_t kZeroLevel = 128;

double Correlation(const std::int16_t* a, const std::int16_t* b, std::size_t n) {
  std::int64_t ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t x = a[i], y = b[i];
    ab += x * y;
    aa += x * x;
    bb += y * y;
  }
  if (aa <= 0 || bb <= 0) return 0.0;
  return static_cast<double>(ab) / std::sqrt(static_cast<double>(aa) * static_cast<double>(bb));
}

std::size_t Highest(std::span<const std::int16_t> s, std::size_t from, std::size_t to) {
  to = std::min(to, s.size());
  std::size_t best = from;
  for (std::size_t i = from; i < to; ++i)
    if (s[i] > s[best]) best = i;
  return best;
}

bool IsSonorant(int index) {
  return (index >= allo::kM && index <= allo::kNFinal) || (index >= allo::kL && index <= allo::kJ) ||
         index == allo::kDefault;
}

// The normalised autocorrelation of s at every lag in [low, high] (0 for a
// lag as long as s), with the energies of the two overlapping parts taken
// from running sums.
std::vector<double> AutoCorrelations(std::span<const std::int16_t> s, std::size_t low, std::size_t high) {
  const std::size_t n = s.size();
  std::vector<std::int64_t> energy(n + 1, 0);  // energy[i]: sum of squares of s[0..i)
  for (std::size_t i = 0; i < n; ++i) energy[i + 1] = energy[i] + static_cast<std::int64_t>(s[i]) * s[i];
  std::vector<double> r(high + 1, 0.0);
  for (std::size_t lag = low; lag <= high && lag < n; ++lag) {
    std::int64_t ab = 0;
    for (std::size_t i = 0; i + lag < n; ++i) ab += static_cast<std::int32_t>(s[i]) * s[i + lag];
    const double aa = static_cast<double>(energy[n - lag]);
    const double bb = static_cast<double>(energy[n] - energy[lag]);
    r[lag] = aa > 0 && bb > 0 ? static_cast<double>(ab) / std::sqrt(aa * bb) : 0.0;
  }
  return r;
}

}  // namespace

std::optional<double> PeriodOf(std::span<const std::int16_t> samples) {
  const std::size_t n = samples.size();
  const std::size_t low = kMinPeriod;
  const std::size_t high = std::min<std::size_t>(kMaxPeriod, n / 2);
  if (high < low + 2) return std::nullopt;
  // One more lag on either side, so that the ends can be local maxima.
  const auto r = AutoCorrelations(samples, low - 1, high + 1);
  const double best = *std::max_element(r.begin() + static_cast<long>(low), r.begin() + static_cast<long>(high) + 1);
  if (best < 0.4) return std::nullopt;
  for (std::size_t lag = low; lag <= high; ++lag) {
    if (r[lag] >= 0.85 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) return static_cast<double>(lag);
  }
  return std::nullopt;
}

std::vector<PitchMark> TrackPeriods(std::span<const std::int16_t> s, double period) {
  std::vector<PitchMark> marks;
  const std::size_t n = s.size();
  if (period < kMinPeriod || period > kMaxPeriod || n < static_cast<std::size_t>(period)) return marks;
  std::size_t mark = Highest(s, 0, static_cast<std::size_t>(period));
  marks.push_back({static_cast<std::uint32_t>(mark), true});
  double local = period;
  while (true) {
    const auto lo = mark + static_cast<std::size_t>(0.85 * local);
    const auto hi = mark + static_cast<std::size_t>(1.15 * local) + 1;
    if (hi > n) break;
    const std::size_t next = Highest(s, lo, hi);
    // The period follows the sound, within a fifth of the voice's own.
    local = std::clamp(0.5 * local + 0.5 * static_cast<double>(next - mark), 0.8 * period, 1.25 * period);
    mark = next;
    marks.push_back({static_cast<std::uint32_t>(mark), false});
  }
  return marks;
}

std::vector<PitchMark> FindVoicedPeriods(std::span<const std::int16_t> s, double period) {
  std::vector<PitchMark> marks;
  if (period < kMinPeriod || period > kMaxPeriod) return marks;
  const std::size_t n = s.size();
  const auto p = static_cast<std::size_t>(std::lround(period));
  std::size_t from = 0;
  while (from + 2 * p <= n) {
    // The next place where two periods correlate, half a period at a time.
    std::size_t start = from;
    while (start + 2 * p <= n && Correlation(s.data() + start, s.data() + start + p, p) < kVoicedCorrelation)
      start += p / 2;
    if (start + 2 * p > n) break;
    // The stretch's first peak: the second period's, or the one before it
    // when that period is like it (the first window may reach back into
    // what is not voiced).
    const std::size_t second = Highest(s, start + p, start + 2 * p);
    std::size_t mark = second;
    if (second >= p * 6 / 5) {
      const std::size_t before = Highest(s, second - p * 6 / 5, second - p * 4 / 5 + 1);
      const std::size_t h = std::min({p / 2, before, n - second});
      if (h >= p / 4 && Correlation(s.data() + before - h, s.data() + second - h, 2 * h) >= kVoicedCorrelation)
        mark = before;
    }
    marks.push_back({static_cast<std::uint32_t>(mark), true});
    while (true) {
      const std::size_t lo = mark + p * 4 / 5;
      const std::size_t hi = mark + p * 6 / 5 + 1;
      if (hi > n) break;
      const std::size_t next = Highest(s, lo, hi);
      const std::size_t h = std::min({p / 2, mark, n - next});
      if (h < p / 4 || Correlation(s.data() + mark - h, s.data() + next - h, 2 * h) < kVoicedCorrelation) break;
      mark = next;
      marks.push_back({static_cast<std::uint32_t>(mark), false});
    }
    from = mark + p / 2;
  }
  return marks;
}

namespace {

constexpr long kReach = 7;  // the kernel's reach either way

// An 8-bit sample of the voice at 16 bits.
std::int16_t WidenedSample(std::uint8_t sample) { return static_cast<std::int16_t>((sample - kZeroLevel) * 256); }

// The low-pass of n samples held in x from x[kReach] on, with kReach places
// free on either side for the ends, which it continues by odd reflection
// about the end samples.
std::vector<std::int16_t> FilterPadded(std::vector<std::int16_t>& x, long n) {
  // The half-band kernel: the centre and the odd taps 1, 3, 5, 7 (the even
  // ones are zero), in units of 1/32768.
  static const std::array<std::int16_t, 5> kTaps = [] {
    std::array<double, 5> k{};
    k[0] = 0.5;
    double sum = 0.5;
    for (int t = 1; t <= 7; t += 2) {
      const double sinc = std::sin(std::numbers::pi * t / 2.0) / (std::numbers::pi * t);
      const double hann = 0.5 + 0.5 * std::cos(std::numbers::pi * t / 8.0);
      k[static_cast<std::size_t>((t + 1) / 2)] = sinc * hann;
      sum += 2.0 * sinc * hann;
    }
    std::array<std::int16_t, 5> q{};
    for (std::size_t i = 0; i < q.size(); ++i) q[i] = static_cast<std::int16_t>(std::lround(32768.0 * k[i] / sum));
    return q;
  }();
  std::vector<std::int16_t> out;
  blocks::GrowTo(out, static_cast<std::size_t>(n));
  if (n == 0) return out;
  std::int16_t* c = x.data() + kReach;
  for (long k = 1; k <= kReach; ++k) {
    const std::int32_t before = 2 * c[0] - c[std::min(k, n - 1)];
    const std::int32_t after = 2 * c[n - 1] - c[std::max(n - 1 - k, 0L)];
    c[-k] = static_cast<std::int16_t>(std::clamp(before, -32768, 32767));
    c[n - 1 + k] = static_cast<std::int16_t>(std::clamp(after, -32768, 32767));
  }
  // Each product's high half is half the product: the filter is summed at
  // half scale, where it cannot overflow, then doubled within 16 bits. All
  // of it in 16 bits, eight samples at a time.
  const auto high = [](std::int16_t a, std::int16_t b) {
    return static_cast<std::int16_t>((static_cast<std::int32_t>(a) * b) >> 16);
  };
  std::int16_t* o = out.data();
  for (long i = 0; i < n; ++i) {
    const auto half = static_cast<std::int16_t>(
        high(c[i], kTaps[0]) + high(c[i - 1], kTaps[1]) + high(c[i + 1], kTaps[1]) + high(c[i - 3], kTaps[2]) +
        high(c[i + 3], kTaps[2]) + high(c[i - 5], kTaps[3]) + high(c[i + 5], kTaps[3]) + high(c[i - 7], kTaps[4]) +
        high(c[i + 7], kTaps[4]));
    o[i] = static_cast<std::int16_t>(std::clamp<std::int16_t>(half, -16384, 16383) * 2);
  }
  return out;
}

// The low-pass straight from 8-bit samples, widened into the padded block.
std::vector<std::int16_t> LowPassedBytes(std::span<const std::uint8_t> samples) {
  const auto n = static_cast<long>(samples.size());
  std::vector<std::int16_t> x;
  blocks::GrowTo(x, static_cast<std::size_t>(n + 2 * kReach));
  std::int16_t* c = x.data() + kReach;
  for (long i = 0; i < n; ++i) c[i] = WidenedSample(samples[static_cast<std::size_t>(i)]);
  return FilterPadded(x, n);
}

}  // namespace

std::vector<std::int16_t> LowPassed(std::span<const std::int16_t> samples) {
  const auto n = static_cast<long>(samples.size());
  std::vector<std::int16_t> x;
  blocks::GrowTo(x, static_cast<std::size_t>(n + 2 * kReach));
  blocks::Copy(x.data() + kReach, samples.data(), samples.size() * sizeof(std::int16_t));
  return FilterPadded(x, n);
}

std::vector<std::int16_t> Widened(std::span<const std::uint8_t> samples) {
  // Made from the bytes directly (a converting copy, not a cleared block).
  std::vector<std::int16_t> out(samples.begin(), samples.end());
  for (auto& v : out) v = WidenedSample(static_cast<std::uint8_t>(v));
  return out;
}

EntrySource AnalyseEntry(int index, std::uint16_t classBits, std::span<const std::uint8_t> samples,
                         double voicePeriod) {
  EntrySource source;
  if (samples.empty() || (classBits & classbits::kPause)) return source;
  const bool speech = (index >= 1 && index <= allo::kJ) || index == allo::kDefault;
  const bool vowel = (classBits & classbits::kVowel) || (index >= 1 && index <= 48);
  const bool voicedThroughout = speech && (vowel || IsSonorant(index));
  const bool voicedObstruent = index >= allo::kFirstVoiced && index <= allo::kLastVoiced;
  source.samples = voicedThroughout ? LowPassedBytes(samples) : Widened(samples);
  if (!speech) {
    source.kind = SourceKind::Signal;
    return source;
  }
  source.kind = SourceKind::Speech;
  if (!voicedThroughout && !voicedObstruent) return source;

  double period = voicePeriod;
  if (period <= 0.0) {
    const auto own = PeriodOf(source.samples);
    if (!own) return source;
    period = *own;
  }
  source.marks = voicedThroughout ? TrackPeriods(source.samples, period) : FindVoicedPeriods(source.samples, period);
  if (source.marks.empty()) return source;
  std::vector<double> distances;
  for (std::size_t i = 1; i < source.marks.size(); ++i)
    if (!source.marks[i].startsRun) distances.push_back(source.marks[i].at - source.marks[i - 1].at);
  if (distances.empty()) {
    source.period = period;
  } else {
    std::nth_element(distances.begin(), distances.begin() + static_cast<long>(distances.size() / 2), distances.end());
    source.period = distances[distances.size() / 2];
  }
  source.voicedAtStart = source.marks.front().at < 1.25 * source.period;
  source.voicedAtEnd = samples.size() - source.marks.back().at < 1.25 * source.period;
  return source;
}

}  // namespace vokar
