#include "ProsodyTable.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "AlfFile.h"
#include "AllophoneIndex.h"
#include "Assembly.h"
#include "Audio.h"
#include "Cp1250.h"
#include "Espeak.h"
#include "JoinMeasures.h"
#include "Messages.h"
#include "ProsodyStage.h"
#include "TextScanner.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using namespace vokar::voicegen;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Kind { Statement, YesNoCzy, YesNoPlain, WordQuestion, Exclamation };

struct Sentence {
  const char* text;
  Kind kind;
};

// Thirty sentences: ten statements (four with commas, the third the long
// one), five yes/no questions with "Czy" and the same five without a
// question word, five with one, five exclamations.
constexpr Sentence kSentences[] = {
    {"Mama myła ramę, a Ala ma małego kota i wielkiego psa.", Kind::Statement},
    {"Jutro rano pojedziemy na wieś, gdzie mieszka moja babcia.", Kind::Statement},
    {"Niebo nad miastem było jasne, a słońce świeciło nisko nad dachami starych kamienic.", Kind::Statement},
    {"Pociąg odjechał punktualnie o ósmej.", Kind::Statement},
    {"Ten nowy wiersz mówi o miłości, o morzu i o ludziach.", Kind::Statement},
    {"Pani Maria lubi malować obrazy i czytać książki.", Kind::Statement},
    {"W Szczebrzeszynie chrząszcz brzmi w trzcinie.", Kind::Statement},
    {"Dzieci bawiły się w ogrodzie do późnego wieczora.", Kind::Statement},
    {"Gienek i Wiesia mieli wiele kwiatów na balkonie.", Kind::Statement},
    {"Pies biegnie po lesie.", Kind::Statement},
    {"Czy pies biegnie po lesie?", Kind::YesNoCzy},
    {"Czy jutro pojedziemy na wieś?", Kind::YesNoCzy},
    {"Czy masz ochotę na kawę?", Kind::YesNoCzy},
    {"Czy ten pociąg jedzie do Krakowa?", Kind::YesNoCzy},
    {"Czy dzieci już śpią?", Kind::YesNoCzy},
    {"Pies biegnie po lesie?", Kind::YesNoPlain},
    {"Jutro pojedziemy na wieś?", Kind::YesNoPlain},
    {"Masz ochotę na kawę?", Kind::YesNoPlain},
    {"Ten pociąg jedzie do Krakowa?", Kind::YesNoPlain},
    {"Dzieci już śpią?", Kind::YesNoPlain},
    {"Gdzie mieszka twoja babcia?", Kind::WordQuestion},
    {"Kto zjadł całe ciasto?", Kind::WordQuestion},
    {"Dlaczego pociąg się spóźnia?", Kind::WordQuestion},
    {"Jak długo będziemy czekać na autobus?", Kind::WordQuestion},
    {"Co robiłeś wczoraj wieczorem?", Kind::WordQuestion},
    {"Jaki piękny dzień!", Kind::Exclamation},
    {"Uważaj na samochód!", Kind::Exclamation},
    {"Wracaj natychmiast do domu!", Kind::Exclamation},
    {"To jest wspaniała wiadomość!", Kind::Exclamation},
    {"Nie dotykaj tego!", Kind::Exclamation},
};
constexpr std::size_t kLongStatement = 2;
// The statement whose words are also asked as a question without a question
// word (sentences 9 and 15).
constexpr std::size_t kPairStatement = 9;
constexpr std::size_t kPairQuestion = 15;

struct Sound {
  std::size_t begin = 0;
  std::size_t end = 0;
  SoundClass sound = SoundClass::Other;
  int index = -1;         // ours: the allophone
  std::string name;       // espeak-ng: the phoneme
  bool vowel = false;
  bool wordFinal = false;
  bool phraseFinal = false;
  bool stressed = false;  // ours: the vowel of a pitch accent
  bool nucleus = false;   // the last pitch accent of its phrase
  bool punctuation = false;  // a pause the text's punctuation asks for
};

struct Speech {
  std::vector<float> samples;
  double rate = 22050.0;
  std::vector<Sound> sounds;
  std::vector<std::uint8_t> bytes;  // as the device got them
  std::vector<std::pair<double, double>> track;  // praat: time, semitones over 100 Hz (NaN unvoiced)
  std::size_t Vowels() const {
    return static_cast<std::size_t>(std::count_if(sounds.begin(), sounds.end(), [](const Sound& s) { return s.vowel; }));
  }
  double Seconds() const { return static_cast<double>(samples.size()) / rate; }
};

