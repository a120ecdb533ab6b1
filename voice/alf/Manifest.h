// The plain-text manifest from which vkalf builds an allophone file: one line
// per entry (index, name, class bits, source WAV or "silence", options for cut
// points, gain and fades), plus "version" and default "fade"/"gain" lines.
//
//   version "my voice 1"
//   fade 2
//   1  a  0x0004  rec/a.wav  start=120 end=215.5 gain=-1.5
//   106 p003 0x0002 silence length=30
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AlfError.h"

namespace vokar::alf {

struct ManifestEntry {
  std::size_t line = 0;
  int index = 0;
  std::string name;
  std::uint16_t classBits = 0;
  bool silence = false;
  std::filesystem::path source;       // resolved against the manifest's folder
  std::optional<double> startMs;      // cut points in the source, milliseconds
  std::optional<double> endMs;
  double lengthMs = 0.0;              // silence only
  double gainDb = 0.0;                // added to the manifest's default gain
  std::optional<double> fadeInMs;     // the manifest's default when absent
  std::optional<double> fadeOutMs;
};

struct Manifest {
  std::string fileName;
  std::string versionText;
  double fadeMs = 2.0;
  double gainDb = 0.0;
  std::vector<ManifestEntry> entries;
};

// Splits a line of a manifest or a voice's recipe into blank-separated
// tokens; "double quotes" keep blanks, a '#' outside quotes starts a comment.
// An unclosed quote is an error that names the file and line.
Result<std::vector<std::string>> TokenizeLine(std::string_view line, const std::string& file, std::size_t lineNo);

// Parses manifest text; relative source paths are taken from baseDir. Errors
// name the line: unknown option, bad number, duplicate index or name, a name
// the allophone lists could not carry.
Result<Manifest> ParseManifest(std::string_view text, const std::string& fileName,
                               const std::filesystem::path& baseDir);
Result<Manifest> ReadManifest(const std::filesystem::path& path);

// Whether a name can be stored and sent in an allophone list: 1-8 printable
// ASCII bytes without blanks, '-', '(', ')' or '\'.
bool IsValidEntryName(std::string_view name);

}  // namespace vokar::alf
