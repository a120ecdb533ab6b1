// Measurements that need a process of their own: the benchmark starts itself
// again with the child option and a task, and the child reports its figures
// as "name value" lines on its standard output.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vokar::bench {

// The first argument that turns the benchmark program into a child; the
// task and its arguments follow.
inline constexpr const char* kChildOption = "--child";

struct ChildReport {
  std::map<std::string, double> values;  // the child's lines by name
  long maxRssKb = 0;                     // the child's ru_maxrss, as its parent's wait reports it
  double Value(const std::string& name) const {
    const auto it = values.find(name);
    return it == values.end() ? 0 : it->second;
  }
};

// Runs this program as a child with kChildOption and the arguments and
// collects what it reports; nothing when it could not start or failed (the
// reason in error).
std::optional<ChildReport> RunChild(const std::vector<std::string>& arguments, std::string& error);

}  // namespace vokar::bench