class Controls final : public IControlHandler {
 public:
  explicit Controls(std::optional<ChunkShaping> shaping) : shaping_(shaping) {}
  void ApplyControl(ControlCode, int, CUtterance&) override {}
  std::optional<ChunkShaping> Shaping() const override { return shaping_; }

 private:
  std::optional<ChunkShaping> shaping_;
};

// The punctuation a one-byte token stands for (line breaks included, the
// boundaries after figures and spelled words not), or 0.
unsigned char PunctuationOf(const CWordToken& token) {
  if (token.control || token.allophoneList || token.text.size() != 1) return 0;
  const auto c = static_cast<unsigned char>(token.text[0]);
  if (cp1250::IsAlpha(c)) return 0;
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r' ? c : 0;
  return c;
}

bool IsWord(const CWordToken& token) {
  return !token.control && !token.text.empty() && cp1250::IsAlpha(static_cast<unsigned char>(token.text[0]));
}

// Ours, read with the stage (both switches on) or as the plain pieces (both
// off) at a speed; the plain speech plays at the rate the speed sets.
Speech RenderOurs(const CAllophoneDb& db, const std::string& utf8, bool stage, int speed) {
  CSpeechSettingsValues settings;
  settings.prosody.intonation = stage;
  settings.prosody.keepPitch = stage;
  std::optional<ChunkShaping> shaping;
  if (stage) shaping = ChunkShaping{settings.prosody, speed};
  Controls controls(shaping);
  Speech speech;
  speech.rate = stage ? 22050.0 : static_cast<double>(SpeedScaledRate(22050, speed));
  const std::string text = cp1250::FromUtf8(utf8);
  CSilentSink sink;
  CTextScanner scanner(text, {settings, db, nullptr, sink});
  while (CUtterance* utterance = scanner.NextUtterance()) {
    const auto& tokens = utterance->Tokens();
    // Which word ends a phrase: the last before a pause of punctuation, or
    // the sentence's last.
    std::vector<bool> endsPhrase(tokens.size(), false);
    std::vector<bool> nucleus(tokens.size(), false);
    {
      std::size_t lastWord = tokens.size(), lastAccent = tokens.size();
      for (std::size_t t = 0; t <= tokens.size(); ++t) {
        const bool boundary = t == tokens.size() || (PunctuationOf(tokens[t]) != 0 && !tokens[t].allophones.empty());
        if (boundary) {
          if (lastWord < tokens.size()) endsPhrase[lastWord] = true;
          if (lastAccent < tokens.size()) nucleus[lastAccent] = true;
          lastWord = lastAccent = tokens.size();
          continue;
        }
        if (IsWord(tokens[t])) lastWord = t;
        if (tokens[t].groupAccent && tokens[t].stressedElement >= 0) lastAccent = t;
      }
    }
    while (RenderNextChunk(*utterance, db, controls)) {
      const auto& chunk = utterance->chunk.samples;
      const bool wide = utterance->chunkFormat.bitsPerSample == 16;
      const std::size_t base = speech.samples.size();
      speech.bytes.insert(speech.bytes.end(), chunk.begin(), chunk.end());
      if (wide) {
        for (std::size_t i = 0; i + 1 < chunk.size(); i += 2)
          speech.samples.push_back(static_cast<std::int16_t>(chunk[i] | (chunk[i + 1] << 8)) / 32768.0f);
      } else {
        for (std::uint8_t v : chunk) speech.samples.push_back((static_cast<int>(v) - 128) / 128.0f);
      }
      const std::size_t total = speech.samples.size() - base;
      const std::size_t first = utterance->chunkFirstToken;
      const std::size_t count = utterance->chunkTokenOffsets.size();
      std::vector<std::size_t> starts;
      if (!utterance->chunkSoundStarts.empty()) {
        starts.assign(utterance->chunkSoundStarts.begin(), utterance->chunkSoundStarts.end());
      } else {
        std::size_t at = 0;
        for (std::size_t t = first; t < first + count; ++t) {
          for (const auto& e : tokens[t].allophones) {
            starts.push_back(at);
            if (!tokens[t].control && e.index < allo::kNothing) at += db.Length(e.index);
          }
        }
      }
      std::size_t k = 0;
      for (std::size_t t = first; t < first + count; ++t) {
        const CWordToken& token = tokens[t];
        int lastVowel = -1;
        for (std::size_t e = 0; e < token.allophones.size(); ++e)
          if (!token.control && (db.ClassBits(token.allophones[e].index) & classbits::kVowel)) lastVowel = static_cast<int>(e);
        for (std::size_t e = 0; e < token.allophones.size(); ++e, ++k) {
          const std::size_t begin = starts[k];
          const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : total;
          const int index = token.allophones[e].index;
          if (end <= begin || token.control) continue;
          const bool vowel = db.ClassBits(index) & classbits::kVowel;
          const bool stressed = token.groupAccent &&
                                (static_cast<int>(e) == token.stressedElement || static_cast<int>(e) == token.stressedElement + 1);
          // The second of a doubled vowel lengthens the first.
          if (vowel && e > 0 && token.allophones[e - 1].index == index && !speech.sounds.empty() &&
              speech.sounds.back().end == base + begin && speech.sounds.back().vowel) {
            speech.sounds.back().end = base + end;
            speech.sounds.back().wordFinal = static_cast<int>(e) == lastVowel && IsWord(token);
            speech.sounds.back().phraseFinal = speech.sounds.back().wordFinal && endsPhrase[t];
            continue;
          }
          Sound s;
          s.begin = base + begin;
          s.end = base + end;
          s.index = index;
          s.sound = ClassOfEntry(index);
          s.vowel = vowel;
          s.wordFinal = vowel && IsWord(token) && static_cast<int>(e) == lastVowel;
          s.phraseFinal = s.wordFinal && endsPhrase[t];
          s.stressed = vowel && stressed;
          s.nucleus = s.stressed && nucleus[t];
          s.punctuation = PunctuationOf(token) != 0 && (db.ClassBits(index) & classbits::kPause);
          speech.sounds.push_back(s);
        }
      }
    }
  }
  return speech;
}

