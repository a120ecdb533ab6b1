// What the share lets a text from another computer carry. A wave-insert tag
// (\Wav="NAME"\) would make the server play a file that the remote sender
// names, anywhere on this computer, so every such tag is taken out of a
// remote text and a blank put in its place; the rest is read as sent.
#pragma once

#include <cstddef>
#include <string>

namespace vokar::netdde {

// Removes every wave-insert tag, from its backslash to the backslash that
// closes it (to the end of the text when none does), in any case of the
// keyword, and returns how many were removed. The blank left in place of a
// tag keeps the text around it from joining into a new tag.
std::size_t RemoveWaveInserts(std::string& cp1250Text);

}  // namespace vokar::netdde
