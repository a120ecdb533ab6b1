// The sender's texts: its string table (SievoResources.strings), with the
// messages of its network speech client, in UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "NetDdeClient.h"
#include "Program.h"
#include "SievoResources.h"
#include "StringTable.h"

namespace vokar::netsend {

inline constexpr const char* kTitle = "Sievo";

const app::CStringTable& Strings();

// The sender as the window kit shows it: caption, icon, about box, help page.
const app::ProgramInfo& Program();

// Why no conversation with the computer (as the user typed it) came about,
// in a sentence for the message that says it failed; empty for None.
std::string FailureText(netdde::Failure failure, std::string_view computer);

}  // namespace vokar::netsend
