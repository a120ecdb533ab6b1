// The spoken names of single letters and digits, used to spell words of
// capitals and to read figures digit by digit.
#pragma once

#include <string_view>

namespace vokar {

// The name of a single lower-case letter or digit in code page 1250, or an
// empty view when the byte has none.
std::string_view LetterName(unsigned char lowerCaseByte);

}  // namespace vokar
