// The figure reader: dates, negative numbers, numbers with a decimal fraction,
// integers and long digit strings turned into Polish words.
#pragma once

#include "SpeechSettings.h"
#include "TextSource.h"
#include "Utterance.h"

namespace vokar {

struct FigureOptions {
  bool convertNumber = true;
  bool convertDate = true;
  LocalePunctuation locale;
};

// Called with the source positioned just after the digit or '-' that
// triggered it. Adds the words of the figure to the utterance and returns true
// with the position after the figure; returns false with the position just
// after the triggering character when there is no figure.
bool ReadFigure(CTextSource& source, CUtterance& utterance, const FigureOptions& options);

}  // namespace vokar
