// Writes COUNT values into one key of the current user's hive, each in its own
// write, as a program saving its settings at exit does:
//   registry_test_writer KEY PREFIX COUNT
// Exits 0 when every write succeeded, 1 otherwise (with the error on stderr).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Registry.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: registry_test_writer KEY PREFIX COUNT\n");
    return 2;
  }
  const std::string prefix = argv[2];
  const int count = std::atoi(argv[3]);
  for (int i = 0; i < count; ++i) {
    auto key = vokar::registry::Key::Create(vokar::registry::Root::CurrentUser, argv[1]);
    if (!key) {
      std::fprintf(stderr, "%s\n", key.error().description.c_str());
      return 1;
    }
    const std::string name = prefix + std::to_string(i);
    // Strings and numbers alternate, so both kinds of write meet.
    const vokar::registry::Value value = i % 2 ? vokar::registry::Value(static_cast<std::uint32_t>(i))
                                               : vokar::registry::Value(name + "-text");
    if (auto set = key->Set(name, value); !set) {
      std::fprintf(stderr, "%s\n", set.error().description.c_str());
      return 1;
    }
  }
  return 0;
}
