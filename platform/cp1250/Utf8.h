// UTF-8 one code point at a time, for the code page conversion and the
// settings store: strict decoding (no overlong forms, no surrogates, nothing
// above U+10FFFF) and encoding of any code point.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vokar::utf8 {

// Decodes the code point at pos and advances pos past it; returns -1 and
// advances pos by one byte for an invalid or truncated sequence.
long DecodeOne(std::string_view text, std::size_t& pos);

void Append(std::string& out, char32_t codePoint);

}  // namespace vokar::utf8
