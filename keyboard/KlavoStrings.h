// The keyboard program's string table: the texts it shows, and the key names
// it speaks (6144-6268).
#pragma once

#include "Program.h"
#include "StringTable.h"

namespace vokar::keyboard {

const app::CStringTable& Strings();

// The keyboard as the window kit shows it: caption, icon, about box, help page.
const app::ProgramInfo& Program();

}  // namespace vokar::keyboard
