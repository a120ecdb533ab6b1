#include "NoiseShaping.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace vokar::alf {
namespace {

constexpr double kLowestShapedHz = 1000.0;
constexpr int kCurvePoints = 2048;

// Levinson-Durbin: the prediction-error filter a1..aN of a process with the
// autocorrelation r0..rN.
std::vector<double> PredictionError(std::span<const double> r) {
  const std::size_t order = r.size() - 1;
  std::vector<double> a(order + 1, 0.0);
  a[0] = 1.0;
  double error = r[0];
  for (std::size_t i = 1; i <= order && error > 0.0; ++i) {
    double acc = r[i];
    for (std::size_t j = 1; j < i; ++j) acc += a[j] * r[i - j];
    const double k = -acc / error;
    if (!(std::abs(k) < 1.0)) break;
    const std::vector<double> previous = a;
    for (std::size_t j = 1; j < i; ++j) a[j] = previous[j] + k * previous[i - j];
    a[i] = k;
    error *= 1.0 - k * k;
  }
  return std::vector<double>(a.begin() + 1, a.end());
}

}  // namespace

std::vector<bool> QuietMask(std::span<const float> samples) {
  const std::size_t n = samples.size();
  std::vector<bool> quiet(n, false);
  for (std::size_t i = 0; i < n;) {
    if (std::abs(samples[i] * 127.0) >= 0.5) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < n && std::abs(samples[end] * 127.0) < 0.5) ++end;
    // A run that reaches either end of the block is silence whatever its
    // length: past the end comes a pause or another piece.
    if (end - i >= kQuietRun || i == 0 || end == n) {
      std::fill(quiet.begin() + static_cast<std::ptrdiff_t>(i), quiet.begin() + static_cast<std::ptrdiff_t>(end), true);
    }
    i = end;
  }
  return quiet;
}

double HearingThresholdDb(double hz) {
  const double k = hz / 1000.0;
  return 3.64 * std::pow(k, -0.8) - 6.5 * std::exp(-0.6 * (k - 3.3) * (k - 3.3)) + 0.001 * k * k * k * k;
}

double ShapingCurveDb(double hz) { return HearingThresholdDb(std::max(hz, kLowestShapedHz)); }

std::vector<double> DesignNoiseShaping(int rate, int order) {
  if (rate <= 0 || order <= 0) return {};
  // The autocorrelation of a process whose power spectrum is the inverse of
  // the curve, from the spectrum sampled at the middles of kCurvePoints
  // equal bands from 0 to half the rate.
  std::vector<double> r(static_cast<std::size_t>(order) + 1, 0.0);
  for (int n = 0; n < kCurvePoints; ++n) {
    const double hz = (n + 0.5) * rate / 2.0 / kCurvePoints;
    const double power = std::pow(10.0, -ShapingCurveDb(hz) / 10.0);
    for (int k = 0; k <= order; ++k) r[k] += power * std::cos(2.0 * std::numbers::pi * hz * k / rate);
  }
  // The prediction-error filter of that process whitens it, so its own
  // power response is the curve (up to a constant).
  return PredictionError(r);
}

double ShapingGainDb(std::span<const double> filter, double hz, int rate) {
  std::complex<double> sum = 1.0;
  const double w = 2.0 * std::numbers::pi * hz / rate;
  for (std::size_t k = 0; k < filter.size(); ++k) {
    sum += filter[k] * std::polar(1.0, -w * static_cast<double>(k + 1));
  }
  return 10.0 * std::log10(std::norm(sum));
}

std::vector<std::uint8_t> ToUnsigned8Shaped(std::span<const float> samples, std::span<const double> filter,
                                            std::size_t* clipped) {
  const std::size_t n = samples.size();
  const std::vector<bool> quiet = QuietMask(samples);
  std::vector<std::uint8_t> out(n);
  std::vector<double> errors(filter.size(), 0.0);  // the latest first
  std::size_t clips = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = samples[i];
    if (x < -1.0 || x > 1.0) ++clips;
    if (quiet[i]) {
      out[i] = 128;
      std::fill(errors.begin(), errors.end(), 0.0);
      continue;
    }
    double wanted = x * 127.0;
    for (std::size_t k = 0; k < filter.size(); ++k) wanted += filter[k] * errors[k];
    const double level = std::clamp(std::round(wanted), -128.0, 127.0);
    out[i] = static_cast<std::uint8_t>(level + 128.0);
    // A clipped sample's error is more than rounding made; only the rounding
    // part is fed back, so that the loop stays bounded.
    if (!errors.empty()) {
      std::rotate(errors.rbegin(), errors.rbegin() + 1, errors.rend());
      errors[0] = std::clamp(level - wanted, -0.5, 0.5);
    }
  }
  if (clipped) *clipped = clips;
  return out;
}

