// Starting another program of the suite the way the desktop's shell did: the
// executable itself (no shell reads the arguments), detached from the starter
// (its own session, not the starter's child, so it outlives the starter and
// leaves no zombie), with only standard input, output and error open.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vokar::spawn {

enum class StandardStreams {
  Null,     // all three on /dev/null: a program started for the user
  Inherit,  // output and error shared with the starter (input still /dev/null)
};

struct SpawnOptions {
  // The started program's current folder; empty keeps the starter's.
  std::filesystem::path workingDirectory;
  StandardStreams streams = StandardStreams::Null;
  // Set (NAME=VALUE) in the started program's environment beside the
  // starter's own variables, replacing one of the same name.
  std::vector<std::string> extraEnvironment;
};

struct SpawnResult {
  pid_t pid = -1;     // the started program's process id
  std::string error;  // empty when started; else what failed and why

  bool ok() const { return error.empty(); }
};

// Runs program with the arguments (argv[1..]; argv[0] is the program's path).
// Returns once the program is running its own code, or with the reason it
// could not be: a missing or non-executable file, a bad working folder.
// Safe to call from a program with threads.
SpawnResult SpawnDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const SpawnOptions& options = {});

}  // namespace vokar::spawn