Speech RenderEspeak(CEspeak& espeak, const std::string& utf8) {
  Speech speech;
  auto synthesis = espeak.SpeakText(utf8);
  if (!synthesis) return speech;
  speech.samples = synthesis->samples;
  for (float v : speech.samples) {
    const auto s = static_cast<std::int16_t>(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L));
    speech.bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
    speech.bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
  }
  const auto& marks = synthesis->marks;
  const auto& words = synthesis->words;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const std::size_t begin = std::min(marks[i].sample, speech.samples.size());
    const std::size_t end = i + 1 < marks.size() ? std::min(marks[i + 1].sample, speech.samples.size()) : speech.samples.size();
    if (marks[i].name == ";" && !speech.sounds.empty()) {
      speech.sounds.back().end = end;
      continue;
    }
    if (end <= begin) continue;
    Sound s;
    s.begin = begin;
    s.end = end;
    s.name = marks[i].name;
    s.sound = ClassOfPhoneme(marks[i].name);
    s.vowel = s.sound == SoundClass::Vowel;
    s.punctuation = IsPauseMark(marks[i].name);
    speech.sounds.push_back(s);
  }
  // Words by espeak-ng's word events; a phrase ends before a pause or at the end.
  const auto wordOf = [&](std::size_t at) {
    return static_cast<std::size_t>(std::upper_bound(words.begin(), words.end(), at) - words.begin());
  };
  for (std::size_t i = 0; i < speech.sounds.size(); ++i) {
    Sound& s = speech.sounds[i];
    if (!s.vowel) continue;
    const std::size_t word = wordOf(s.begin);
    bool last = true, beforePause = true;
    for (std::size_t j = i + 1; j < speech.sounds.size(); ++j) {
      if (speech.sounds[j].sound == SoundClass::Silence) break;
      if (speech.sounds[j].vowel) {
        beforePause = false;
        if (wordOf(speech.sounds[j].begin) == word) last = false;
        break;
      }
    }
    s.wordFinal = last;
    s.phraseFinal = last && beforePause;
  }
  return speech;
}

void WriteWav(const fs::path& path, const Speech& speech) {
  alf::Audio audio;
  audio.rate = static_cast<int>(std::lround(speech.rate));
  audio.samples = speech.samples;
  const auto bytes = alf::EncodeWav16(audio);
  if (auto error = alf::WriteFileAtomically(path, bytes)) std::cerr << error->ToString() << "\n";
}

constexpr const char* kPraatScript = R"(form Pitch tracks
  sentence list
endform
files = Read Strings from raw text file: list$
n = Get number of strings
for i to n
  selectObject: files
  wav$ = Get string: i
  sound = Read from file: wav$
  floor = 60
  if index (wav$, "plain-slow") > 0
    floor = 40
  endif
  pitch = To Pitch (ac): 0.005, floor, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 400
  frames = Get number of frames
  text$ = ""
  for j to frames
    t = Get time from frame number: j
    f = Get value in frame: j, "Hertz"
    if f = undefined
      f = 0
    endif
    text$ = text$ + fixed$(t, 4) + " " + fixed$(f, 2) + newline$
  endfor
  writeFile: wav$ - ".wav" + ".f0", text$
  removeObject: sound, pitch
endfor
)";

