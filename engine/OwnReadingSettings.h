// The settings a text from another computer is scanned with: the host's
// settings as they stand, except that the pronunciation tag switches a switch
// of the reading's own instead of the host's, and nothing is written. When
// the reading ends (or its reset tag plays) the switch is forgotten, so the
// host's pronunciation was never touched.
#pragma once

#include <optional>

#include "SpeechSettings.h"

namespace vokar {

class COwnReadingSettings final : public ISpeechSettings {
 public:
  explicit COwnReadingSettings(ISpeechSettings& host) : host_(host) {}

  // Back to the host's pronunciation.
  void Forget() { colloquial_.reset(); }

  bool FluentSpeech() const override { return host_.FluentSpeech(); }
  bool ColloquialSpeech() const override { return colloquial_.value_or(host_.ColloquialSpeech()); }
  void SetColloquialSpeech(bool on) override { colloquial_ = on; }
  bool UseExpDict() const override { return host_.UseExpDict(); }
  bool ConvertCaps() const override { return host_.ConvertCaps(); }
  int ConvertCapsLimit() const override { return host_.ConvertCapsLimit(); }
  bool ConvertNumber() const override { return host_.ConvertNumber(); }
  bool ConvertDate() const override { return host_.ConvertDate(); }
  LocalePunctuation Locale() const override { return host_.Locale(); }
  ProsodySettings Prosody() const override { return host_.Prosody(); }
  std::string WorkDir() const override { return host_.WorkDir(); }
  std::optional<int> SoundSetting(std::string_view name) const override { return host_.SoundSetting(name); }
  void WriteSoundSetting(std::string_view, int) override {}

 private:
  ISpeechSettings& host_;
  std::optional<bool> colloquial_;
};

}  // namespace vokar
