// An in-memory allophone inventory for tests: every index the rules produce,
// with the class bits a Polish voice gives them and short silent samples
// whose length is the index, so sample counts tell which entries were used.
#pragma once

#include <string>

#include "AllophoneDb.h"
#include "AllophoneIndex.h"
#include "SpeechSettings.h"

namespace vokar::testing {

inline std::uint16_t UsualClassBits(int index) {
  namespace cb = classbits;
  using namespace allo;
  if (index >= 1 && index <= 48) {
    const int base = (index - 1) % 16 + 1;
    const bool nasal = base == kANasal || base == kENasal || base == kIaNasal || base == kIeNasal;
    return cb::kVowel | (nasal ? cb::kNasal : 0);
  }
  if (index >= kFirstVoiced && index <= kLastVoiceless) {
    std::uint16_t bits = cb::kObstruent | (index <= kLastVoiced ? cb::kVoiced : cb::kVoiceless);
    const int voiced = index <= kLastVoiced ? index : index - kVoicingOffset;
    switch (voiced) {
      case kB: case kB + 1: bits |= cb::kNasalBeforeM; break;            // ą before p, b: om
      case kD: case kDz: case kDzh: bits |= cb::kNasalBeforeN1; break;   // before t, d, c, cz: on
      case kDzi: bits |= cb::kNasalBeforeNSoft | cb::kSoft; break;       // before ć, dź: oń
      case kG: case kG + 1: bits |= cb::kNasalBeforeNSoft; break;        // before k, g: on
      default: break;
    }
    return bits;
  }
  // h and ch are voiceless fricatives without a voiced partner in the
  // numbering: they devoice a following rz (chrząszcz) but never change.
  if (index >= kH && index <= kChi) return cb::kObstruent | cb::kVoiceless;
  if (index >= kPauseDoubleLetter && index <= kPauseInterSentence) return cb::kPause;
  return 0;
}

inline std::string TestName(int index) {
  static const char* const kVowels[] = {"a", "e", "i", "o", "u", "y", "an", "en", "ia", "ie", "x11", "io", "iu", "x14", "ian", "ien"};
  static const char* const kConsonants[] = {"b", "bi", "d", "di", "g", "gi", "w", "wi", "z", "zi", "rz", "dz", "dzi", "drz",
                                            "p", "pi", "t", "ti", "k", "ki", "f", "fi", "s", "si", "sz", "c", "ci", "cz",
                                            "m", "mi", "n", "ni", "ng", "nn", "m_", "n_", "h", "hi", "ch", "chi",
                                            "l", "li", "u_glide", "ll_", "ll", "r", "ri", "i_glide", "j"};
  if (index >= 1 && index <= 16) return kVowels[index - 1];
  if (index >= 17 && index <= 32) return std::string(kVowels[index - 17]) + "'";
  if (index >= 33 && index <= 48) return std::string(kVowels[index - 33]) + "_";
  if (index >= 49 && index <= 97) return kConsonants[index - 49];
  return "x" + std::to_string(index);
}

// Loads the inventory as the allophone file loader would, pause silences and
// ch copies included.
inline void FillTestInventory(CAllophoneDb& db, const ISpeechSettings& settings) {
  for (int index = 1; index <= allo::kDefault; ++index) {
    if ((index > 97 && index < allo::kPauseDoubleLetter) || index == 11 || index == 14 ||
        index == 11 + 16 || index == 14 + 16 || index == 11 + 32 || index == 14 + 32)
      continue;
    CAllophone entry;
    entry.index = index;
    entry.classBits = UsualClassBits(index);
    entry.name = TestName(index);
    entry.samples.assign(static_cast<std::size_t>(index), 128);
    db.SetEntry(std::move(entry));
  }
  db.SetFormat(kVoiceFormat);
  db.MarkLoaded(true);
  db.FinishLoading(settings);
}

}  // namespace vokar::testing