bool RunPraat(const fs::path& work, const std::vector<fs::path>& wavs) {
  std::ofstream(work / "pitch.praat") << kPraatScript;
  {
    std::ofstream list(work / "wavs.txt");
    for (const auto& wav : wavs) list << wav.string() << "\n";
  }
  const std::string command = "praat --run '" + (work / "pitch.praat").string() + "' '" + (work / "wavs.txt").string() +
                              "' > '" + (work / "praat.log").string() + "' 2>&1";
  return std::system(command.c_str()) == 0;
}

void ReadTrack(const fs::path& wav, Speech& speech) {
  fs::path f0 = wav;
  f0.replace_extension(".f0");
  std::ifstream in(f0);
  double t = 0.0, hz = 0.0;
  while (in >> t >> hz) speech.track.emplace_back(t, hz > 0.0 ? 12.0 * std::log2(hz / 100.0) : kNaN);
}

double Median(std::vector<double> v) {
  if (v.empty()) return kNaN;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

double Mean(const std::vector<double>& v) {
  if (v.empty()) return kNaN;
  double sum = 0.0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return kNaN;
  std::sort(v.begin(), v.end());
  const double at = p * static_cast<double>(v.size() - 1);
  const auto i = static_cast<std::size_t>(at);
  const double f = at - static_cast<double>(i);
  return i + 1 < v.size() ? v[i] + f * (v[i + 1] - v[i]) : v.back();
}

std::vector<double> Voiced(const Speech& s) {
  std::vector<double> v;
  for (const auto& [t, st] : s.track)
    if (!std::isnan(st)) v.push_back(st);
  return v;
}

double RangeSemitones(const Speech& s) {
  const auto v = Voiced(s);
  return Percentile(v, 0.95) - Percentile(v, 0.05);
}

// The least-squares slope of the pitch over the voiced frames, st/s.
double Declination(const Speech& s) {
  double n = 0, st = 0, sy = 0, stt = 0, sty = 0;
  for (const auto& [t, y] : s.track) {
    if (std::isnan(y)) continue;
    n += 1;
    st += t;
    sy += y;
    stt += t * t;
    sty += t * y;
  }
  const double d = n * stt - st * st;
  return n < 2 || d == 0.0 ? kNaN : (n * sty - st * sy) / d;
}

// The mean pitch of the last 150 ms of voiced speech against the sentence's median.
double EndAgainstMedian(const Speech& s) {
  const auto v = Voiced(s);
  double last = -1.0;
  for (const auto& [t, y] : s.track)
    if (!std::isnan(y)) last = t;
  if (last < 0) return kNaN;
  std::vector<double> end;
  for (const auto& [t, y] : s.track)
    if (!std::isnan(y) && t > last - 0.15) end.push_back(y);
  return Mean(end) - Median(v);
}

// The pitch over a stretch of seconds: every voiced frame in it.
std::vector<double> PitchIn(const Speech& s, double from, double to) {
  std::vector<double> v;
  for (const auto& [t, y] : s.track)
    if (!std::isnan(y) && t >= from && t < to) v.push_back(y);
  return v;
}

struct Joins {
  std::size_t voiced = 0;
  std::size_t jumps = 0;
  std::size_t jumpsIntoStress = 0;
  void Add(const Speech& s) {
    for (std::size_t i = 0; i + 1 < s.sounds.size(); ++i) {
      const Sound& a = s.sounds[i];
      const Sound& b = s.sounds[i + 1];
      if (a.end != b.begin || !IsVoiced(a.sound) || !IsVoiced(b.sound)) continue;
      const double at = static_cast<double>(a.end) / s.rate;
      const auto before = PitchIn(s, at - 0.015, at);
      const auto after = PitchIn(s, at, at + 0.015);
      if (before.empty() || after.empty()) continue;
      ++voiced;
      if (std::abs(after.front() - before.back()) > 1.0) {
        ++jumps;
        if (b.stressed) ++jumpsIntoStress;
      }
    }
  }
};

// How far each pitch accent (other than a phrase's last) stands over the
// vowels either side: its highest frame against the mean of their medians.
std::vector<double> StressPeaks(const Speech& s) {
  std::vector<double> peaks;
  for (std::size_t i = 0; i < s.sounds.size(); ++i) {
    const Sound& v = s.sounds[i];
    if (!v.stressed || v.nucleus) continue;
    const auto own = PitchIn(s, v.begin / s.rate, v.end / s.rate);
    std::optional<double> before, after;
    for (std::size_t j = i; j-- > 0;) {
      if (s.sounds[j].sound == SoundClass::Silence) break;
      if (s.sounds[j].vowel) {
        const auto p = PitchIn(s, s.sounds[j].begin / s.rate, s.sounds[j].end / s.rate);
        if (!p.empty()) before = Median(p);
        break;
      }
    }
    for (std::size_t j = i + 1; j < s.sounds.size(); ++j) {
      if (s.sounds[j].sound == SoundClass::Silence) break;
      if (s.sounds[j].vowel) {
        const auto p = PitchIn(s, s.sounds[j].begin / s.rate, s.sounds[j].end / s.rate);
        if (!p.empty()) after = Median(p);
        break;
      }
    }
    if (own.empty() || !before || !after) continue;
    peaks.push_back(*std::max_element(own.begin(), own.end()) - 0.5 * (*before + *after));
  }
  return peaks;
}

struct VowelLengths {
  std::vector<double> inside, wordFinal, phraseFinal;  // seconds
  void Add(const Speech& s) {
    for (const Sound& v : s.sounds) {
      if (!v.vowel) continue;
      const double d = static_cast<double>(v.end - v.begin) / s.rate;
      if (v.phraseFinal) phraseFinal.push_back(d);
      else if (v.wordFinal) wordFinal.push_back(d);
      else inside.push_back(d);
    }
  }
};

// Silences of 80 ms or more inside the speech (5 ms frames under -45 dBFS)
// that no pause of punctuation overlaps.
std::size_t PausesAwayFromPunctuation(const Speech& s) {
  const auto frame = static_cast<std::size_t>(s.rate * 0.005);
  const double quiet = std::pow(10.0, -45.0 / 20.0);
  std::vector<bool> silent;
  for (std::size_t at = 0; at + frame <= s.samples.size(); at += frame) {
    double sum = 0.0;
    for (std::size_t i = at; i < at + frame; ++i) sum += static_cast<double>(s.samples[i]) * s.samples[i];
    silent.push_back(std::sqrt(sum / static_cast<double>(frame)) < quiet);
  }
  std::size_t count = 0;
  for (std::size_t i = 0; i < silent.size();) {
    if (!silent[i]) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < silent.size() && silent[j]) ++j;
    const bool inside = i > 0 && j < silent.size();
    if (inside && (j - i) * 5 >= 80) {
      const std::size_t begin = i * frame, end = j * frame;
      bool atPunctuation = false;
      for (const Sound& p : s.sounds)
        if (p.punctuation && p.begin < end && p.end > begin) atPunctuation = true;
      if (!atPunctuation) ++count;
    }
    i = j;
  }
  return count;
}

