// Identifiers of the sender's dialog, its controls and commands, and the
// limits of what it takes (SievoResources.strings).
#pragma once

#include "SievoResources.h"
