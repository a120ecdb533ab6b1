// What a test can see of another process from outside: its resident memory,
// the processor time it has used, how many descriptors it holds; and a
// process id that no process has.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vokar::testing {

// VmRSS in kilobytes, or -1.
inline long ResidentKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// User and system time in clock ticks, or -1.
inline long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = -1, stime = -1;
  for (int index = 3; fields >> field; ++index) {
    if (index == 14) utime = std::strtol(field.c_str(), nullptr, 10);
    if (index == 15) {
      stime = std::strtol(field.c_str(), nullptr, 10);
      break;
    }
  }
  return utime < 0 || stime < 0 ? -1 : utime + stime;
}

inline long OpenDescriptors(pid_t pid) {
  long count = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return error ? -1 : count;
}

// The id of a child that has ended and been reaped: no process has it now.
inline pid_t FreeProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

}  // namespace vokar::testing
