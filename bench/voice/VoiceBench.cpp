// The default voice against espeak-ng's own running speech of the same
// sentences, at the joins where a listener hears a concatenated voice break:
// the share of sonorant joins that dip 20 dB or more, the median level step,
// pitch jumps of more than 2 semitones, each consonant class's level against
// the vowels, and how far the soft consonants differ from the plain ones.
// With --out DIR it also writes two sentences of each as WAV files, for
// listening and spectrograms. --noise measures the 8-bit rounding noise
// instead (NoiseFloor.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AlfFile.h"
#include "AllophoneDb.h"
#include "Audio.h"
#include "Espeak.h"
#include "JoinMeasures.h"
#include "Messages.h"
#include "NoiseFloor.h"
#include "ProsodyTable.h"
#include "RenderText.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar;
using namespace vokar::voicegen;

constexpr const char* kUsage =
    "usage: bench_voice [--voice FILE] [--out DIR] [--dips] [--steps]\n"
    "  --voice FILE  allophone file (default the one the build made)\n"
    "  --out DIR     write the first two sentences of both voices as WAV files there\n"
    "  --dips        list our joins that dip, by entry names\n"
    "  --steps       the median level step at joins for each pair of classes, both voices\n"
    "  --table [DIR] the melody, rhythm, speed and noise of our speech before and with the\n"
    "                prosody stage beside espeak-ng on thirty sentences, pitch tracks by praat;\n"
    "                keeps its WAV files and tracks in DIR when given; nothing else is measured\n"
    "  --noise [MANIFEST]  the 8-bit rounding noise per band in pauses, weak consonants and\n"
    "                sonorants: plain, shaped by the hearing threshold, following the sound,\n"
    "                dithered (the manifest the build made by default); nothing else is measured\n";

// Running Polish prose with many sonorant joins, soft consonants, stressed and
// phrase-final syllables.
const char* const kSentences[] = {
    "W Szczebrzeszynie chrząszcz brzmi w trzcinie i Szczebrzeszyn z tego słynie.",
    "Mama myła ramę, a Ala ma małego kota i wielkiego psa.",
    "Pies biegnie po lesie, wiatr wieje mocno, a ryby pływają w wodzie.",
    "Jutro rano pojedziemy na wieś, gdzie mieszka moja babcia.",
    "Ten nowy wiersz mówi o miłości, o morzu i o ludziach.",
    "Niebo nad miastem było jasne, a słońce świeciło nisko.",
    "Pani Maria lubi malować, grać na pianinie i czytać książki.",
    "Gienek i Wiesia mieli wiele kwiatów na balkonie.",
};

std::vector<Segment> EspeakSegments(const Synthesis& synthesis) {
  std::vector<Segment> segments;
  for (std::size_t i = 0; i < synthesis.marks.size(); ++i) {
    // ";" marks the palatal release of the consonant before it: part of it.
    if (synthesis.marks[i].name == ";" && !segments.empty()) {
      segments.back().end = i + 1 < synthesis.marks.size()
                                ? std::min(synthesis.marks[i + 1].sample, synthesis.samples.size())
                                : synthesis.samples.size();
      continue;
    }
    Segment s;
    s.begin = std::min(synthesis.marks[i].sample, synthesis.samples.size());
    s.end = i + 1 < synthesis.marks.size() ? std::min(synthesis.marks[i + 1].sample, synthesis.samples.size())
                                           : synthesis.samples.size();
    s.sound = ClassOfPhoneme(synthesis.marks[i].name);
    if (s.end > s.begin) segments.push_back(s);
  }
  return segments;
}

