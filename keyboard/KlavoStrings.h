// The keyboard program's string table: the texts it shows, and the key names
// it speaks (6144-6268).
#pragma once

#include "StringTable.h"

namespace vokar::keyboard {

const app::CStringTable& Strings();

}  // namespace vokar::keyboard
