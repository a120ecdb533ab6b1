// The module's configuration file, the one speech-dispatcher names on the
// module's command line (modules/vokar.conf), in speech-dispatcher's own
// syntax: one option a line, "Name value", strings in double quotes, On and
// Off, and comments from '#'. A missing file means every default.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::speechd {

struct ModuleConfig {
  // VokarDevice: 0 the system's default sound device, k the k-th device.
  std::optional<int> device;
  // VokarDictionary: the exception dictionary; "" reads without one.
  std::optional<std::string> dictionary;
  // VokarDataDir: a folder searched first for the voice pl_22.alf.
  std::optional<std::string> dataDir;
  // VokarSpeakPunctuation: the module names punctuation itself (when
  // speech-dispatcher's own symbol pre-processing is off).
  bool speakPunctuation = false;
  // VokarPunctuationSome, VokarPunctuationMost: the marks named at those levels.
  std::optional<std::string> someMarks;
  std::optional<std::string> mostMarks;
  // VokarServerSettings: read the conversions, the dictionary and the pause
  // lengths of the user's Vokar speech server from its settings store.
  bool serverSettings = true;

  // What could not be understood, one line each, for the module's log.
  std::vector<std::string> warnings;
};

// The longest configuration file read.
inline constexpr std::size_t kMaxConfigBytes = 1024 * 1024;

ModuleConfig ParseModuleConfig(std::string_view text);

// Reads the file (only a regular file); a file that does not exist gives the
// defaults, one that cannot be read the defaults and a warning.
ModuleConfig LoadModuleConfig(const std::filesystem::path& path);

}  // namespace vokar::speechd