// The median level of each class's segments (over the whole segment).
struct ClassLevels {
  std::map<SoundClass, std::vector<double>> levels;
  void Add(std::span<const float> samples, const std::vector<Segment>& segments) {
    for (const Segment& s : segments) {
      if (s.sound == SoundClass::Silence || s.sound == SoundClass::Other) continue;
      levels[s.sound].push_back(LevelDb(samples.subspan(s.begin, s.end - s.begin)));
    }
  }
  std::optional<double> Median(SoundClass c) const {
    const auto it = levels.find(c);
    if (it == levels.end() || it->second.empty()) return std::nullopt;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
};

// The level step at every join, by the classes of the two sounds, so that
// the joins that keep the median up can be found.
struct PairSteps {
  std::map<std::pair<SoundClass, SoundClass>, std::vector<double>> steps;
  void Add(std::span<const float> samples, const std::vector<Segment>& segments) {
    for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
      const Segment& l = segments[i];
      const Segment& r = segments[i + 1];
      if (l.sound == SoundClass::Silence || r.sound == SoundClass::Silence) continue;
      if (l.sound == SoundClass::Other || r.sound == SoundClass::Other) continue;
      if (l.end != r.begin || l.end <= l.begin || r.end <= r.begin || r.end > samples.size()) continue;
      steps[{l.sound, r.sound}].push_back(StepDb(samples, l, r));
    }
  }
};

double MedianOf(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

void PrintPairSteps(const PairSteps& ours, const PairSteps& theirs) {
  std::printf("\nlevel step at joins by classes      ours (joins, median)  espeak-ng (joins, median)\n");
  std::set<std::pair<SoundClass, SoundClass>> pairs;
  for (const auto& [pair, v] : ours.steps) pairs.insert(pair);
  for (const auto& [pair, v] : theirs.steps) pairs.insert(pair);
  for (const auto& pair : pairs) {
    const auto a = ours.steps.find(pair);
    const auto b = theirs.steps.find(pair);
    const std::size_t na = a == ours.steps.end() ? 0 : a->second.size();
    const std::size_t nb = b == theirs.steps.end() ? 0 : b->second.size();
    const std::string name = std::string(ClassName(pair.first)) + " > " + ClassName(pair.second);
    std::printf("  %-38s %4zu %6.1f       %4zu %6.1f\n", name.c_str(), na,
                na ? MedianOf(a->second) : 0.0, nb, nb ? MedianOf(b->second) : 0.0);
  }
}

void WriteWav(const fs::path& path, const std::vector<float>& samples) {
  alf::Audio audio;
  audio.rate = kMeasureRate;
  audio.samples = samples;
  const auto bytes = alf::EncodeWav16(audio);
  if (auto error = alf::WriteFileAtomically(path, bytes)) std::cerr << error->ToString() << "\n";
}

void PrintJoins(const char* who, const JoinReport& r) {
  std::printf("%-10s sonorant joins %4zu, dipping 20 dB or more %4zu (%5.1f %%); median level step %5.1f dB; "
              "voiced joins %4zu, jumping over 2 semitones %4zu\n",
              who, r.sonorantJoins, r.dips, 100.0 * r.DipShare(), r.MedianStepDb(), r.voicedJoins, r.pitchJumps);
}

}  // namespace

