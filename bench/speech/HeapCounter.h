// Counts the bytes the program holds through operator new: the current sum
// and its high-water mark since the last reset. The benchmark replaces the
// global operator new and delete to keep the count; the engine allocates
// everything it holds that way (vectors and strings).
#pragma once

#include <cstddef>

namespace vokar::bench::heap {

// Counting starts here; blocks allocated before are not in the sum. Call it
// before the allocations to be measured, ideally at the start of main.
void Enable();
std::size_t Current();
std::size_t Peak();
// Starts a new high-water mark at the current sum.
void ResetPeak();

}  // namespace vokar::bench::heap
