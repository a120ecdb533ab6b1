// Letter-to-allophone transcription: Polish orthography into allophone
// indices by rule, then the word-level rules for voicing, colloquial nasal
// vowels and doubled consonants.
#pragma once

#include "AllophoneDb.h"
#include "Utterance.h"

namespace vokar {

// Fills the token's allophone sequence from its text; marks it silent when the
// sequence is empty and notes whether it is a control token.
void Transcribe(CWordToken& token);

// The word rules, with the class bits of the database's entries.
void WordRules(CWordToken& token, const CAllophoneDb& db);

// An index in 49-62 becomes its voiceless partner; 63-76 its voiced one.
// Fixed elements never change.
void Devoice(AllophoneElement& element);
void Voice(AllophoneElement& element);

// Phrase-final and accented forms of one element, shared with the phrase step.
// Returns the index of the element after the ones it touched.
std::size_t MakeFinal(std::vector<AllophoneElement>& seq, std::size_t at, std::uint16_t classBitsBefore);
void MakeAccented(AllophoneElement& element);

}  // namespace vokar
