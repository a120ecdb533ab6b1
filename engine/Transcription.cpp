#include "Transcription.h"

#include "AllophoneIndex.h"
#include "Cp1250.h"

namespace vokar {
namespace {

using namespace allo;
namespace cb = classbits;

// Folded code page 1250 bytes of the Polish letters.
constexpr unsigned char kLetterANasal = 0xB9;  // ą
constexpr unsigned char kLetterCi = 0xE6;      // ć
constexpr unsigned char kLetterENasal = 0xEA;  // ę
constexpr unsigned char kLetterLDark = 0xB3;   // ł
constexpr unsigned char kLetterNi = 0xF1;      // ń
constexpr unsigned char kLetterOAcute = 0xF3;  // ó
constexpr unsigned char kLetterSi = 0x9C;      // ś
constexpr unsigned char kLetterZi = 0x9F;      // ź
constexpr unsigned char kLetterZh = 0xBF;      // ż

// One step of the walk: the main index, the second index and the two glides,
// stored in the order main, i glide, u glide, second; and how many bytes the
// step used.
struct Step {
  int main = kNothing;
  int second = kNothing;
  bool iGlide = false;
  bool uGlide = false;
  std::size_t used = 1;
};

unsigned char ByteAt(std::string_view text, std::size_t at) {
  return at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
}

// The soft vowel that a softening i merges with; 0 for any other letter.
int SoftVowel(unsigned char c) {
  switch (c) {
    case 'a': return kIa;
    case 'e': return kIe;
    case 'i': return kI;
    case 'o': return kIo;
    case 'u': return kIu;
    case kLetterOAcute: return kIu;
    case kLetterANasal: return kIaNasal;
    case kLetterENasal: return kIeNasal;
    default: return 0;
  }
}

enum class Glide { With, Without };

// A consonant that starts at `start` and is followed by i at `at` becomes
// its soft partner. The letter after the i decides whether the i merges into
// that vowel or is a vowel of its own. Returns false when no i is there.
bool SoftIAt(std::string_view text, std::size_t start, std::size_t at, Step& step, Glide glide) {
  if (ByteAt(text, at) != 'i') return false;
  step.main += 1;
  step.used = at + 1 - start;
  const unsigned char after = ByteAt(text, at + 1);
  if (after == 'y') {
    step.main = kDefault;
    ++step.used;
  } else if (const int vowel = SoftVowel(after); vowel != 0) {
    step.second = vowel;
    ++step.used;
  } else {
    step.second = kI;
  }
  step.iGlide = glide == Glide::With && step.second != kI;
  return true;
}

// Pauses and punctuation: one pause entry or nothing.
int PunctuationIndex(unsigned char c) {
  switch (c) {
    case kBoundarySpelled:
    case '\t': case '\n': case '\r': case ',': case ':': case ';':
      return kPausePunctuation;
    case kBoundaryFigure:
    case '(': case ')': case '<': case '>': case '{': case '}':
      return kPauseInterWord;
    case kBoundaryDigit:
      return kPauseDoubleLetter;
    case '!': case '.': case '?':
      return kPauseInterSentence;
    default:
      return kNothing;
  }
}

Step LetterStep(std::string_view text, std::size_t at) {
  Step step;
  const unsigned char c = ByteAt(text, at);
  const unsigned char next = ByteAt(text, at + 1);
  auto plainConsonant = [&](int index, Glide glide) {
    step.main = index;
    SoftIAt(text, at, at + 1, step, glide);
  };
  switch (c) {
    case 'a': case 'e': case 'o':
      step.main = c == 'a' ? kA : c == 'e' ? kE : kO;
      step.iGlide = next == 'i';
      step.uGlide = next == 'u';
      break;
    case 'u':
      step.main = kU;
      step.iGlide = next == 'i';
      break;
    case kLetterOAcute: step.main = kU; break;
    case 'y': step.main = kY; break;
    case kLetterANasal: step.main = kANasal; break;
    case kLetterENasal: step.main = kENasal; break;
    case 'i':
      switch (next) {
        case 'a': step.main = kIa; break;
        case 'e': step.main = kIe; break;
        case 'i': step.main = kIiAccented; break;
        case 'o': step.main = kIo; break;
        case 'u': step.main = kIu; break;
        case 'y': step.main = kDefault; break;
        case kLetterANasal: step.main = kIaNasal; break;
        case kLetterENasal: step.main = kIeNasal; break;
        default: step.main = kI; return step;
      }
      step.used = 2;
      break;
    case 'j':
      step.main = kJ;
      if (next == 'y') {
        step.main = kDefault;
        step.used = 2;
      } else if (next != kLetterOAcute) {
        if (const int vowel = SoftVowel(next); vowel != 0) {
          step.second = vowel;
          step.used = 2;
        }
      }
      break;
    case 'b': plainConsonant(kB, Glide::With); break;
    case 'f': plainConsonant(kF, Glide::With); break;
    case 'g': plainConsonant(kG, Glide::With); break;
    case 'h': plainConsonant(kH, Glide::With); break;
    case 'k': plainConsonant(kK, Glide::With); break;
    case 'l': plainConsonant(kL, Glide::With); break;
    case 'm': plainConsonant(kM, Glide::With); break;
    case 'p': plainConsonant(kP, Glide::With); break;
    case 't': plainConsonant(kT, Glide::With); break;
    case 'v': case 'w': plainConsonant(kW, Glide::With); break;
    case 'c':
      step.main = kC;
      if (SoftIAt(text, at, at + 1, step, Glide::Without)) break;
      if (next == 'h') {
        step.main = kCh;
        step.used = 2;
        SoftIAt(text, at, at + 2, step, Glide::With);
      } else if (next == 'z') {
        step.main = kCz;
        step.used = 2;
      }
      break;
    case 'd':
      step.main = kD;
      if (SoftIAt(text, at, at + 1, step, Glide::With)) break;
      if (next == kLetterZi) {
        step.main = kDzi;
        step.used = 2;
      } else if (next == kLetterZh) {
        step.main = kDzh;
        step.used = 2;
      } else if (next == 'z') {
        step.main = kDz;
        step.used = 2;
        SoftIAt(text, at, at + 2, step, Glide::Without);
      }
      break;
    case kLetterLDark: step.main = next == 'u' ? kUGlide : kLDark; break;
    case 'n':
      step.main = kN;
      if (SoftIAt(text, at, at + 1, step, Glide::Without)) break;
      if (next == 'g' || next == 'k') step.main = kNVelar;
      else if (next == 'n') step.main = kNBeforeN;
      break;
    case kLetterNi: step.main = kNi; break;
    case 'q':
      step.main = kK;
      step.second = kU;
      break;
    case 'r':
      step.main = kR;
      if (SoftIAt(text, at, at + 1, step, Glide::With)) break;
      if (next == 'z') {
        step.main = kZh;
        step.used = 2;
      }
      break;
    case 's':
      step.main = kS;
      if (SoftIAt(text, at, at + 1, step, Glide::Without)) break;
      if (next == 'z') {
        step.main = kSz;
        step.used = 2;
      }
      break;
    case kLetterSi: step.main = kSi; break;
    case 'x':
      step.main = kK;
      step.second = kS;
      break;
    case 'z': plainConsonant(kZ, Glide::Without); break;
    case kLetterZi: step.main = kZi; break;
    case kLetterZh: step.main = kZh; break;
    case kLetterCi: step.main = kCi; break;
    default: step.main = PunctuationIndex(c); break;
  }
  return step;
}

// A control token: the allophone list's indices as fixed elements, any other
// code as the pair (113 + code, argument). The pair is fixed too, so that no
// rule between words can turn the argument byte into another value.
void TranscribeControl(CWordToken& token) {
  const std::string_view text = token.text;
  const unsigned char code = ByteAt(text, 1);
  if (code == static_cast<unsigned char>(ControlCode::AllophoneList)) {
    token.allophoneList = true;
    const std::size_t count = ByteAt(text, 2);
    for (std::size_t i = 0; i < count && 3 + i < text.size(); ++i)
      token.allophones.push_back({ByteAt(text, 3 + i), true});
    return;
  }
  token.control = true;
  token.allophones.push_back({kControlBase + code, true});
  token.allophones.push_back({ByteAt(text, 2), true});
}

bool IsObstruent(const CAllophoneDb& db, int index) { return db.ClassBits(index) & cb::kObstruent; }

bool IsWVOrZh(int index) { return index == kW || index == kWSoft || index == kZh; }

// Voicing of an obstruent pair inside a word: regressive, except that a
// voiced w or ż after a voiceless consonant loses its voice instead (kwiat,
// trzy).
void VoicingPair(AllophoneElement& p, AllophoneElement& q, const CAllophoneDb& db) {
  if (!IsObstruent(db, p.index) || !IsObstruent(db, q.index)) return;
  const auto pBits = db.ClassBits(p.index);
  const auto qBits = db.ClassBits(q.index);
  if ((pBits & cb::kVoiced) && (qBits & cb::kVoiceless)) {
    Devoice(p);
  } else if ((pBits & cb::kVoiceless) && (qBits & cb::kVoiced)) {
    if (IsWVOrZh(q.index)) Devoice(q);
    else Voice(p);
  }
}

// The colloquial nasal vowel before an obstruent: which nasal consonant the
// obstruent's class bits ask for, or 0 for none.
int NasalConsonantBefore(std::uint16_t q) {
  if ((q & (cb::kNasalBeforeN1 | cb::kNasalBeforeN2)) || ((q & cb::kNasalBeforeNSoft) && !(q & cb::kSoft)))
    return kN;
  if ((q & cb::kNasalBeforeNSoft) && (q & cb::kSoft)) return kNi;
  if (q & cb::kNasalBeforeM) return kM;
  return 0;
}

// ą becomes o and ę becomes e, in plain, soft, accented and final forms alike.
void Denasalise(AllophoneElement& e) {
  if (e.fixed || e.index < 1 || e.index > 48) return;
  const int offset = (e.index - 1) / 16 * 16;
  switch (e.index - offset) {
    case kANasal: e.index = kO + offset; break;
    case kIaNasal: e.index = kIo + offset; break;
    case kENasal: e.index = kE + offset; break;
    case kIeNasal: e.index = kIe + offset; break;
    default: break;
  }
}

}  // namespace

void Transcribe(CWordToken& token) {
  token.allophones.clear();
  token.control = token.allophoneList = false;
  if (!token.text.empty() && static_cast<unsigned char>(token.text[0]) == kControlMarker) {
    TranscribeControl(token);
  } else {
    std::string folded(token.text);
    for (char& c : folded) c = static_cast<char>(cp1250::FoldPolish(static_cast<unsigned char>(c)));
    std::size_t at = 0;
    while (at < folded.size()) {
      const Step step = LetterStep(folded, at);
      if (step.main != kNothing) token.allophones.push_back({step.main, false});
      if (step.iGlide) token.allophones.push_back({kIGlide, false});
      if (step.uGlide) token.allophones.push_back({kUGlide, false});
      if (step.second != kNothing) token.allophones.push_back({step.second, false});
      at += step.used;
    }
  }
  token.silent = token.allophones.empty();
}

void Devoice(AllophoneElement& element) {
  if (!element.fixed && element.index >= kFirstVoiced && element.index <= kLastVoiced)
    element.index += kVoicingOffset;
}

void Voice(AllophoneElement& element) {
  if (!element.fixed && element.index >= kFirstVoiceless && element.index <= kLastVoiceless)
    element.index -= kVoicingOffset;
}

void MakeAccented(AllophoneElement& element) {
  if (!element.fixed && element.index >= 1 && element.index <= 16) element.index += kAccentOffset;
}

std::size_t MakeFinalVowel(std::vector<AllophoneElement>& seq, std::size_t at) {
  AllophoneElement& e = seq[at];
  if (e.fixed) return at + 1;
  if (e.index >= 1 && e.index <= 16) {
    e.index += kFinalOffset;
  } else if (e.index >= 17 && e.index <= 22) {
    const int finalForm = e.index + kAccentOffset;
    e.index -= kAccentOffset;
    seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(at) + 1, {finalForm, false});
    return at + 2;
  }
  return at + 1;
}

