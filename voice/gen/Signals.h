// The signal sounds of the default voice (space, Enter, buffer cleared, out
// of step, on and off): short soft tones with a quick attack and a decaying
// tail, distinct in pitch and contour, never speech.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace vokar::voicegen {

// Samples in -1..1 at the rate for a named design, or nothing for an unknown
// name. Designs: tick, ding, sweepdown, lowdouble, rise2, fall2, rise3, fall3.
std::optional<std::vector<float>> SignalSound(std::string_view design, int rate);

}  // namespace vokar::voicegen
