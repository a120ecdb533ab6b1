#include "Intonation.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "AllophoneIndex.h"
#include "Cp1250.h"

namespace vokar {
namespace {

using namespace allo;
namespace cb = classbits;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsBoundary(const CWordToken& token) {
  if (token.text.empty()) return false;
  const auto first = static_cast<unsigned char>(token.text[0]);
  return first == kBoundarySpelled || first == kBoundaryFigure;
}

bool IsWord(const CWordToken& token) {
  return !token.control && !token.allophoneList && !token.text.empty() &&
         cp1250::IsAlpha(static_cast<unsigned char>(token.text[0]));
}

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(cp1250::FoldPolish(static_cast<unsigned char>(c)));
  return folded;
}

// The one-byte punctuation a token stands for, or 0 for any other token.
unsigned char PunctuationOf(const CWordToken& token) {
  if (token.control || token.allophoneList || token.text.size() != 1) return 0;
  const auto c = static_cast<unsigned char>(token.text[0]);
  return cp1250::IsAlpha(c) ? 0 : c;
}

bool HasLongPause(const CWordToken& token) {
  if (token.control || IsBoundary(token)) return false;
  for (const auto& e : token.allophones)
    if (e.index == kPausePunctuation || e.index == kPauseInterSentence) return true;
  return false;
}

// A pause's length under intonation: no pause where the text has none, and
// the fluent lengths at punctuation while the stored lengths are the
// defaults; otherwise the entry as the settings made it.
std::uint32_t FluentPause(const CWordToken& token, int index, const CAllophoneDb& db, const ISpeechSettings& settings) {
  if (IsBoundary(token)) return 0;
  const auto rate = db.Format().samplesPerSec;
  const auto atDefault = [&](int pauseIndex) {
    for (const PauseEntry& pause : kPauseEntries) {
      if (pause.index != pauseIndex) continue;
      const auto stored = settings.SoundSetting(pause.setting);
      return !stored || *stored == pause.defaultHundredths;
    }
    return false;
  };
  if (index == kPausePunctuation && atDefault(index))
    return static_cast<std::uint32_t>(kFluentPunctuationPause * rate / 100);
  if (index == kPauseInterSentence && atDefault(index))
    return static_cast<std::uint32_t>(kFluentSentencePause * rate / 100);
  return static_cast<std::uint32_t>(db.Length(index));
}

// Whether a phrase ends after the token: the next token that sounds is a
// pause of punctuation, or none comes (a figure's or a spelled word's
// boundary is no punctuation).
bool EndsPhrase(const std::vector<CWordToken>& tokens, std::size_t t) {
  for (std::size_t next = t + 1; next < tokens.size(); ++next) {
    const CWordToken& token = tokens[next];
    if (token.control || token.allophones.empty() || IsBoundary(token)) continue;
    return HasLongPause(token);
  }
  return true;
}

double Smoothstep(double x) {
  x = std::clamp(x, 0.0, 1.0);
  return x * x * (3.0 - 2.0 * x);
}

struct Accent {
  double peak = 0.0;    // sample of the peak
  double height = 0.0;  // semitones over the line
  double vowelStart = 0.0;
};

// A final movement of a phrase: from `start` to `end` the pitch moves by
// `size` semitones (negative: a fall) and holds there, then returns to the
// line over a tenth of a second once the phrase's pause is over.
struct Movement {
  double start = 0.0;
  double end = 0.0;
  double size = 0.0;
  double release = 0.0;  // where the next phrase begins

  double over = 0.0;  // where the return to the line ends: release + 0.1 s

  double At(double t, double rate) const {
    if (t < start) return 0.0;
    if (t < end) return size * Smoothstep((t - start) / std::max(1.0, end - start));
    if (t < release) return size;
    return size * (1.0 - Smoothstep((t - release) / (0.1 * rate)));
  }
  bool Over(double t) const { return t >= over; }
};

struct Phrase {
  std::size_t firstToken = 0;
  std::size_t lastToken = 0;      // its closing punctuation, when it has one
  unsigned char closing = 0;      // that punctuation byte, 0 at the end of the text
};

}  // namespace

bool IsQuestionWord(std::string_view foldedWord) {
  static const std::set<std::string, std::less<>> words = [] {
    std::set<std::string, std::less<>> set;
    for (const char* w :
         {"kto",     "kogo",     "komu",     "kim",      "co",      "czego",    "czemu",    "czym",
          "gdzie",   "kiedy",    "dlaczego", "jak",      "jaki",    "jaka",     "jakie",    "jakiego",
          "jakiej",  "jakiemu",  "jakim",    "jaką",     "jakich",  "jakimi",   "który",    "która",
          "które",   "którego",  "której",   "któremu",  "którym",  "którą",    "których",  "którymi",
          "ile",     "ilu",      "skąd",     "dokąd",   "odkąd",    "czyj",     "czyja",
          "czyje",   "czyjego",  "czyjej",   "czyim",    "czyją",   "czyi",     "jakże",    "cóż",
          "czemuż",  "gdzież",   "kiedyż",   "dlaczegoż", "któż",   "ileż"})
      set.insert(cp1250::FromUtf8(w));
    return set;
  }();
  return words.contains(foldedWord);
}

