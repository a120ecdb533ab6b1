// Summaries of repeated timings: median, quartiles and extremes of a set of
// samples in any unit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vokar::bench {

struct Summary {
  double min = 0;
  double q1 = 0;
  double median = 0;
  double q3 = 0;
  double max = 0;
  std::size_t count = 0;
};

inline Summary Summarize(std::vector<double> samples) {
  Summary s;
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  auto at = [&](double fraction) {
    const double position = fraction * static_cast<double>(samples.size() - 1);
    const auto low = static_cast<std::size_t>(position);
    const std::size_t high = std::min(low + 1, samples.size() - 1);
    const double weight = position - static_cast<double>(low);
    return samples[low] * (1 - weight) + samples[high] * weight;
  };
  s.min = samples.front();
  s.q1 = at(0.25);
  s.median = at(0.5);
  s.q3 = at(0.75);
  s.max = samples.back();
  s.count = samples.size();
  return s;
}

}  // namespace vokar::bench
