// The events file (".evt"): the six lists of reminder events as one
// little-endian stream with no header of its own. Each list is a count
// (16 bits, or 0xFFFF and 32 bits from 65535 on) and its events as object
// records; the first record in the file carries the class description
// (0xFFFF, schema 1, the name "EVENT_DSCR"), every later one the reference
// 0x8001. A record holds kind, year, month, weekday, day, hour, minute and
// the important flag as 16-bit numbers, the confirmation time as an unsigned
// 32-bit time value and the text as a 16-bit length and its bytes.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Events.h"

namespace vokar::clock {

using EventArrays = std::array<std::vector<EVENT_DSCR>, kRepeatKinds>;

// Where and why a stream could not be read.
struct EventsReadError {
  std::size_t offset = 0;  // byte offset of the field that failed
  std::string what;        // a short English description, for logs and tests
};

// The largest events file that is read; anything longer is refused.
inline constexpr std::size_t kMaxEventsFileBytes = std::size_t{64} << 20;

// Reads a whole stream. Refused: a short stream, a bad class tag or name, a
// schema other than 1, a kind, month, weekday, day, hour or minute out of
// range, an event in another kind's list, a text longer than kMaxEventText,
// and a count larger than the rest of the stream can hold. Bytes after the
// six lists are ignored. False and the error when refused (out is then
// unspecified).
bool ParseEventsStream(std::string_view bytes, EventArrays& out, EventsReadError& error);

std::string SerializeEventsStream(const EventArrays& arrays);
std::string SerializeEventsStream(const CEventLists& lists);

// Copies the events of the lists into arrays, and back (replacing what the
// lists held and leaving them unmodified).
EventArrays ToArrays(const CEventLists& lists);
void FromArrays(EventArrays arrays, CEventLists& lists);

enum class EventsLoad {
  Loaded,      // the file was read
  Created,     // there was no file: it was created with six empty lists
  CannotOpen,  // the file cannot be opened or created
  ReadError,   // the file is not an events file
};

// Reads an events file into arrays. A file that does not exist is created
// with empty lists.
EventsLoad LoadEventsFile(const std::filesystem::path& path, EventArrays& out, EventsReadError* error = nullptr);

// Writes the stream so that the old file is never lost: into a new file
// beside it, flushed to the disk, then renamed over it (a link is followed,
// so the file it names is replaced). False, with the reason, on any failure;
// the old file is then as it was.
bool WriteEventsFile(const std::filesystem::path& path, std::string_view stream, std::string* reason = nullptr);

}  // namespace vokar::clock
