// The switches and values the engine reads live from its host (the server's
// window and settings, or a tool), so that a change during a reading job
// affects what is scanned afterwards.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vokar {

// Locale punctuation for reading figures and dates, in code page 1250.
struct LocalePunctuation {
  unsigned char decimal = ',';
  unsigned char thousand = '.';
  unsigned char date = '/';
  // The short-date pattern; empty means the fields "dd", "MM", "yy".
  std::string shortDate;
};

// How the voice is shaped at synthesis time (the prosody stage). With both
// switches off the speech is the plain concatenation of the recorded pieces,
// and the speed changes the playback rate, pitch and all.
struct ProsodySettings {
  // A sentence melody, accents as pitch peaks, and the rhythm of fluent
  // speech: long final forms only at the end of a phrase, no pauses where
  // the text has none, shorter default pauses at punctuation.
  bool intonation = true;
  // The speed changes the tempo and keeps the pitch and the timbre.
  bool keepPitch = true;
  // The voice's pitch moved by this many semitones, and the melody's
  // movements scaled by rangeScale (0 a monotone, 1 as designed): the
  // speech-dispatcher module's PITCH and PITCH_RANGE. The shift holds
  // whenever the stage shapes the speech, that is with either switch on
  // (with the pitch kept alone every recorded period is scaled); the range
  // only with intonation, as there is no melody without it. With both
  // switches off neither applies.
  double pitchSemitones = 0.0;
  double rangeScale = 1.0;
  bool operator==(const ProsodySettings&) const = default;
};

// Implemented by the server and by the tools; every call is cheap and may be
// made for every token.
class ISpeechSettings {
 public:
  virtual ~ISpeechSettings() = default;

  virtual bool FluentSpeech() const = 0;
  virtual bool ColloquialSpeech() const = 0;
  // The pronunciation tag turns the switch on or off while the text is scanned.
  virtual void SetColloquialSpeech(bool on) = 0;
  virtual bool UseExpDict() const = 0;
  virtual bool ConvertCaps() const = 0;
  virtual int ConvertCapsLimit() const = 0;
  virtual bool ConvertNumber() const = 0;
  virtual bool ConvertDate() const = 0;
  virtual LocalePunctuation Locale() const = 0;
  // The prosody stage's switches and the melody's pitch and range.
  virtual ProsodySettings Prosody() const = 0;

  // The folder searched first for wave inserts; empty, or ending in '/'.
  virtual std::string WorkDir() const = 0;

  // An integer of the "Sound" section, or nothing when the store lacks it.
  virtual std::optional<int> SoundSetting(std::string_view name) const = 0;
  virtual void WriteSoundSetting(std::string_view name, int value) = 0;
};

// Settings held as plain values, with the server's defaults: every switch on
// and a capitals limit of 5. Used by the tools and the tests.
class CSpeechSettingsValues : public ISpeechSettings {
 public:
  bool fluentSpeech = true;
  bool colloquialSpeech = true;
  bool useExpDict = true;
  bool convertCaps = true;
  int convertCapsLimit = 5;
  bool convertNumber = true;
  bool convertDate = true;
  LocalePunctuation locale;
  std::string workDir;
  std::map<std::string, int, std::less<>> sound;
  ProsodySettings prosody;

  bool FluentSpeech() const override { return fluentSpeech; }
  bool ColloquialSpeech() const override { return colloquialSpeech; }
  void SetColloquialSpeech(bool on) override { colloquialSpeech = on; }
  bool UseExpDict() const override { return useExpDict; }
  bool ConvertCaps() const override { return convertCaps; }
  int ConvertCapsLimit() const override { return convertCapsLimit; }
  bool ConvertNumber() const override { return convertNumber; }
  bool ConvertDate() const override { return convertDate; }
  LocalePunctuation Locale() const override { return locale; }
  ProsodySettings Prosody() const override { return prosody; }
  std::string WorkDir() const override { return workDir; }
  std::optional<int> SoundSetting(std::string_view name) const override {
    const auto it = sound.find(name);
    if (it == sound.end()) return std::nullopt;
    return it->second;
  }
  void WriteSoundSetting(std::string_view name, int value) override { sound[std::string(name)] = value; }
};

}  // namespace vokar
