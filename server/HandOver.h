// A second start of the server: the running server's window gets the file of
// this start's command line (WM_SERVER_OPENFILE with the full path) or is
// brought to the front. A running server whose window is not there yet (its
// voice still loading) is waited for, as long as a client would wait.
#pragma once

#include <chrono>
#include <string>

#include "CommandLine.h"

namespace vokar::server {

enum class HandOverResult {
  FileHandedOver,  // the running server queued the file
  BroughtForward,  // no file, or it could not be handed over: the window came up
  NoWindow,        // no window appeared in time
};

// The full path of a command-line file, as the running server must get it.
std::string FullPath(const std::string& file);

HandOverResult HandOverToRunningServer(const CommandLine& line, std::chrono::milliseconds wait);

}  // namespace vokar::server