SentenceKind KindOfSentence(const CUtterance& utterance) {
  const auto& tokens = utterance.Tokens();
  // The mark that ends the sentence, even where its pause has been left out;
  // silent marks after the last word (a dash, a quote) are passed over.
  unsigned char mark = 0;
  for (std::size_t t = tokens.size(); t-- > 0;) {
    if (tokens[t].control) continue;
    const unsigned char c = PunctuationOf(tokens[t]);
    if (c == '.' || c == '!' || c == '?') {
      mark = c;
      break;
    }
    if (!tokens[t].allophones.empty()) break;
  }
  if (mark == '!') return SentenceKind::Exclamation;
  if (mark != '?') return SentenceKind::Statement;
  std::string words[2];
  int found = 0;
  for (const auto& token : tokens) {
    if (!IsWord(token)) continue;
    words[found++] = Folded(token.text);
    if (found == 2) break;
  }
  if (found == 0 || words[0] == cp1250::FromUtf8("czy")) return SentenceKind::YesNoQuestion;
  // The question word opens the sentence, or follows a short preposition or
  // conjunction: "Z kim", "A gdzie", "Od kiedy".
  if (IsQuestionWord(words[0])) return SentenceKind::WordQuestion;
  if (found == 2 && words[0].size() <= 3 && IsQuestionWord(words[1])) return SentenceKind::WordQuestion;
  return SentenceKind::YesNoQuestion;
}