// Mean power of 256-sample Hann frames of a stretch in a band, dBFS (a
// full-scale sine is -3 dB), and the spectral centroid over the band.
struct Spectrum {
  double power = 0.0;  // mean square in the band, summed over frames
  double weighted = 0.0;
  std::size_t frames = 0;
  void Add(std::span<const float> s, double rate, double low, double high) {
    constexpr std::size_t n = 256;
    static const auto window = [] {
      std::array<double, n> w{};
      for (std::size_t i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n);
      return w;
    }();
    double windowPower = 0.0;
    for (double w : window) windowPower += w * w;
    for (std::size_t at = 0; at + n <= s.size(); at += n / 2) {
      for (std::size_t k = 1; k < n / 2; ++k) {
        const double hz = k * rate / n;
        if (hz < low || hz >= high) continue;
        double re = 0.0, im = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
          const double x = s[at + i] * window[i];
          re += x * std::cos(2.0 * std::numbers::pi * k * i / n);
          im -= x * std::sin(2.0 * std::numbers::pi * k * i / n);
        }
        const double p = 2.0 * (re * re + im * im) / (n * windowPower);
        power += p;
        weighted += p * hz;
      }
      ++frames;
    }
  }
  double Db() const { return frames == 0 || power <= 0 ? kNaN : 10.0 * std::log10(power / static_cast<double>(frames)); }
  double Centroid() const { return power <= 0 ? kNaN : weighted / power; }
};

bool IsVoicelessFricative(const Sound& s) { return s.sound == SoundClass::VoicelessFricative; }
bool IsS(const Sound& s) { return s.index == allo::kS || s.name == "s"; }

// The middle half of a sound.
std::span<const float> Middle(const Speech& s, const Sound& sound) {
  const std::size_t quarter = (sound.end - sound.begin) / 4;
  return std::span<const float>(s.samples).subspan(sound.begin + quarter, sound.end - sound.begin - 2 * quarter);
}

std::string Fixed(double v, int digits = 1, const char* unit = "") {
  if (std::isnan(v)) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%+.*f%s", digits, v, unit);
  return text;
}

std::string Plain(double v, int digits = 1, const char* unit = "") {
  if (std::isnan(v)) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f%s", digits, v, unit);
  return text;
}

