// Lowers the pitch of a voiced stretch towards its end while it keeps its
// length: pitch-synchronous overlap-add of two-period grains taken at the
// source's period peaks and laid down on a widening grid. Before the fall
// begins the samples stay as they are.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace vokar::voicegen {

// `peaks` are the source's period peaks in order (PeriodPeaks). From the
// peak nearest to `fallStart` on, the pitch falls linearly in semitones to
// `semitones` below the source's at `fallEnd`, and stays there after it.
// The result has the source's length; samples past the last grain are 0.
std::vector<float> LowerPitchTowardsEnd(std::span<const float> source, std::span<const std::size_t> peaks,
                                        std::size_t fallStart, std::size_t fallEnd, double semitones);

}  // namespace vokar::voicegen
