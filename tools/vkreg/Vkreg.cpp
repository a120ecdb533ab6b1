// vkreg: looks at and changes the settings store from the command line.
//   vkreg get KEY NAME             print a value
//   vkreg set KEY NAME VALUE       store a string
//   vkreg set --dword KEY NAME N   store a 32-bit number
//   vkreg delete KEY [NAME]        remove a value, or the key with its subtree
//   vkreg export [KEY]             write .reg text to standard output
//   vkreg import FILE              read .reg text ("-" for standard input)
// KEY is written as HKEY_CURRENT_USER\Software\... (or HKCU, HKLM, HKCR); a
// NAME of "" or @ is the key's default value. Exit codes: 0 done, 1 the key or
// value does not exist, 2 bad command line or bad input, 3 the store failed.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KeyLocation.h"
#include "RegFile.h"
#include "Registry.h"

namespace {

using namespace vokar::registry;

enum ExitCode { kDone = 0, kNotFound = 1, kBadInput = 2, kFailed = 3 };

constexpr const char* kUsage =
    "usage: vkreg get KEY NAME\n"
    "       vkreg set [--dword] KEY NAME VALUE\n"
    "       vkreg delete KEY [NAME]\n"
    "       vkreg export [KEY]\n"
    "       vkreg import FILE\n"
    "KEY is HKEY_CURRENT_USER\\path (or HKCU, HKLM, HKCR); NAME \"\" or @ is the default value.\n";

int Usage(const std::string& problem) {
  std::cerr << "vkreg: " << problem << "\n" << kUsage;
  return kBadInput;
}

int Report(const Error& error) {
  std::cerr << "vkreg: " << error.description << "\n";
  switch (error.kind) {
    case ErrorKind::NotFound: return kNotFound;
    case ErrorKind::BadName:
    case ErrorKind::BadValue:
    case ErrorKind::WrongType: return kBadInput;
    case ErrorKind::KeyDeleted:
    case ErrorKind::Storage: return kFailed;
  }
  return kFailed;
}

std::string ValueName(std::string_view arg) { return arg == "@" ? std::string() : std::string(arg); }

std::optional<KeyLocation> ParseKey(const std::string& text) {
  auto location = ParseKeyLocation(text);
  if (!location) std::cerr << "vkreg: unknown hive in \"" << text << "\" (use HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT)\n";
  return location;
}

// A decimal or 0x-hexadecimal number that fits 32 bits; negative numbers are
// stored as their two's complement, as the programs write them.
std::optional<std::uint32_t> ParseDword(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const bool negative = text[0] == '-';
  const long long value = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || end == text.c_str()) return std::nullopt;
  if (negative ? value < -2147483648LL : value > 0xFFFFFFFFLL) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

int Get(const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage("get needs KEY and NAME");
  const auto location = ParseKey(args[0]);
  if (!location) return kBadInput;
  auto key = Key::Open(location->root, location->path);
  if (!key) return Report(key.error());
  auto value = key->Query(ValueName(args[1]));
  if (!value) return Report(value.error());
  if (const auto* text = std::get_if<std::string>(&value.value())) {
    std::cout << *text << "\n";
  } else {
    std::cout << std::get<std::uint32_t>(value.value()) << "\n";
  }
  return kDone;
}

int Set(std::vector<std::string> args) {
  bool dword = false;
  if (!args.empty() && args[0] == "--dword") {
    dword = true;
    args.erase(args.begin());
  }
  if (args.size() != 3) return Usage("set needs KEY, NAME and VALUE");
  const auto location = ParseKey(args[0]);
  if (!location) return kBadInput;
  Value value = args[2];
  if (dword) {
    const auto number = ParseDword(args[2]);
    if (!number) return Usage("\"" + args[2] + "\" is not a 32-bit number");
    value = *number;
  }
  auto key = Key::Create(location->root, location->path);
  if (!key) return Report(key.error());
  if (auto set = key->Set(ValueName(args[1]), value); !set) return Report(set.error());
  return kDone;
}

int Delete(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) return Usage("delete needs KEY and, for one value, NAME");
  const auto location = ParseKey(args[0]);
  if (!location) return kBadInput;
  if (args.size() == 1) {
    const Status deleted = DeleteTree(location->root, location->path);
    return deleted ? kDone : Report(deleted.error());
  }
  auto key = Key::Open(location->root, location->path);
  if (!key) return Report(key.error());
  const Status deleted = key->DeleteValue(ValueName(args[1]));
  return deleted ? kDone : Report(deleted.error());
}

int Export(const std::vector<std::string>& args) {
  if (args.size() > 1) return Usage("export takes at most one KEY");
  Result<std::string> text = std::string();
  std::vector<std::string> skipped;
  if (args.empty()) {
    text = ExportAllRegText(&skipped);
  } else {
    const auto location = ParseKey(args[0]);
    if (!location) return kBadInput;
    text = ExportRegText({*location}, &skipped);
  }
  if (!text) return Report(text.error());
  for (const auto& what : skipped) std::cerr << "vkreg: left out of the export: " << what << "\n";
  std::cout << *text;
  std::cout.flush();
  return std::cout ? kDone : kFailed;
}

int Import(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("import needs one FILE");
  std::string bytes;
  if (args[0] == "-") {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
      std::cerr << "vkreg: cannot open " << args[0] << "\n";
      return kBadInput;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const auto operations = ParseRegText(bytes);
  if (!operations) {
    std::cerr << "vkreg: " << args[0] << ": " << operations.error().description << "\n";
    return kBadInput;
  }
  const Status applied = ApplyRegOperations(*operations);
  if (!applied) {
    std::cerr << "vkreg: " << args[0] << ": " << applied.error().description << "\n";
    return applied.error().kind == ErrorKind::Storage ? kFailed : kBadInput;
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h") {
    std::cout << kUsage;
    return kDone;
  }
  if (command == "get") return Get(args);
  if (command == "set") return Set(args);
  if (command == "delete") return Delete(args);
  if (command == "export") return Export(args);
  if (command == "import") return Import(args);
  return Usage("unknown command \"" + command + "\"");
}
