// The first start of any program of the suite registers the suite for the
// user when nobody has yet: it runs `vkinstall --first-start` from the
// program's own folder when the installation record is missing, which
// registers the application paths and the comment type and records what it
// wrote, and nothing else (no menu entries, no start at login, no default
// application of another type). Programs started from a build folder (one
// with CMakeCache.txt beside their bin folder) never do, so that developers'
// runs and tests leave the user's desktop alone; nor does any program while
// the uninstaller runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vokar::suite {

enum class FirstStart {
  AlreadyRegistered,  // the installation record names a working directory
  BuildFolder,        // started from a build folder: nothing done
  Uninstalling,       // the uninstaller runs: nothing done
  Registered,         // vkinstall ran and succeeded
  Failed,             // vkinstall is missing, failed or did not end in time
};

// True when the programs folder lies in a build folder rather than an installation.
bool IsBuildFolder(const std::filesystem::path& programsDir);

// True when the installation record names the programs' folder or a working directory.
bool IsRegistered();

// Runs vkinstall from programsDir (the running executable's folder by
// default) with the arguments and waits for it at most timeout; true when it
// ended with 0. A failure is written to standard error.
bool RunInstaller(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout,
                  std::filesystem::path programsDir = {});

// Checks and, when needed, runs vkinstall --first-start --quiet from programsDir (the
// running executable's folder by default) and waits for it at most timeout.
// A failure is written to standard error; the program goes on either way.
FirstStart RegisterOnFirstStart(std::filesystem::path programsDir = {},
                                std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace vokar::suite
