// The melody and rhythm of one prepared sentence, planned for the prosody
// stage: how long each sound lasts at normal speed, and the pitch in
// semitones against the voice's plain pitch at every moment. The melody is
// a falling line with a pitch accent on every accent group, ending in a fall
// (statements, exclamations, questions with a question word) or a rise
// (yes/no questions); a phrase before a comma ends rising.
#pragma once

#include <string_view>

#include "AllophoneDb.h"
#include "SentencePlan.h"
#include "SpeechSettings.h"
#include "Utterance.h"

namespace vokar {

// The shape of the melody, in semitones and seconds at normal speed.
namespace melody {
inline constexpr double kLineStart = 1.5;        // the line at the first sound
inline constexpr double kDeclination = 1.2;      // its fall per second
inline constexpr double kLineFloor = -2.5;       // it falls no lower
inline constexpr double kAccent = 2.2;           // a pitch accent's peak over the line
inline constexpr double kWordQuestionAccent = 3.5;  // on the question word
inline constexpr double kExclamationAccent = 3.2;
inline constexpr double kAccentRise = 0.16;      // from the peak's foot to the peak
inline constexpr double kAccentFall = 0.18;      // and down again
inline constexpr double kFinalFall = 4.0;        // under the line at the end of a statement
inline constexpr double kExclamationFall = 5.0;
inline constexpr double kQuestionRise = 7.0;     // over the line at the end of a yes/no question
inline constexpr double kContinuationRise = 4.0; // at a comma
inline constexpr double kShortestMovement = 0.2;  // a final fall or rise takes at least this
}  // namespace melody

// The rhythm of fluent speech: how much of its recorded length each sound
// takes. Unstressed vowels are shorter, stressed ones a little shorter too
// (they are recorded longer, and a Polish stress is heard in the pitch far
// more than in the length), the vowel that ends a phrase longer;
// the second half of a doubled stressed vowel (the last stress before a
// pause) lengthens it by a little under half; voiced consonants are a little
// shorter (voiceless ones keep their length: their bursts and hiss are
// copied as recorded).
namespace rhythm {
inline constexpr double kUnstressedVowel = 0.8;
inline constexpr double kStressedVowel = 0.9;
inline constexpr double kDoubledHalf = 0.45;
inline constexpr double kPhraseFinalVowel = 1.1;
inline constexpr double kConsonant = 0.9;
}  // namespace rhythm

// Pauses at punctuation while the stored lengths are the defaults, in
// hundredths of a second: the defaults are made for a voice without
// melody, where the pause alone tells where a sentence ends.
inline constexpr int kFluentPunctuationPause = 20;
inline constexpr int kFluentSentencePause = 30;

// The kind of the sentence, from its last mark and its first words.
SentenceKind KindOfSentence(const CUtterance& utterance);

// Whether a folded word (code page 1250) is a question word: kto, co,
// gdzie, kiedy, dlaczego, jak, który, ile, czyj ... in their forms.
bool IsQuestionWord(std::string_view foldedWord);

// Plans a prepared sentence. Without intonation the sounds keep their
// lengths (the pause entries as the settings made them) and there is no
// melody; with it, the sounds of words take the rhythm above, pauses where
// the text has no punctuation take no time, the punctuation pauses whose
// settings are at their defaults take the fluent lengths above, and the
// melody is planned.
SentencePlan PlanSentence(const CUtterance& utterance, const CAllophoneDb& db, const ISpeechSettings& settings,
                          const ProsodySettings& prosody);

}  // namespace vokar
