// Identifiers of the clock's windows: dialogs, controls, commands, timers and
// hot-key slots (ClockResources.strings).
#pragma once

#include "ClockResources.h"
