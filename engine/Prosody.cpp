#include "Prosody.h"

#include <set>
#include <string>
#include <vector>

#include "AllophoneIndex.h"
#include "Cp1250.h"
#include "Transcription.h"

namespace vokar {
namespace {

using namespace allo;
namespace cb = classbits;

// The element a rule sees beyond either end of a sequence.
constexpr AllophoneElement kOutside{kNull, false};

int VowelCount(const CWordToken& token, const CAllophoneDb& db) {
  // A control token's argument byte is no sound, even when its value happens
  // to be a vowel's index.
  if (token.control) return 0;
  int count = 0;
  for (const auto& e : token.allophones)
    if (db.ClassBits(e.index) & cb::kVowel) ++count;
  return count;
}

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(cp1250::FoldPolish(static_cast<unsigned char>(c)));
  return folded;
}

bool IsClitic(const CWordToken& token, const CAllophoneDb& db) {
  if (token.control || token.allophoneList) return false;
  return VowelCount(token, db) == 1 && IsFunctionWord(Folded(token.text));
}

void MakeFinalConsonant(AllophoneElement& e) {
  if (e.fixed) return;
  switch (e.index) {
    case kM: e.index = kMFinal; break;
    case kN: e.index = kNFinal; break;
    case kLDark: case kUGlide: e.index = kLDarkFinal; break;
    default: break;
  }
}

// How the phrase step places final forms and pauses between words.
enum class Rhythm {
  // As the rules were first made: every accent group ends in its final
  // forms, a pause comes before every word that starts with a vowel.
  Groups,
  // Fluent speech for the prosody stage: final forms only where a phrase
  // ends, no pause where the text has none.
  Phrases,
};

void PrepareGroup(CUtterance& utterance, std::size_t first, std::size_t last, const CAllophoneDb& db,
                  bool phraseEnd) {
  auto& tokens = utterance.Tokens();
  std::size_t q = last + 1;
  for (std::size_t t = last + 1; t-- > first;) {
    if (VowelCount(tokens[t], db) > 0) {
      q = t;
      break;
    }
  }
  if (q > last) {
    for (std::size_t t = first; t <= last; ++t) WordRules(tokens[t], db);
    return;
  }
  // A one-syllable host leans on the word before it: both carry the accent.
  std::size_t p = q;
  if (VowelCount(tokens[q], db) == 1 && q > first && VowelCount(tokens[q - 1], db) > 0) p = q - 1;

  auto& seq = tokens[q].allophones;
  if (db.ClassBits(seq.back().index) & cb::kVoiced) Devoice(seq.back());
  const bool endsInVowel = db.ClassBits(seq.back().index) & cb::kVowel;

  for (std::size_t t = first; t <= last; ++t) WordRules(tokens[t], db);

  if (phraseEnd) {
    if (endsInVowel) MakeFinalVowel(seq, seq.size() - 1);
    else MakeFinalConsonant(seq.back());
  }
  tokens[p].accentBearing = true;
  tokens[q].accentBearing = true;
  tokens[p].groupAccent = true;
}

void RulesBetweenWords(CWordToken& first, const CWordToken& second, const CAllophoneDb& db, bool fluent,
                       Rhythm rhythm) {
  const AllophoneElement q = second.allophones.empty() ? kOutside : second.allophones.front();
  const int pIndex = first.allophones.empty() ? kNull : first.allophones.back().index;
  const auto pBits = db.ClassBits(pIndex);
  const auto qBits = db.ClassBits(q.index);
  const std::size_t pAt = first.allophones.size() - 1;  // meaningful only when not empty

  constexpr std::uint16_t kNasalObstruent = cb::kNasal | cb::kObstruent;
  if (!fluent) {
    first.allophones.push_back({kPauseInterWord, false});
  } else if (rhythm == Rhythm::Groups) {
    if (qBits & cb::kVowel) first.allophones.push_back({kPauseInterWord, false});
    if ((pBits & kNasalObstruent) == kNasalObstruent && (qBits & kNasalObstruent) == kNasalObstruent)
      first.allophones.push_back({kPauseInterWord, false});
  }

  if (pIndex == kNull || !(pBits & cb::kObstruent) || !(qBits & cb::kObstruent)) return;
  AllophoneElement& p = first.allophones[pAt];
  if ((pBits & cb::kVoiced) && (qBits & cb::kVoiceless)) {
    Devoice(p);
  } else if ((pBits & cb::kVoiceless) && (qBits & cb::kVoiced)) {
    // No progressive devoicing across words: "las wielki" keeps its w.
    if (q.index != kW && q.index != kWSoft && q.index != kZh) Voice(p);
  }
}

// A token of pauses only with a punctuation or sentence pause among them: a
// comma or a full stop. The pause between words that the rules between words
// may have appended ("kota, albo" gives the comma 108 then 107) does not
// make it less of a pause.
bool IsLongPauseToken(const CWordToken& token) {
  bool longPause = false;
  for (const auto& e : token.allophones) {
    if (e.index < kPauseDoubleLetter || e.index > kPauseInterSentence) return false;
    if (e.index == kPausePunctuation || e.index == kPauseInterSentence) longPause = true;
  }
  return longPause;
}

// For each token, whether a phrase ends after it: the next token that sounds
// is a comma's, a full stop's or a line's pause, or none comes. The boundary
// after a spelled word or a figure is no end of a phrase: the text has no
// punctuation there. One pass from the end, so that a long run of tokens
// that do not sound costs no more than its length.
std::vector<bool> PhraseEnds(const std::vector<CWordToken>& tokens) {
  std::vector<bool> ends(tokens.size(), true);
  bool next = true;  // what the next sounding token says
  for (std::size_t t = tokens.size(); t-- > 0;) {
    ends[t] = next;
    const CWordToken& token = tokens[t];
    if (token.control || token.allophones.empty()) continue;
    const auto first = static_cast<unsigned char>(token.text.empty() ? 0 : token.text[0]);
    if (first == kBoundarySpelled || first == kBoundaryFigure || first == kBoundaryDigit) continue;
    next = IsLongPauseToken(token);
  }
  return ends;
}

// Stress on the second vowel from the end (or the only one). Before a pause
// the stressed vowel is doubled, which lengthens it; elsewhere it takes its
// accented form.
void Stress(CWordToken& token, const CAllophoneDb& db, bool pauseAhead) {
  auto& seq = token.allophones;
  std::size_t vowels[2] = {seq.size(), seq.size()};  // last and the one before
  for (std::size_t i = 0; i < seq.size(); ++i) {
    if (db.ClassBits(seq[i].index) & cb::kVowel) {
      vowels[1] = vowels[0];
      vowels[0] = i;
    }
  }
  const std::size_t at = vowels[1] < seq.size() ? vowels[1] : vowels[0];
  if (at >= seq.size()) return;
  token.stressedElement = static_cast<int>(at);
  if (seq[at].fixed) return;
  int& index = seq[at].index;
  auto insertBefore = [&](int inserted) {
    seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(at), AllophoneElement{inserted, false});
  };
  if (pauseAhead && index >= kA && index <= kY) {
    insertBefore(index);
  } else if (pauseAhead && index >= kA + kAccentOffset && index <= kY + kAccentOffset) {
    index -= kAccentOffset;
    insertBefore(index);
  } else if (index >= 1 && index <= 16) {
    index += kAccentOffset;
  } else if (index >= 1 + kFinalOffset && index <= kY + kFinalOffset) {
    insertBefore(index - kFinalOffset);
  } else if (index >= 7 + kFinalOffset && index <= 16 + kFinalOffset) {
    index -= kAccentOffset;
  }
}

}  // namespace

