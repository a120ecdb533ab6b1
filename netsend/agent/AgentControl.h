// How vknetdde, run with options, reaches the agents of the share that run on
// this desktop: each running agent has a window titled "vknetdde" on the
// desktop bus (which only its own user can reach), which answers what it
// serves and reads the share's settings again when told they changed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "DesktopTypes.h"

namespace vokar::netdde {

inline constexpr const char* kAgentTitle = "vknetdde";
// Reply: what the agent serves, as lines "agent ...: ..."; result 1.
inline constexpr std::uint32_t kAgentStatus = desktop::WM_USER + 1;
// The agent reads the settings again and applies them at once. Reply: what
// it serves now; result 1 when it goes on serving, 0 when it ends (the share
// was turned off, or the settings cannot be served).
inline constexpr std::uint32_t kAgentReread = desktop::WM_USER + 2;

struct RunningAgent {
  desktop::WindowHandle window;
  std::uint32_t process = 0;
};

// The agents running on this desktop.
std::vector<RunningAgent> FindRunningAgents();

// What each running agent says about itself, for --status; "agent: not
// running" when there is none.
std::string DescribeRunningAgents(std::chrono::milliseconds timeout);

// Tells the agents (found before the settings were stored, so that one that
// saw the change by itself and ended is still told of) that the settings
// changed, and says, line by line, what each does now: serves as shown, or
// has stopped (waited for, up to the timeout). Nothing for no agents.
std::string TellRunningAgents(const std::vector<RunningAgent>& agents, std::chrono::milliseconds timeout);

}  // namespace vokar::netdde
