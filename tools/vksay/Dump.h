// The text form of scanned utterances that `vksay --dump` prints: one line per
// token with its kind, text, accent flags and allophones by index and name.
#pragma once

#include <ostream>

#include "AllophoneDb.h"
#include "Utterance.h"

namespace vokar::vksay {

void DumpUtterance(std::ostream& out, int number, const CUtterance& utterance, const CAllophoneDb& db);

}  // namespace vokar::vksay
