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

// The phrase-final form of the vowel at seq[at]: a plain vowel (1-16) takes
// its final form (+32); an accented one (17-22) goes back to plain and its
// final form is inserted after it. Returns the position after what it touched.
std::size_t MakeFinalVowel(std::vector<AllophoneElement>& seq, std::size_t at);

// A plain vowel (1-16) takes its accented form (+16).
void MakeAccented(AllophoneElement& element);

}  // namespace vokar
