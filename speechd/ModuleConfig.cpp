#include "ModuleConfig.h"

#include <charconv>

#include "RegularFile.h"
#include "TextLines.h"

namespace vokar::speechd {
namespace {

struct Word {
  std::string text;
  bool quoted = false;
};

// Splits a line into words: blanks separate them, double quotes hold blanks
// (\" and \\ inside), '#' outside quotes starts a comment. Nothing when a
// quote is left open.
std::optional<std::vector<Word>> Words(std::string_view line) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (text::SkipToWord(line, i)) {
    Word word;
    if (line[i] == '"') {
      word.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          word.text += line[i++];
          continue;
        }
        word.text += d;
      }
      if (!closed) return std::nullopt;
    } else {
      while (i < line.size() && !text::IsBlank(line[i]) && line[i] != '#')
        word.text += line[i++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<bool> OnOff(const Word& word) {
  if (word.quoted) return std::nullopt;
  const std::string& t = word.text;
  if (t == "On" || t == "on" || t == "ON" || t == "1" || t == "yes" || t == "Yes") return true;
  if (t == "Off" || t == "off" || t == "OFF" || t == "0" || t == "no" || t == "No") return false;
  return std::nullopt;
}

}  // namespace

ModuleConfig ParseModuleConfig(std::string_view text) {
  ModuleConfig config;
  text::CLines lines(text);
  for (std::string_view line; lines.Next(line);) {
    const std::string where = "line " + std::to_string(lines.number()) + ": ";
    const auto words = Words(line);
    if (!words) {
      config.warnings.push_back(where + "a quote is not closed");
      continue;
    }
    if (words->empty()) continue;
    const std::string& name = (*words)[0].text;
    if (!name.starts_with("Vokar")) continue;  // speech-dispatcher's own options (Debug ...)
    if (words->size() != 2) {
      config.warnings.push_back(where + name + " takes one value");
      continue;
    }
    const Word& value = (*words)[1];
    if (name == "VokarDevice") {
      int device = 0;
      const std::string& t = value.text;
      const auto [ptr, error] = std::from_chars(t.data(), t.data() + t.size(), device);
      if (error != std::errc() || ptr != t.data() + t.size() || device < 0 || device > 99) {
        config.warnings.push_back(where + "VokarDevice takes a number from 0 to 99");
        continue;
      }
      config.device = device;
    } else if (name == "VokarDictionary") {
      config.dictionary = value.text;
    } else if (name == "VokarDataDir") {
      config.dataDir = value.text;
    } else if (name == "VokarPunctuationSome") {
      config.someMarks = value.text;
    } else if (name == "VokarPunctuationMost") {
      config.mostMarks = value.text;
    } else if (name == "VokarSpeakPunctuation" || name == "VokarServerSettings") {
      const auto on = OnOff(value);
      if (!on) {
        config.warnings.push_back(where + name + " takes On or Off");
        continue;
      }
      (name == "VokarSpeakPunctuation" ? config.speakPunctuation : config.serverSettings) = *on;
    } else {
      config.warnings.push_back(where + "unknown option " + name);
    }
  }
  return config;
}

ModuleConfig LoadModuleConfig(const std::filesystem::path& path) {
  const files::FileRead read = files::ReadRegularFile(path, kMaxConfigBytes);
  if (read.error == files::FileError::NotFound) return {};
  if (!read.ok()) {
    ModuleConfig config;
    config.warnings.push_back(path.string() + ": " + files::FileErrorName(read.error) + "; the defaults are used");
    return config;
  }
  ModuleConfig config = ParseModuleConfig(read.bytes);
  if (read.truncated)
    config.warnings.push_back(path.string() + ": only its first " + std::to_string(kMaxConfigBytes) + " bytes were read");
  for (auto& warning : config.warnings)
    if (!warning.starts_with(path.string())) warning = path.string() + ": " + warning;
  return config;
}

}  // namespace vokar::speechd
