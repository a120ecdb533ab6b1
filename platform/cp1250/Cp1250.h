// Code page 1250: the character classes of all 256 bytes and conversion to and
// from UTF-8. Text inside the engine and on the wire stays in these bytes; UTF-8
// is converted at every edge where Linux speaks it. Standard C++ only, so the
// engine may use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vokar::cp1250 {

// Classes as the desktop platform reported them, derived from the Unicode
// category of each byte's character.
bool IsAlpha(unsigned char c);
bool IsUpper(unsigned char c);
bool IsLower(unsigned char c);

// The platform's case mapping (CharUpper / CharLower): every letter whose
// partner exists in the code page, Š and Ť included.
unsigned char ToUpper(unsigned char c);
unsigned char ToLower(unsigned char c);

// The speech engine's own folding, narrower than the platform's: A-Z and the
// nine Polish capitals only; every other byte is left as it is.
unsigned char FoldPolish(unsigned char c);

// The Unicode code point of a byte. The five bytes the code page leaves
// undefined map to the C1 control of the same value, so decoding never fails.
char32_t ToUnicode(unsigned char c);

// The byte of a code point, or '?' when the code page has none.
unsigned char FromUnicode(char32_t codePoint);

std::string ToUtf8(std::string_view cp1250Text);

// Invalid UTF-8 sequences and unmappable characters become '?'.
std::string FromUtf8(std::string_view utf8Text);

// True when the bytes are valid UTF-8 and hold at least one non-ASCII
// character: the test that command-line tools use to tell UTF-8 input from
// Windows-1250 input.
bool LooksLikeUtf8(std::string_view bytes);

// Whether the bytes are all of a text or only its start (a file read up to a
// limit): a UTF-8 character cut in two at the end of a start is no proof
// that the text is not UTF-8.
enum class TextEnd { Whole, Cut };

// Text that comes in from outside in bytes of either encoding the suite
// accepts (a file, standard input, a pipe): valid UTF-8 holding a non-ASCII
// character is converted and a character cut off at the end of a start left
// out; anything else is taken as code page 1250 already. A byte order mark at
// the start is dropped either way.
std::string IncomingText(std::string_view bytes, TextEnd end = TextEnd::Whole);

// The most bytes of UTF-8 one code page 1250 character can take once
// converted from outside (a character the code page lacks becomes one '?'):
// how much of a file to read for a given number of code page bytes.
inline constexpr std::size_t kMaxUtf8BytesPerCharacter = 4;

}  // namespace vokar::cp1250
