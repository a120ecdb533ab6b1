// The memory of one whole reading job: the job reads a text through a fast
// virtual device in a process of its own, so that nothing the benchmark did
// before (espeak-ng, the timing runs) is in its figures. The child reports
// its figures as "name value" lines on its standard output.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vokar::bench {

// The option that turns the benchmark program into the measuring child.
inline constexpr const char* kJobMemoryOption = "--job-memory-child";

// In the child: loads the voice, reads a sample text of textBytes bytes with
// CReadingJob and prints the figures. Returns the exit status.
int RunJobMemoryChild(const std::filesystem::path& voice, std::size_t textBytes);

struct JobMemoryFigures {
  std::map<std::string, double> values;  // the child's lines by name
  long childMaxRssKb = 0;                // as the parent's wait reports it
  double Value(const std::string& name) const {
    const auto it = values.find(name);
    return it == values.end() ? 0 : it->second;
  }
};

// In the parent: starts this program (self) as the child and collects what it
// reports; nothing when it could not start or failed (the reason in error).
std::optional<JobMemoryFigures> MeasureJobMemory(const std::filesystem::path& self,
                                                 const std::filesystem::path& voice, std::size_t textBytes,
                                                 std::string& error);

}  // namespace vokar::bench
