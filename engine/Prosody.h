// The phrase step of a finished sentence: accent groups (a host word with the
// unstressed function words before it), final devoicing, the word rules,
// phrase-final forms, the rules between words and penultimate stress, all by
// choosing allophone variants.
#pragma once

#include "AllophoneDb.h"
#include "SpeechSettings.h"
#include "Utterance.h"

namespace vokar {

void Prepare(CUtterance& utterance, const CAllophoneDb& db, const ISpeechSettings& settings);

// The unstressed one-syllable function words (że, na, nie, ...) as code page
// 1250 text; true when the folded word is one of them.
bool IsFunctionWord(std::string_view foldedWord);

}  // namespace vokar
