// The sender's texts: its string table (SievoResources.strings), with the
// messages of its network speech client, in UTF-8.
#pragma once

#include "Program.h"
#include "SievoResources.h"
#include "StringTable.h"

namespace vokar::netsend {

inline constexpr const char* kTitle = "Sievo";

const app::CStringTable& Strings();

// The sender as the window kit shows it: caption, icon, about box, help page.
const app::ProgramInfo& Program();

}  // namespace vokar::netsend