SentencePlan PlanSentence(const CUtterance& utterance, const CAllophoneDb& db, const ISpeechSettings& settings,
                          const ProsodySettings& prosody) {
  SentencePlan plan;
  plan.kind = KindOfSentence(utterance);
  const auto& tokens = utterance.Tokens();
  const double rate = db.Format().samplesPerSec > 0 ? db.Format().samplesPerSec : 22050.0;

  std::uint32_t cursor = 0;
  plan.firstSound.reserve(tokens.size());
  // The class bits of every sound, for the melody below (0 for a control's).
  std::vector<std::uint16_t> soundBits;
  std::vector<const CAllophone*> entries;  // of the token at hand
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    const CWordToken& token = tokens[t];
    plan.firstSound.push_back(static_cast<std::uint32_t>(plan.sounds.size()));
    const bool word = prosody.intonation && IsWord(token);
    const bool phraseEnd = word && EndsPhrase(tokens, t);
    const std::size_t first = soundBits.size();
    int lastVowel = -1;
    entries.clear();
    for (std::size_t e = 0; e < token.allophones.size(); ++e) {
      const int index = token.allophones[e].index;
      const CAllophone* entry = token.control || index >= kNothing ? nullptr : db.Entry(index);
      entries.push_back(entry);
      soundBits.push_back(entry ? entry->classBits : 0);
      if (soundBits.back() & cb::kVowel) lastVowel = static_cast<int>(e);
    }
    for (std::size_t e = 0; e < token.allophones.size(); ++e) {
      const int index = token.allophones[e].index;
      std::uint32_t length = 0;
      if (entries[e] != nullptr) {
        const auto bits = soundBits[first + e];
        const auto own = static_cast<double>(entries[e]->samples.size());
        double factor = 1.0;
        if (word && (bits & cb::kVowel)) {
          const int at = static_cast<int>(e);
          const bool stressed = at == token.stressedElement;
          const bool doubled = at == token.stressedElement + 1 && token.stressedElement >= 0 &&
                               token.allophones[static_cast<std::size_t>(token.stressedElement)].index == index;
          if (phraseEnd && at == lastVowel) factor = rhythm::kPhraseFinalVowel;
          else if (doubled) factor = rhythm::kDoubledHalf;
          else if (stressed) factor = rhythm::kStressedVowel;
          else factor = rhythm::kUnstressedVowel;
        } else if (word && !(bits & (cb::kPause | cb::kVoiceless))) {
          factor = rhythm::kConsonant;
        }
        length = prosody.intonation && (bits & cb::kPause) ? FluentPause(token, index, db, settings)
                                                            : static_cast<std::uint32_t>(own * factor + 0.5);
      }
      plan.sounds.push_back({cursor, length});
      cursor += length;
    }
  }
  if (!prosody.intonation) return plan;

  // Phrases end at punctuation that has a pause.
  std::vector<Phrase> phrases;
  std::size_t phraseStart = 0;
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    if (!HasLongPause(tokens[t])) continue;
    phrases.push_back({phraseStart, t, PunctuationOf(tokens[t])});
    phraseStart = t + 1;
  }
  if (phraseStart < tokens.size()) phrases.push_back({phraseStart, tokens.size() - 1, 0});

  const auto soundOf = [&](std::size_t token, std::size_t element) {
    return plan.sounds[plan.firstSound[token] + element];
  };
  double firstVowel = -1.0;
  std::vector<Accent> accents;
  std::vector<Movement> movements;
  bool firstAccent = true;
  for (std::size_t p = 0; p < phrases.size(); ++p) {
    const Phrase& phrase = phrases[p];
    double phraseEnd = -1.0;  // the end of its last sound of speech
    double phraseStartAt = -1.0;
    std::vector<Accent> own;
    for (std::size_t t = phrase.firstToken; t <= phrase.lastToken; ++t) {
      const CWordToken& token = tokens[t];
      if (token.control) continue;
      for (std::size_t e = 0; e < token.allophones.size(); ++e) {
        const int index = token.allophones[e].index;
        const PlannedSound sound = soundOf(t, e);
        const auto bits = soundBits[plan.firstSound[t] + e];
        if (sound.length == 0 || index >= kNothing || (bits & cb::kPause)) continue;
        if (phraseStartAt < 0) phraseStartAt = sound.start;
        phraseEnd = sound.start + sound.length;
        if (firstVowel < 0 && (bits & cb::kVowel)) firstVowel = sound.start;
      }
      if (!token.groupAccent || token.stressedElement < 0) continue;
      const auto at = static_cast<std::size_t>(token.stressedElement);
      if (at >= token.allophones.size()) continue;
      // A doubled vowel is one long stressed vowel.
      std::size_t last = at;
      if (at + 1 < token.allophones.size() && token.allophones[at + 1].index == token.allophones[at].index) last = at + 1;
      const double v0 = soundOf(t, at).start;
      const double v1 = soundOf(t, last).start + soundOf(t, last).length;
      if (v1 <= v0) continue;
      double height = melody::kAccent;
      if (plan.kind == SentenceKind::Exclamation) height = melody::kExclamationAccent;
      if (plan.kind == SentenceKind::WordQuestion && firstAccent) height = melody::kWordQuestionAccent;
      firstAccent = false;
      own.push_back({v0 + 0.6 * (v1 - v0), height, v0});
    }
    if (phraseEnd < 0) continue;

    const bool lastPhrase = p + 1 == phrases.size() || phrase.closing == '.' || phrase.closing == '!' ||
                            phrase.closing == '?';
    bool rising = false;
    double size = 0.0;
    if (lastPhrase) {
      switch (plan.kind) {
        case SentenceKind::YesNoQuestion: rising = true; size = melody::kQuestionRise; break;
        case SentenceKind::Exclamation: size = -melody::kExclamationFall; break;
        default: size = -melody::kFinalFall; break;
      }
    } else if (phrase.closing == ',' || phrase.closing == ';' || phrase.closing == ':') {
      rising = true;
      size = melody::kContinuationRise;
    } else {
      size = -melody::kFinalFall;  // a line break or another mark: the line ends as a statement does
    }
    Movement movement;
    movement.end = phraseEnd;
    const double shortest = melody::kShortestMovement * rate;
    if (!own.empty()) {
      // The last accent of a rising phrase is where the rise begins; a
      // falling one keeps its peak and falls from it.
      if (rising) {
        movement.start = own.back().vowelStart;
        own.pop_back();
      } else {
        movement.start = own.back().peak;
      }
    } else {
      movement.start = phraseEnd - 2.0 * shortest;
    }
    movement.start = std::max(phraseStartAt, std::min(movement.start, phraseEnd - shortest));
    movement.size = size;
    // It holds through the phrase's pause, until the next phrase's first
    // sound (set below).
    movement.release = 1e300;
    if (!movements.empty() && movements.back().release == 1e300) movements.back().release = phraseStartAt;
    movements.push_back(movement);
    accents.insert(accents.end(), own.begin(), own.end());
  }
  if (firstVowel < 0) firstVowel = 0.0;
  for (Movement& m : movements) m.over = m.release + 0.1 * rate;

  const std::size_t steps = cursor / SentencePlan::kContourStep + 2;
  plan.contour.resize(steps);
  const double rise = melody::kAccentRise * rate;
  const double fall = melody::kAccentFall * rate;
  std::size_t nextAccent = 0;
  std::size_t firstMovement = 0;  // the first whose return to the line is not over
  for (std::size_t i = 0; i < steps; ++i) {
    const double t = static_cast<double>(i) * SentencePlan::kContourStep;
    const double seconds = std::max(0.0, t - firstVowel) / rate;
    double value = std::max(melody::kLineFloor, melody::kLineStart - melody::kDeclination * seconds);
    while (nextAccent < accents.size() && accents[nextAccent].peak + fall < t) ++nextAccent;
    double bump = 0.0;
    for (std::size_t a = nextAccent; a < accents.size() && accents[a].peak - rise <= t; ++a) {
      const double d = t - accents[a].peak;
      const double side = d < 0 ? rise : fall;
      if (std::abs(d) >= side) continue;
      const double x = d / side;
      bump = std::max(bump, accents[a].height * (1.0 - x * x) * (1.0 - x * x));
    }
    value += bump;
    while (firstMovement < movements.size() && movements[firstMovement].Over(t)) ++firstMovement;
    for (std::size_t m = firstMovement; m < movements.size() && movements[m].start <= t; ++m) {
      if (!movements[m].Over(t)) value += movements[m].At(t, rate);
    }
    plan.contour[i] = static_cast<float>(value * prosody.rangeScale);
  }
  return plan;
}

}  // namespace vokar
