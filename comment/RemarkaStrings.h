// remarka's string table: every text it shows or speaks, by resource number.
#pragma once

#include "RemarkaResources.h"
#include "StringTable.h"

namespace vokar::comment {

const app::CStringTable& Strings();

// The status-bar prompt of a command ("" when it has none) and its tooltip.
QString CommandPrompt(int command);
QString CommandTip(int command);

}  // namespace vokar::comment
