#include "AgentControl.h"

#include <thread>

#include "Desktop.h"

namespace vokar::netdde {
namespace {

using Clock = std::chrono::steady_clock;

std::string Pid(const RunningAgent& agent) { return std::to_string(agent.process); }

}  // namespace

std::vector<RunningAgent> FindRunningAgents() {
  std::vector<RunningAgent> agents;
  for (const auto& window : desktop::EnumerateWindows()) {
    if (window.title != kAgentTitle) continue;
    agents.push_back({window.window, desktop::WindowProcess(window.window)});
  }
  return agents;
}

std::string DescribeRunningAgents(std::chrono::milliseconds timeout) {
  const auto agents = FindRunningAgents();
  if (agents.empty()) return "agent: not running\n";
  std::string text;
  for (const auto& agent : agents) {
    const auto answer = desktop::SendMessage(agent.window, kAgentStatus, 0, 0, {}, timeout);
    text += answer.ok() ? answer.reply : "agent: pid " + Pid(agent) + " does not answer\n";
  }
  return text;
}

std::string TellRunningAgents(const std::vector<RunningAgent>& agents, std::chrono::milliseconds timeout) {
  std::string text;
  for (const auto& agent : agents) {
    const auto answer = desktop::SendMessage(agent.window, kAgentReread, 0, 0, {}, timeout);
    if (answer.status == desktop::SendStatus::NoWindow || answer.status == desktop::SendStatus::WindowGone) {
      text += "agent: pid " + Pid(agent) + " stopped\n";
      continue;
    }
    if (!answer.ok()) {
      text += "agent: pid " + Pid(agent) + " does not answer; it reads the settings again within a second\n";
      continue;
    }
    if (answer.result != 0) {
      text += answer.reply;
      continue;
    }
    // It ends: the window goes with the process.
    text += answer.reply;
    const auto deadline = Clock::now() + timeout;
    while (desktop::IsWindow(agent.window) && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    text += desktop::IsWindow(agent.window) ? "agent: pid " + Pid(agent) + " is stopping\n"
                                            : "agent: pid " + Pid(agent) + " stopped\n";
  }
  return text;
}

}  // namespace vokar::netdde
