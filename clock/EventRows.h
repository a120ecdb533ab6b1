// How an event is shown in a list row: a time column that depends on its
// repeat kind (":15", "08:30", "pt 08:00", "31-go 07:00", "24-go gru 18:00",
// "24/12/26 18:00") and the start of its text in double quotes. Texts are in
// UTF-8 for the window; event texts come in code page 1250.
#pragma once

#include <string>

#include "Events.h"

namespace vokar::clock {

// The time column of an event; dateSeparator is the first byte of the
// [intl] sDate value (code page 1250), '/' when that is empty.
std::string EventTimeColumn(const EVENT_DSCR& event, unsigned char dateSeparator);

// The text column: a double quote, the first 32 bytes of the text cut at its
// first control character, "..." when the text is longer than 32 bytes, and
// a double quote.
std::string EventTextColumn(const std::string& cp1250Text);

// The sample whose width in the bold font, plus 10 pixels, is the time
// column's width for a list of this kind.
std::string TimeColumnSample(RepeatKind kind);

}  // namespace vokar::clock