const std::vector<double>& ThresholdNoiseShaping() {
  static const std::vector<double> filter = DesignNoiseShaping(22050, 8);
  return filter;
}


std::vector<double> EnvelopeFilter(std::span<const float> stretch, int order) {
  if (stretch.empty() || order <= 0) return {};
  const std::size_t n = stretch.size();
  std::vector<double> windowed(n);
  double windowPower = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / n);
    windowed[i] = stretch[i] * 127.0 * w;
    windowPower += w * w;
  }
  std::vector<double> r(static_cast<std::size_t>(order) + 1, 0.0);
  for (std::size_t k = 0; k < r.size() && k < n; ++k) {
    for (std::size_t i = k; i < n; ++i) r[k] += windowed[i] * windowed[i - k];
    // A 60 Hz lag window keeps the envelope's peaks from growing sharper
    // than speech formants.
    const double spread = 2.0 * std::numbers::pi * 60.0 / 22050.0 * static_cast<double>(k);
    r[k] *= std::exp(-0.5 * spread * spread);
  }
  // Plain rounding noise (a twelfth of a step squared per sample) as floor.
  r[0] += windowPower / 12.0;
  return PredictionError(r);
}

std::vector<std::uint8_t> ToUnsigned8Following(std::span<const float> samples, std::size_t* clipped,
                                               const FollowingShaping& shaping) {
  const std::size_t n = samples.size();
  const std::vector<bool> quiet = QuietMask(samples);
  const std::size_t order = static_cast<std::size_t>(std::max(shaping.order, 0));
  const std::size_t block = std::max<std::size_t>(shaping.block, 1);
  std::vector<std::uint8_t> out(n);
  // The shaped noise y - x of the latest samples, the latest first.
  std::vector<double> noise(order, 0.0);
  std::vector<double> filter;
  std::size_t clips = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i % block == 0) {
      const std::size_t centre = i + block / 2;
      const std::size_t from = centre > shaping.window / 2 ? centre - shaping.window / 2 : 0;
      const std::size_t to = std::min(n, centre + shaping.window / 2);
      filter = EnvelopeFilter(samples.subspan(from, to - from), shaping.order);
      double radius = 1.0;
      for (double& a : filter) a *= (radius *= shaping.flattening);
    }
    const double x = samples[i];
    if (x < -1.0 || x > 1.0) ++clips;
    if (quiet[i]) {
      out[i] = 128;
      std::fill(noise.begin(), noise.end(), 0.0);
      continue;
    }
    // The noise to come is what 1/A(z/g) makes of the noise so far.
    double predicted = 0.0;
    for (std::size_t k = 0; k < filter.size() && k < noise.size(); ++k) predicted -= filter[k] * noise[k];
    const double wanted = x * 127.0 + predicted;
    const double level = std::clamp(std::round(wanted), -128.0, 127.0);
    out[i] = static_cast<std::uint8_t>(level + 128.0);
    if (!noise.empty()) {
      std::rotate(noise.rbegin(), noise.rbegin() + 1, noise.rend());
      // Only the rounding is fed back (not what clipping takes), and the
      // noise is held within a few steps, so the loop stays bounded.
      noise[0] = std::clamp(predicted + std::clamp(level - wanted, -0.5, 0.5), -kMaxShapedNoise, kMaxShapedNoise);
    }
  }
  if (clipped) *clipped = clips;
  return out;
}


std::vector<std::uint8_t> ToUnsigned8Dithered(std::span<const float> samples, std::uint32_t seed,
                                              std::size_t* clipped) {
  const std::vector<bool> quiet = QuietMask(samples);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> half(-0.5, 0.5);
  std::vector<std::uint8_t> out(samples.size());
  std::size_t clips = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double x = samples[i];
    if (x < -1.0 || x > 1.0) ++clips;
    if (quiet[i]) {
      out[i] = 128;
      continue;
    }
    const double level = std::clamp(std::round(x * 127.0 + half(random) + half(random)), -128.0, 127.0);
    out[i] = static_cast<std::uint8_t>(level + 128.0);
  }
  if (clipped) *clipped = clips;
  return out;
}

}  // namespace vokar::alf
