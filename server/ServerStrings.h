// The server's string table: every text it shows or speaks, by resource
// number (written in ServerResources.strings).
#pragma once

#include "Program.h"
#include "ServerResources.h"
#include "StringTable.h"

namespace vokar::server {

const app::CStringTable& Strings();

// The server as the window kit shows it: caption, icon, about box, help page.
const app::ProgramInfo& Program();

}  // namespace vokar::server