void WordRules(CWordToken& token, const CAllophoneDb& db) {
  if (token.silent || token.control || token.allophoneList) return;
  auto& seq = token.allophones;
  for (std::size_t i = 0; i + 1 < seq.size();) {
    AllophoneElement& p = seq[i];
    AllophoneElement& q = seq[i + 1];
    const auto pBits = db.ClassBits(p.index);
    const auto qBits = db.ClassBits(q.index);
    if ((pBits & cb::kObstruent) && (qBits & cb::kObstruent)) {
      VoicingPair(p, q, db);
    } else if ((pBits & cb::kVowel) && (qBits & cb::kVowel) && !p.fixed && !q.fixed) {
      // Two vowels in a row: the first closes its syllable, the second opens
      // a stressed one, unless it ends the word.
      const bool qIsLast = i + 2 == seq.size();
      const std::size_t qAt = MakeFinalVowel(seq, i);
      if (!qIsLast) MakeAccented(seq[qAt]);
      i = qAt;
      continue;
    } else if (p.index == q.index && (p.index == kM || p.index == kLDark) && !p.fixed && !q.fixed) {
      seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(i) + 1, {kPauseDoubleLetter, false});
      i += 2;
      continue;
    } else if (token.colloquial && (pBits & (cb::kNasal | cb::kVowel)) == (cb::kNasal | cb::kVowel) &&
               (qBits & cb::kObstruent)) {
      const int consonant = NasalConsonantBefore(qBits);
      if (consonant != 0 || (qBits & cb::kDenasalise)) Denasalise(p);
      if (consonant != 0 && !p.fixed && !q.fixed) {
        seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(i) + 1, {consonant, false});
        i += 2;
        continue;
      }
    }
    ++i;
  }
  // Colloquially a final ę is said as e.
  if (token.colloquial && seq.size() > 1 && !seq.back().fixed) {
    int& last = seq.back().index;
    if (last == kENasal || last == kIeNasal || last == kENasal + kFinalOffset || last == kIeNasal + kFinalOffset)
      last -= kENasal - kE;
  }
}

}  // namespace vokar
