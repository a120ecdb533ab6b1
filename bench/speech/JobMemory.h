// The memory of one whole reading job: in a process of its own (see
// ChildProcess.h), the voice is loaded, then CReadingJob reads a sample text
// through a fast virtual device while the heap and the resident set are
// watched.
#pragma once

#include <cstddef>
#include <filesystem>

namespace vokar::bench {

// The child's task name.
inline constexpr const char* kJobMemoryTask = "job-memory";

// In the child: prints the figures as "name value" lines and returns the
// exit status.
int RunJobMemoryChild(const std::filesystem::path& voice, std::size_t textBytes);

}  // namespace vokar::bench
