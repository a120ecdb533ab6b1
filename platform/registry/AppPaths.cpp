#include "AppPaths.h"

namespace vokar::registry {

std::string AppPathKey(std::string_view exeName) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + std::string(exeName);
}

namespace {

// An executable's name is one key name; a backslash would reach another key.
Error BadExeName(std::string_view exeName) {
  return Error{ErrorKind::BadName, "App Paths: \"" + std::string(exeName) + "\" is not a file name"};
}

}  // namespace

Result<std::string> ReadAppPath(std::string_view exeName) {
  if (exeName.empty() || exeName.find('\\') != std::string_view::npos) return BadExeName(exeName);
  auto key = Key::Open(Root::LocalMachine, AppPathKey(exeName));
  if (!key) return key.error();
  return key->QueryString("");
}

Status WriteAppPath(std::string_view exeName, std::string_view utf8Path) {
  if (exeName.empty() || exeName.find('\\') != std::string_view::npos) return BadExeName(exeName);
  auto key = Key::Create(Root::LocalMachine, AppPathKey(exeName));
  if (!key) return key.error();
  return key->Set("", Value(std::string(utf8Path)));
}

}  // namespace vokar::registry
