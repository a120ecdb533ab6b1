// A user of the test's own: a home, the XDG folders of the user and of the
// system, a runtime folder and no session bus, all inside one folder. Every
// program a test starts runs as this user, so that nothing a test does
// reaches the home of whoever runs the tests, and nothing installed on the
// machine (a MIME database that already knows our type, a session bus with a
// tray watcher, the user's settings) changes what a test sees.
//
// The test programs' main (TestMain.cpp) puts every test into such a user of
// its own; a helper that builds a program's environment from nothing starts
// from PrivateUserEnvironment.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace vokar::test {

// The variables that tie a program to its user and its machine, and their
// values for the user whose folder is root:
//   root/home            HOME, with .config, .local/share, .cache and
//                        .local/state as the XDG homes
//   root/runtime         XDG_RUNTIME_DIR (mode 0700)
//   root/system-data     XDG_DATA_DIRS: no MIME database, applications or
//                        icons of the machine
//   root/system-config   XDG_CONFIG_DIRS: no autostart or settings of the machine
// DBUS_SESSION_BUS_ADDRESS names a socket that nobody serves, so that a
// program finds no session bus and none is started for it (libdbus would
// otherwise launch one for the X display, writing ~/.dbus and leaving a
// daemon behind); a test that needs a bus starts its own (PrivateSessionBus).
inline std::vector<std::pair<std::string, std::string>> PrivateUserEnvironment(const std::filesystem::path& root) {
  const std::filesystem::path home = root / "home";
  return {
      {"HOME", home.string()},
      {"XDG_CONFIG_HOME", (home / ".config").string()},
      {"XDG_DATA_HOME", (home / ".local" / "share").string()},
      {"XDG_CACHE_HOME", (home / ".cache").string()},
      {"XDG_STATE_HOME", (home / ".local" / "state").string()},
      {"XDG_RUNTIME_DIR", (root / "runtime").string()},
      {"XDG_DATA_DIRS", (root / "system-data").string()},
      {"XDG_CONFIG_DIRS", (root / "system-config").string()},
      {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root / "runtime" / "no-session-bus").string()},
  };
}

// Makes the user's folders (those a program expects to exist).
inline void MakePrivateUserFolders(const std::filesystem::path& root) {
  std::error_code ignored;
  for (const char* folder : {"home", "system-data", "system-config"})
    std::filesystem::create_directories(root / folder, ignored);
  std::filesystem::create_directories(root / "runtime", ignored);
  ::chmod((root / "runtime").c_str(), 0700);
}

// The user's variables set in an environment built for one program; the
// variables the caller has already set there stay as they are.
inline void AddPrivateUser(std::map<std::string, std::string>& environment, const std::filesystem::path& root) {
  MakePrivateUserFolders(root);
  for (auto& [name, value] : PrivateUserEnvironment(root)) environment.emplace(name, value);
}

// The user's variables set in this process's environment, for it and every
// program it starts.
inline void UsePrivateUser(const std::filesystem::path& root) {
  MakePrivateUserFolders(root);
  for (const auto& [name, value] : PrivateUserEnvironment(root)) ::setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace vokar::test
