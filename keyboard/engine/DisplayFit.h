// The longest tail of a text that fits a box of a given width, as the
// "Bufor:" display shows the end of the typing buffer: five characters are
// dropped from the front at a time until the rest fits, then single ones put
// back while the text stays narrower than the box.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vokar::keyboard {

// measure gives the width of a text in the box's font.
std::string FitTail(std::string_view text, int width, const std::function<int(std::string_view)>& measure);

}  // namespace vokar::keyboard
