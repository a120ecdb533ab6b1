#include "VoiceSettings.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace vokar::speechd {
namespace {

std::optional<int> Number(std::string_view value) {
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  long number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error == std::errc::result_out_of_range && !value.empty())
    return value.front() == '-' ? -100 : 100;
  if (error != std::errc() || end != value.data() + value.size() || value.empty()) return std::nullopt;
  return static_cast<int>(std::clamp(number, -100L, 100L));
}

// speech-dispatcher writes "NULL" for a string it leaves unset.
std::string Text(std::string_view value) { return value == "NULL" ? std::string() : std::string(value); }

}  // namespace

bool VoiceSettings::Apply(std::string_view name, std::string_view value) {
  auto number = [&](int& target) {
    const auto parsed = Number(value);
    if (!parsed) return false;
    target = *parsed;
    return true;
  };
  if (name == "rate") return number(rate);
  if (name == "pitch") return number(pitch);
  if (name == "pitch_range") return number(pitchRange);
  if (name == "volume") return number(volume);
  if (name == "punctuation_mode") {
    if (value == "none") punctuation = Punctuation::None;
    else if (value == "some") punctuation = Punctuation::Some;
    else if (value == "most") punctuation = Punctuation::Most;
    else if (value == "all") punctuation = Punctuation::All;
    else return false;
    return true;
  }
  if (name == "spelling_mode") {
    if (value == "on") spelling = true;
    else if (value == "off") spelling = false;
    else return false;
    return true;
  }
  if (name == "cap_let_recogn") {
    if (value == "none") capitals = CapitalLetters::None;
    else if (value == "spell") capitals = CapitalLetters::Spell;
    else if (value == "icon") capitals = CapitalLetters::Icon;
    else return false;
    return true;
  }
  if (name == "voice") {
    voice = Text(value);
    return true;
  }
  if (name == "language") {
    language = Text(value);
    return true;
  }
  if (name == "synthesis_voice") {
    synthesisVoice = Text(value);
    return true;
  }
  return false;
}

int SpeedOfRate(int rate, SpeedBy by) {
  rate = std::clamp(rate, -100, 100);
  if (rate > 0 && by == SpeedBy::Tempo) return (3 * rate + 1) / 2;
  return rate >= 0 ? (rate + 1) / 2 : -((-rate + 1) / 2);
}

double SemitonesOfPitch(int pitch) { return 6.0 * std::clamp(pitch, -100, 100) / 100.0; }

double ScaleOfPitchRange(int pitchRange) { return 1.0 + std::clamp(pitchRange, -100, 100) / 100.0; }

int LevelOfVolume(int volume) { return std::clamp(100 + std::min(volume, 0), 0, 100); }

}  // namespace vokar::speechd