bool IsFunctionWord(std::string_view foldedWord) {
  static const std::set<std::string, std::less<>> words = [] {
    std::set<std::string, std::less<>> set;
    for (const char* w : {"że", "ze", "za", "we", "u", "to", "przy", "po", "od", "o", "nie", "na", "jest", "i",
                          "do", "dla", "czy", "co", "by", "bo", "bez", "a"})
      set.insert(cp1250::FromUtf8(w));
    return set;
  }();
  return words.contains(foldedWord);
}

void Prepare(CUtterance& utterance, const CAllophoneDb& db, const ISpeechSettings& settings) {
  auto& tokens = utterance.Tokens();
  utterance.phrases.clear();
  std::size_t groupStart = 0;
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    if (tokens[t].accent || !IsClitic(tokens[t], db)) {
      utterance.phrases.emplace_back(groupStart, t);
      groupStart = t + 1;
    }
  }
  if (groupStart < tokens.size()) utterance.phrases.emplace_back(groupStart, tokens.size() - 1);

  const Rhythm rhythm = settings.Prosody().intonation ? Rhythm::Phrases : Rhythm::Groups;
  const std::vector<bool> phraseEnds = PhraseEnds(tokens);
  for (const auto& [first, last] : utterance.phrases)
    PrepareGroup(utterance, first, last, db, rhythm == Rhythm::Groups || phraseEnds[last]);

  const bool fluent = settings.FluentSpeech();
  for (std::size_t t = 0; t + 1 < tokens.size(); ++t)
    RulesBetweenWords(tokens[t], tokens[t + 1], db, fluent, rhythm);

  bool pauseAhead = true;
  for (std::size_t t = tokens.size(); t-- > 0;) {
    CWordToken& token = tokens[t];
    if (IsLongPauseToken(token)) {
      pauseAhead = true;
    } else if (token.accentBearing) {
      Stress(token, db, pauseAhead);
      pauseAhead = false;
    }
  }
}

}  // namespace vokar
