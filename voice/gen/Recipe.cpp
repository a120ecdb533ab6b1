#include "Recipe.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "Manifest.h"
#include "TextLines.h"

namespace vokar::voicegen {
namespace {

using alf::ErrorKind;
using alf::MakeError;

template <class T>
std::optional<T> Number(std::string_view text) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

alf::Result<Recipe> ParseRecipe(std::string_view text, const std::string& fileName) {
  Recipe recipe;
  std::set<int> indices;
  text::CLines lines(text);
  for (std::string_view line; lines.Next(line);) {
    const std::size_t lineNo = lines.number();
    const auto error = [&](const std::string& what) {
      return MakeError(ErrorKind::Manifest, fileName, lineNo, what);
    };
    auto tokens = alf::TokenizeLine(line, fileName, lineNo);
    if (!tokens) return tokens.Error();
    const std::vector<std::string>& t = *tokens;
    if (t.empty()) continue;

    if (t[0] == "voice" || t[0] == "version") {
      if (t.size() != 2) return error(t[0] + " takes one value");
      (t[0] == "voice" ? recipe.voice : recipe.versionText) = t[1];
      continue;
    }
    if (t[0] == "prosody") {
      if (t.size() < 2) return error("prosody needs a name");
      Prosody p;
      for (std::size_t k = 2; k < t.size(); ++k) {
        const std::size_t eq = t[k].find('=');
        const auto value = eq == std::string::npos ? std::nullopt : Number<int>(t[k].substr(eq + 1));
        const std::string key = t[k].substr(0, eq);
        if (!value) return error("'" + t[k] + "' is not key=integer");
        const int v = value.value_or(0);
        if (key == "pitch" && v >= 0 && v <= 100) p.pitch = v;
        else if (key == "range" && v >= 0 && v <= 100) p.range = v;
        else if (key == "rate" && v >= 80 && v <= 450) p.rate = v;
        else if (key == "fall" && v >= 0 && v <= 12) p.fall = v;
        else if (key == "flat" && v >= 0 && v <= 95) p.flat = v;
        else return error("'" + t[k] + "': pitch and range take 0-100, rate 80-450, fall 0-12, flat 0-95");
      }
      recipe.prosodies[t[1]] = p;
      continue;
    }

    const auto index = Number<int>(t[0]);
    if (!index || *index < 0 || *index > 65535) return error("'" + t[0] + "' is not an entry index");
    if (!indices.insert(*index).second) return error("index " + t[0] + " given twice");
    if (t.size() < 2) return error("an entry needs a kind: speech, signal or silence");
    RecipeEntry entry;
    entry.line = lineNo;
    entry.index = *index;
    if (t[1] == "silence") {
      const auto ms = t.size() == 3 ? Number<double>(t[2]) : std::nullopt;
      if (!ms || *ms < 0) return error("silence takes a length in ms");
      entry.kind = RecipeKind::Silence;
      entry.silenceMs = *ms;
    } else if (t[1] == "signal") {
      if (t.size() != 3) return error("signal takes a design name");
      entry.kind = RecipeKind::Signal;
      entry.design = t[2];
    } else if (t[1] == "speech") {
      if (t.size() < 5) return error("speech takes a prosody, a carrier and a phoneme");
      entry.kind = RecipeKind::Speech;
      entry.prosody = t[2];
      if (recipe.prosodies.find(entry.prosody) == recipe.prosodies.end()) {
        return error("unknown prosody '" + entry.prosody + "'");
      }
      entry.carrier = t[3];
      entry.phoneme = t[4];
      if (const std::size_t hash = entry.phoneme.find('#'); hash != std::string::npos) {
        const auto n = Number<int>(entry.phoneme.substr(hash + 1));
        if (!n || *n < 1) return error("'" + t[4] + "': occurrence must be 1 or more");
        entry.occurrence = *n;
        entry.phoneme.resize(hash);
      }
      for (std::size_t k = 5; k < t.size(); ++k) {
        const std::size_t eq = t[k].find('=');
        const auto value = eq == std::string::npos ? std::nullopt : Number<double>(t[k].substr(eq + 1));
        const std::string key = t[k].substr(0, eq);
        const double v = value.value_or(-1.0);
        if (!value || !std::isfinite(v)) return error("'" + t[k] + "' is not key=number");
        if (key == "len" && v > 0) entry.lengthMs = v;
        else if (key == "pre" && v >= 0) entry.preMs = v;
        else if (key == "skip" && v >= 0) entry.skipMs = v;
        else if (key == "post" && v >= 0) entry.postMs = v;
        else if (key == "release" && v >= 0) entry.releaseMs = v;
        else if (key == "gain") entry.gainDb = v;
        else if (key == "fade" && v >= 0) entry.fadeMs = v;
        else if ((key == "edge" || key == "edgein" || key == "edgeout") && v >= -40 && v <= 10) {
          if (key != "edgeout") entry.edgeInDb = v;
          if (key != "edgein") entry.edgeOutDb = v;
        } else if (key == "ramp" && v >= 1 && v <= 100) entry.rampMs = v;
        else if (key == "edge" || key == "edgein" || key == "edgeout" || key == "ramp") {
          return error("'" + t[k] + "': edge levels take -40 to 10 dB, a ramp 1 to 100 ms");
        }
        else return error("unknown or negative option '" + t[k] + "'");
      }
    } else {
      return error("unknown kind '" + t[1] + "'");
    }
    recipe.entries.push_back(std::move(entry));
  }
  return recipe;
}

alf::Result<Recipe> ReadRecipe(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return MakeError(ErrorKind::Io, path.string(), 0, "cannot open the recipe");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseRecipe(text.str(), path.string());
}

}  // namespace vokar::voicegen