int main(int argc, char** argv) {
  std::string voice = VOKAR_BENCH_VOICE;
  std::optional<fs::path> out;
  bool listDips = false;
  bool listSteps = false;
  std::optional<fs::path> noise;
  bool table = false;
  std::optional<fs::path> tableDir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--table") {
      table = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') tableDir = argv[++i];
    } else if (arg == "--voice" && i + 1 < argc) {
      voice = argv[++i];
    } else if (arg == "--noise") {
      noise = VOKAR_BENCH_MANIFEST;
      if (i + 1 < argc && argv[i + 1][0] != '-') noise = argv[++i];
    } else if (arg == "--steps") {
      listSteps = true;
    } else if (arg == "--dips") {
      listDips = true;
    } else if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else {
      std::cerr << kUsage;
      return arg == "-h" || arg == "--help" ? 0 : 2;
    }
  }
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  CSilentSink sink;
  if (!db.LoadFromPath(voice, settings, sink)) {
    std::cerr << "bench_voice: cannot load " << voice << "\n";
    return 1;
  }
  if (table) return RunProsodyTable(db, tableDir);
  if (noise) {
    if (out) fs::create_directories(*out);
    return RunNoiseFloor(db, settings, kSentences, *noise, out);
  }
  auto espeak = CEspeak::Open("pl");
  if (!espeak) {
    std::cerr << "bench_voice: " << espeak.Error().ToString() << "\n";
    return 1;
  }
  if (out) fs::create_directories(*out);

  JoinReport ours, theirs;
  ClassLevels ourLevels, theirLevels;
  PairSteps ourSteps, theirSteps;
  int number = 0;
  for (const char* sentence : kSentences) {
    ++number;
    const RenderedSpeech speech = RenderText(db, settings, sentence);
    const JoinReport joins = MeasureJoins(speech.samples, speech.segments);
    ours.Add(joins);
    for (std::size_t at : joins.dipAt) {
      if (!listDips) break;
      const auto name = [&](std::size_t k) { return std::string(db.Entry(speech.indices[k])->name); };
      const Segment& l = speech.segments[at];
      const Segment& r = speech.segments[at + 1];
      std::printf("dip %.1f dB: %s-%s in sentence %d\n", DipDb(speech.samples, l, r), name(at).c_str(),
                  name(at + 1).c_str(), number);
    }
    ourLevels.Add(speech.samples, speech.segments);
    ourSteps.Add(speech.samples, speech.segments);
    auto synthesis = (*espeak)->SpeakText(sentence);
    if (!synthesis) {
      std::cerr << "bench_voice: " << synthesis.Error().ToString() << "\n";
      return 1;
    }
    const auto segments = EspeakSegments(*synthesis);
    theirs.Add(MeasureJoins(synthesis->samples, segments));
    theirLevels.Add(synthesis->samples, segments);
    theirSteps.Add(synthesis->samples, segments);
    if (out && number <= 2) {
      WriteWav(*out / ("vokar-" + std::to_string(number) + ".wav"), speech.samples);
      WriteWav(*out / ("espeak-" + std::to_string(number) + ".wav"), synthesis->samples);
    }
  }
  std::printf("%zu sentences; voice %s\n", std::size(kSentences), voice.c_str());
  PrintJoins("ours", ours);
  PrintJoins("espeak-ng", theirs);

  if (listSteps) PrintPairSteps(ourSteps, theirSteps);

  std::printf("\nlevel against the vowels (dB)   ours  espeak-ng  difference\n");
  const auto ourVowel = ourLevels.Median(SoundClass::Vowel);
  const auto theirVowel = theirLevels.Median(SoundClass::Vowel);
  for (SoundClass c : {SoundClass::Nasal, SoundClass::Liquid, SoundClass::Glide, SoundClass::VoicedStop,
                       SoundClass::VoicelessStop, SoundClass::VoicedFricative, SoundClass::VoicelessFricative,
                       SoundClass::VoicedAffricate, SoundClass::VoicelessAffricate}) {
    const auto a = ourLevels.Median(c);
    const auto b = theirLevels.Median(c);
    if (!a || !b || !ourVowel || !theirVowel) continue;
    const double mine = *a - *ourVowel;
    const double reference = *b - *theirVowel;
    std::printf("  %-28s %6.1f %9.1f %+10.1f\n", ClassName(c), mine, reference, mine - reference);
  }

  std::printf("\nsoft against plain (wave correlation, target below 0.9)\n");
  const std::pair<const char*, const char*> pairs[] = {{"p", "pi"}, {"b", "bi"}, {"k", "ki"}, {"g", "gi"},
                                                       {"f", "fi"}, {"w", "wi"}, {"m", "mi"}, {"h", "hi"},
                                                       {"l", "li"}, {"r", "ri"}};
  for (const auto& [plain, soft] : pairs) {
    const CAllophone* a = db.Entry(db.FindByName(plain));
    const CAllophone* b = db.Entry(db.FindByName(soft));
    if (a == nullptr || b == nullptr) continue;
    std::vector<float> x, y;
    for (std::uint8_t v : a->samples) x.push_back((v - 128) / 128.0f);
    for (std::uint8_t v : b->samples) y.push_back((v - 128) / 128.0f);
    std::printf("  %-3s %-3s %.2f\n", plain, soft, WaveCorrelation(x, y));
  }
  return 0;
}
