// The melody, rhythm and speed of our speech beside espeak-ng's Polish voice
// on the same thirty sentences: statements, yes/no questions with and
// without "Czy", questions with a question word, exclamations, sentences
// with commas. Ours is read twice, as the plain concatenation (both prosody
// switches off: the sound before the prosody stage) and shaped by the stage,
// at speeds -50, 0 and +50. Pitch tracks come from praat (5 ms frames); the
// durations, pauses and spectra from the sounds' places in the speech. It
// prints the table of the voice's developer page.
#pragma once

#include <filesystem>
#include <optional>

#include "AllophoneDb.h"

// Writes its WAV files and pitch tracks into `work` (a folder of its own
// made under the system's temporary folder when none is given, removed at
// the end). 0 on success, 1 when praat or espeak-ng is missing.
int RunProsodyTable(const vokar::CAllophoneDb& db, const std::optional<std::filesystem::path>& work);