struct Voice {
  std::string label;
  std::vector<Speech> normal, fast, slow;  // speeds 0, +50, -50 (espeak-ng: normal only)
  // Speed +150, two and a half times normal: the stage only (the plain
  // pieces, played at the rate, go to +50).
  std::vector<Speech> fastest;
};

struct Row {
  std::string measure, before, after, espeak, target;
};

}  // namespace

int RunProsodyTable(const CAllophoneDb& db, const std::optional<fs::path>& workDir) {
  auto espeak = CEspeak::Open("pl");
  if (!espeak) {
    std::cerr << "bench_voice: " << espeak.Error().ToString() << "\n";
    return 1;
  }
  if (std::system("praat --version > /dev/null 2>&1") != 0) {
    std::cerr << "bench_voice: praat is needed for the pitch tracks (scripts/install-deps.sh installs it)\n";
    return 1;
  }
  fs::path work;
  if (workDir) {
    work = *workDir;
  } else {
    std::string pattern = (fs::temp_directory_path() / "vokar-prosody-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::cerr << "bench_voice: cannot make a temporary folder\n";
      return 1;
    }
    work = pattern;
  }
  fs::create_directories(work);

  Voice before{"plain", {}, {}, {}, {}}, after{"stage", {}, {}, {}, {}}, reference{"espeak", {}, {}, {}, {}};
  for (const Sentence& sentence : kSentences) {
    before.normal.push_back(RenderOurs(db, sentence.text, false, 0));
    before.fast.push_back(RenderOurs(db, sentence.text, false, 50));
    before.slow.push_back(RenderOurs(db, sentence.text, false, -50));
    after.normal.push_back(RenderOurs(db, sentence.text, true, 0));
    after.fast.push_back(RenderOurs(db, sentence.text, true, 50));
    after.slow.push_back(RenderOurs(db, sentence.text, true, -50));
    after.fastest.push_back(RenderOurs(db, sentence.text, true, kFastestShapedSpeed));
    reference.normal.push_back(RenderEspeak(**espeak, sentence.text));
  }
  std::vector<fs::path> wavs;
  const auto writeAll = [&](std::vector<Speech>& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      const fs::path wav = work / (name + "-" + std::to_string(i + 1) + ".wav");
      WriteWav(wav, list[i]);
      wavs.push_back(wav);
    }
  };
  for (Voice* voice : {&before, &after, &reference}) {
    writeAll(voice->normal, voice->label + "-0");
    writeAll(voice->fast, voice->label + "-fast");
    writeAll(voice->slow, voice->label + "-slow");
    writeAll(voice->fastest, voice->label + "-fastest");
  }
  if (!RunPraat(work, wavs)) {
    std::cerr << "bench_voice: praat failed; see " << (work / "praat.log").string() << "\n";
    return 1;
  }
  std::size_t w = 0;
  for (Voice* voice : {&before, &after, &reference})
    for (auto* list : {&voice->normal, &voice->fast, &voice->slow, &voice->fastest})
      for (Speech& s : *list) ReadTrack(wavs[w++], s);

  const auto ofKind = [](const Voice& v, std::initializer_list<Kind> kinds) {
    std::vector<const Speech*> out;
    for (std::size_t i = 0; i < v.normal.size(); ++i)
      if (std::find(kinds.begin(), kinds.end(), kSentences[i].kind) != kinds.end()) out.push_back(&v.normal[i]);
    return out;
  };
  const auto medianOver = [](const std::vector<const Speech*>& list, double (*measure)(const Speech&)) {
    std::vector<double> v;
    for (const Speech* s : list) {
      const double x = measure(*s);
      if (!std::isnan(x)) v.push_back(x);
    }
    return Median(v);
  };

  std::vector<Row> rows;
  // Pitch range.
  {
    const auto range = [&](const Voice& v) {
      std::vector<double> all;
      for (const Speech& s : v.normal) all.push_back(RangeSemitones(s));
      return Plain(RangeSemitones(v.normal[kLongStatement]), 1, " st") + " long statement, " + Plain(Median(all), 1, " st") +
             " median";
    };
    rows.push_back({"pitch range of a sentence (5th-95th percentile)", range(before), range(after), range(reference),
                    ">= 4 st on a long statement, >= 5 st median"});
  }
  {
    const auto decl = [&](const Voice& v) { return Fixed(medianOver(ofKind(v, {Kind::Statement}), Declination), 2, " st/s"); };
    rows.push_back({"declination over a statement (median slope)", decl(before), decl(after), decl(reference), "-1 to -2 st/s"});
  }
  {
    const auto end = [&](const Voice& v) { return Fixed(medianOver(ofKind(v, {Kind::Statement}), EndAgainstMedian), 1, " st"); };
    rows.push_back({"last 150 ms of a statement vs its median", end(before), end(after), end(reference), "<= -2 st"});
  }
  {
    const auto end = [&](const Voice& v) {
      return Fixed(medianOver(ofKind(v, {Kind::YesNoCzy}), EndAgainstMedian), 1, " st") + " / " +
             Fixed(medianOver(ofKind(v, {Kind::YesNoPlain}), EndAgainstMedian), 1, " st");
    };
    rows.push_back({"last 150 ms of a yes/no question (\"Czy ...?\" / no question word) vs its median", end(before),
                    end(after), end(reference), ">= +2 st"});
  }
  {
    const auto end = [&](const Voice& v) {
      return Fixed(medianOver(ofKind(v, {Kind::WordQuestion}), EndAgainstMedian), 1, " st") + " / " +
             Fixed(medianOver(ofKind(v, {Kind::Exclamation}), EndAgainstMedian), 1, " st");
    };
    rows.push_back({"last 150 ms of a question with a question word / an exclamation vs its median", end(before),
                    end(after), end(reference), "a fall"});
  }
  {
    const auto same = [&](const Voice& v) {
      return v.normal[kPairStatement].bytes == v.normal[kPairQuestion].bytes ? std::string("byte-identical")
                                                                             : std::string("differ");
    };
    rows.push_back({"\"?\" and \".\" on the same words", same(before), same(after), same(reference), "differ"});
  }
  {
    const auto joins = [&](const Voice& v, bool ours) {
      Joins j;
      std::vector<double> peaks;
      for (const Speech& s : v.normal) {
        j.Add(s);
        const auto p = StressPeaks(s);
        peaks.insert(peaks.end(), p.begin(), p.end());
      }
      std::string text = Plain(j.voiced ? 100.0 * j.jumps / j.voiced : kNaN, 0, " %") + " of " + std::to_string(j.voiced);
      if (ours) {
        text += " (" + Plain(j.jumps ? 100.0 * j.jumpsIntoStress / j.jumps : 0.0, 0, " %") + " into a stressed vowel); accent peak " +
                Fixed(Median(peaks), 1, " st");
      }
      return text;
    };
    rows.push_back({"voiced joins whose pitch jumps > 1 st; accents as peaks over their neighbours (median)",
                    joins(before, true), joins(after, true), joins(reference, false),
                    "<= 5 %, stress a smooth peak >= 1.5 st"});
  }
  {
    const auto rate = [&](const Voice& v) {
      double vowels = 0, seconds = 0;
      for (const Speech& s : v.normal) {
        vowels += static_cast<double>(s.Vowels());
        seconds += s.Seconds();
      }
      return Plain(vowels / seconds, 2, " vowels/s");
    };
    rows.push_back({"speaking rate, whole files, default speed", rate(before), rate(after), rate(reference), ">= 4.5"});
  }
  {
    const auto lengths = [&](const Voice& v) {
      VowelLengths l;
      for (const Speech& s : v.normal) l.Add(s);
      const double inside = Mean(l.inside);
      return Plain(Mean(l.wordFinal) / inside, 2) + " (" + Plain(1000 * Mean(l.wordFinal), 0) + " vs " +
             Plain(1000 * inside, 0) + " ms); phrase-final " + Plain(Mean(l.phraseFinal) / inside, 2);
    };
    rows.push_back({"word-final vowel inside a phrase / word-inside vowel; phrase-final / word-inside", lengths(before),
                    lengths(after), lengths(reference), "<= 1.3; phrase-final >= 1.3"});
  }
  {
    const auto pauses = [&](const Voice& v) {
      std::size_t n = 0;
      for (const Speech& s : v.normal) n += PausesAwayFromPunctuation(s);
      return std::to_string(n) + " in " + std::to_string(v.normal.size()) + " sentences";
    };
    rows.push_back({"pauses >= 80 ms away from punctuation", pauses(before), pauses(after), pauses(reference), "0"});
  }
  {
    // The s: its centroid over 1 kHz to the Nyquist frequency.
    const auto addS = [](Spectrum& spectrum, const Speech& s) {
      for (const Sound& sound : s.sounds)
        if (IsS(sound) && sound.end - sound.begin >= 512) spectrum.Add(Middle(s, sound), s.rate, 1000.0, std::min(11025.0, s.rate / 2));
    };
    // The median pitch (st) and the s of a list of sentences.
    struct AtSpeed {
      double median = kNaN;
      Spectrum s;
    };
    const auto atSpeed = [&](const std::vector<Speech>& list) {
      AtSpeed a;
      std::vector<double> voiced;
      for (const Speech& speech : list) {
        for (double x : Voiced(speech)) voiced.push_back(x);
        addS(a.s, speech);
      }
      a.median = Median(voiced);
      return a;
    };
    const auto speeds = [&](const Voice& v) {
      const AtSpeed normal = atSpeed(v.normal), fast = atSpeed(v.fast), slow = atSpeed(v.slow);
      return Fixed(fast.median - normal.median, 1) + " / " + Fixed(slow.median - normal.median, 1) + " st; s at " +
             Plain(fast.s.Centroid() / 1000, 1) + " / " + Plain(slow.s.Centroid() / 1000, 1) + " kHz (" +
             Plain(normal.s.Centroid() / 1000, 1) + " at 0)";
    };
    rows.push_back({"median pitch at speed +50 / -50 vs speed 0; centroid of s", speeds(before), speeds(after),
                    "unchanged", "within +-1 st, fricative spectra within 5 %"});
    const auto fastest = [&](const Voice& v) -> std::string {
      if (v.fastest.empty()) return "- (the rate goes to +50)";
      const AtSpeed normal = atSpeed(v.normal), top = atSpeed(v.fastest);
      return Fixed(top.median - normal.median, 1) + " st; s at " + Plain(top.s.Centroid() / 1000, 1) + " kHz (" +
             Plain(normal.s.Centroid() / 1000, 1) + " at 0)";
    };
    rows.push_back({"median pitch at speed +150 (2.5 times) vs speed 0; centroid of s", fastest(before),
                    fastest(after), "-", "within +-1 st, fricative spectra within 5 %"});
  }
  {
    Spectrum fricBefore, fricAfter;
    const auto noise = [&](const Voice& v, Spectrum* fricatives) {
      Spectrum vowels;
      for (const Speech& s : v.normal) {
        for (const Sound& sound : s.sounds) {
          if (sound.vowel && sound.end - sound.begin >= 1024) vowels.Add(Middle(s, sound), s.rate, 7500.0, 11025.0);
          if (fricatives && IsVoicelessFricative(sound) && sound.end - sound.begin >= 512)
            fricatives->Add(Middle(s, sound), s.rate, 5000.0, 11025.0);
        }
      }
      return Plain(vowels.Db(), 1, " dBFS");
    };
    const std::string b = noise(before, &fricBefore);
    std::string a = noise(after, &fricAfter);
    a += "; fricatives 5-11 kHz " + Fixed(fricAfter.Db() - fricBefore.Db(), 1, " dB");
    rows.push_back({"vowel energy 7.5-11 kHz (8-bit rounding noise)", b, a, noise(reference, nullptr),
                    "<= -61 dBFS, fricatives above 5 kHz within 1 dB of today"});
  }

  std::printf("%zu sentences; our voice as the plain pieces (before) and shaped by the prosody stage (after), "
              "espeak-ng's Polish voice; pitch by praat in 5 ms frames\n\n",
              std::size(kSentences));
  std::printf("| measure | Vokar before (plain pieces) | Vokar with the prosody stage | espeak-ng | target |\n");
  std::printf("|---|---|---|---|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %s | %s | %s | %s |\n", r.measure.c_str(), r.before.c_str(), r.after.c_str(), r.espeak.c_str(),
                r.target.c_str());
  // Where the time goes, to tune the rhythm by.
  std::printf("\nmean length in ms (count)        vowels        consonants    pauses        speech s  silence s\n");
  for (const Voice* voice : {&before, &after, &reference}) {
    std::vector<double> vowels, consonants, pauses;
    double speech = 0, silence = 0;
    for (const Speech& s : voice->normal) {
      for (const Sound& sound : s.sounds) {
        const double ms = 1000.0 * static_cast<double>(sound.end - sound.begin) / s.rate;
        if (sound.vowel) vowels.push_back(ms);
        else if (sound.sound == SoundClass::Silence) pauses.push_back(ms);
        else consonants.push_back(ms);
        (sound.sound == SoundClass::Silence ? silence : speech) += ms / 1000.0;
      }
    }
    std::printf("  %-28s %6.0f (%4zu)  %6.0f (%4zu)  %6.0f (%4zu)  %7.1f  %7.1f\n", voice->label.c_str(), Mean(vowels),
                vowels.size(), Mean(consonants), consonants.size(), Mean(pauses), pauses.size(), speech, silence);
  }
  if (workDir) {
    std::printf("\nWAV files and pitch tracks in %s\n", work.string().c_str());
  } else {
    std::error_code error;
    fs::remove_all(work, error);
  }
  return 0;
}
