#include "Manifest.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "AlfFile.h"
#include "TextLines.h"

namespace vokar::alf {
namespace {

std::optional<double> ParseNumber(std::string_view text) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<long> ParseInteger(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

Result<std::vector<std::string>> TokenizeLine(std::string_view line, const std::string& file, std::size_t lineNo) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (text::SkipToWord(line, i)) {
    std::string token;
    if (line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        return MakeError(ErrorKind::Manifest, file, lineNo, "unterminated quotes");
      }
      token = std::string(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      while (i < line.size() && !text::IsBlank(line[i])) token.push_back(line[i++]);
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

bool IsValidEntryName(std::string_view name) {
  if (name.empty() || name.size() > kNameBytes) return false;
  for (char c : name) {
    if (c <= ' ' || c > '~' || c == '-' || c == '(' || c == ')' || c == '\\') return false;
  }
  return true;
}

Result<Manifest> ParseManifest(std::string_view text, const std::string& fileName,
                               const std::filesystem::path& baseDir) {
  Manifest manifest;
  manifest.fileName = fileName;
  std::set<int> indices;
  std::set<std::string> names;
  text::CLines lines(text);
  for (std::string_view line; lines.Next(line);) {
    const std::size_t lineNo = lines.number();
    auto tokens = TokenizeLine(line, fileName, lineNo);
    if (!tokens) return tokens.Error();
    const std::vector<std::string>& t = *tokens;
    if (t.empty()) continue;
    const auto error = [&](const std::string& what) {
      return MakeError(ErrorKind::Manifest, fileName, lineNo, what);
    };

    if (t[0] == "version") {
      if (t.size() != 2) return error("version takes one (quoted) text");
      if (t[1].size() > kVersionTextMax) {
        return error("version text longer than " + std::to_string(kVersionTextMax) + " bytes");
      }
      manifest.versionText = t[1];
      continue;
    }
    if (t[0] == "fade" || t[0] == "gain") {
      const auto value = t.size() == 2 ? ParseNumber(t[1]) : std::nullopt;
      if (!value) return error(t[0] + " takes one number");
      if (t[0] == "fade") {
        if (*value < 0 || *value > 100) return error("fade must lie in 0..100 ms");
        manifest.fadeMs = *value;
      } else {
        manifest.gainDb = *value;
      }
      continue;
    }

    const auto index = ParseInteger(t[0]);
    if (!index) return error("a line starts with an entry index, \"version\", \"fade\" or \"gain\", not '" + t[0] + "'");
    if (t.size() < 4) return error("an entry needs index, name, class bits and source");
    if (*index < 0 || *index > 65535) return error("index " + t[0] + " outside 0..65535");
    ManifestEntry entry;
    entry.line = lineNo;
    entry.index = static_cast<int>(*index);
    entry.name = t[1];
    if (!IsValidEntryName(entry.name)) {
      return error("name '" + entry.name +
                   "' must be 1-8 printable characters without blanks, '-', '(', ')' or '\\'");
    }
    const auto bits = ParseInteger(t[2]);
    if (!bits || *bits < 0 || *bits > 0xFFFF) return error("class bits '" + t[2] + "' not a 16-bit number");
    entry.classBits = static_cast<std::uint16_t>(*bits);
    if (t[3] == "silence") {
      entry.silence = true;
    } else {
      entry.source = baseDir / std::filesystem::path(t[3]);
    }
    bool hasLength = false;
    for (std::size_t k = 4; k < t.size(); ++k) {
      const std::size_t eq = t[k].find('=');
      const std::string key = t[k].substr(0, eq);
      const auto value = eq == std::string::npos ? std::nullopt : ParseNumber(t[k].substr(eq + 1));
      if (!value) return error("option '" + t[k] + "' is not key=number");
      if (key == "start" || key == "end") {
        if (entry.silence) return error("silence takes length=, not " + key + "=");
        if (*value < 0) return error(key + " must not be negative");
        (key == "start" ? entry.startMs : entry.endMs) = *value;
      } else if (key == "gain") {
        entry.gainDb = *value;
      } else if (key == "fade" || key == "fadein" || key == "fadeout") {
        if (*value < 0 || *value > 100) return error(key + " must lie in 0..100 ms");
        if (key != "fadeout") entry.fadeInMs = *value;
        if (key != "fadein") entry.fadeOutMs = *value;
      } else if (key == "length") {
        if (!entry.silence) return error("length= is for silence entries only");
        if (*value < 0 || *value > 10000) return error("length must lie in 0..10000 ms");
        entry.lengthMs = *value;
        hasLength = true;
      } else {
        return error("unknown option '" + key + "'");
      }
    }
    if (entry.silence && !hasLength) return error("silence needs length=MS");
    if (entry.startMs && entry.endMs && *entry.endMs <= *entry.startMs) {
      return error("end must come after start");
    }
    if (!indices.insert(entry.index).second) return error("index " + t[0] + " given twice");
    if (!names.insert(entry.name).second) return error("name '" + entry.name + "' given twice");
    manifest.entries.push_back(std::move(entry));
  }
  return manifest;
}

Result<Manifest> ReadManifest(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return MakeError(ErrorKind::Io, path.string(), 0, "cannot open the manifest");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return MakeError(ErrorKind::Io, path.string(), 0, "cannot read the manifest");
  return ParseManifest(text.str(), path.string(), path.parent_path());
}

}  // namespace vokar::alf
